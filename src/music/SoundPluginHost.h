#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

// The calls of the plug-in host that decodes sound files into PCM: interleaved
// signed 16-bit little-endian samples at the stream's own rate, at most two
// channels. One stream at a time; not thread-safe (each thread that decodes
// has its own host).
class SoundPluginHost
{
public:
    virtual ~SoundPluginHost() = default;

    // Makes the decoders ready; the number available (0 or less: none).
    virtual qint32 Initialise(quintptr windowHandle, const QString& folder) = 0;
    virtual void CleanUp() = 0;
    // Non-zero when a decoder took the file and a stream is open.
    virtual qint32 OpenStream(const QString& file) = 0;
    virtual void CloseStream() = 0;
    // PCM bytes written into buffer (whole frames, at most count); 0 at the end
    // of the stream, and after a failure (LastError then says why).
    virtual qint32 Read(char* buffer, qint32 count) = 0;
    // The byte count to ask for on each Read; at most 9000.
    virtual qint32 GetBufferSize() = 0;
    virtual qint32 GetSampleRate() = 0;
    virtual qint32 GetChannels() = 0;
    // The length of the open stream in milliseconds, as far as the container tells it.
    virtual qint32 GetTrackTotalTime() = 0;
    virtual qint32 GetPluginCount() = 0;
    virtual void Seek(qint32 milliseconds, qint32 mode) = 0;

    // Why the last OpenStream refused the file or why the stream stopped
    // early ("" when neither happened).
    virtual QString LastError() const = 0;
};

// The decoders live in a plug-in module of their own (over FFmpeg: the
// container and codec chosen by the file's content, never by its name; more
// than two channels mixed down to stereo), loaded from the plug-in folder the
// first time a host is initialised. The program itself then never loads the
// decoding libraries, which would cost every start of the window and of the
// randomizer tens of milliseconds.
inline constexpr char kSoundPluginModule[] = "lumivale-waplugin.so";
inline constexpr char kSoundPluginFactory[] = "LumivaleCreateSoundPluginHost";
using SoundPluginFactory = SoundPluginHost*();

// A host that loads the plug-in module from the folder given to Initialise and
// passes every call on to the module's host. Without the module it has no
// decoders (Initialise gives 0) and LastError says why.
std::unique_ptr<SoundPluginHost> MakeSoundPluginHost();
