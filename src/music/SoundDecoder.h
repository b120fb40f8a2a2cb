#pragma once

#include "app/Failure.h"

#include <QString>
#include <QtGlobal>
#include <memory>

// Decodes one sound file at a time into interleaved signed 16-bit samples at
// the file's own rate, at most two channels (more are mixed down to stereo).
// Not thread-safe: each thread that decodes has its own decoder.
class SoundDecoder
{
public:
    virtual ~SoundDecoder() = default;

    // Opens the file at path (a name held as app/FileNames.h holds it), closing
    // an open one first. False when it is not a regular file or holds no sound
    // that decodes; ErrorText() says why.
    virtual bool Open(const QString& path) = 0;
    virtual void Close() = 0;
    // The open file's rate and channels (1 or 2); 0 when none is open.
    virtual int SampleRate() const = 0;
    virtual int Channels() const = 0;
    // The length in frames as far as the container tells it; 0 when it does
    // not. Only an estimate (raw AAC and MP3 without a length header guess it):
    // a file is read to its end whatever it says.
    virtual qint64 EstimatedFrames() const = 0;
    // Decodes up to frames frames into samples (room for frames x Channels()
    // values); the frames written, 0 at the end and after a failure.
    virtual qint64 Read(qint16* samples, qint64 frames) = 0;
    // Why the last Open refused the file or why reading stopped before the
    // end; "" when neither happened.
    virtual QString ErrorText() const = 0;
};

// The decoder lives in a module of its own over FFmpeg (the format chosen by
// the file's content, never by its name), loaded the first time a decoder is
// made: no start of the window, the randomizer or the command-line tool pays
// for loading FFmpeg's libraries.
inline constexpr char kSoundDecoderModule[] = "lumivale-sound-decoder.so";
inline constexpr char kSoundDecoderFactory[] = "LumivaleCreateSoundDecoder";
using SoundDecoderFactory = SoundDecoder*();

// A new decoder from the module in folder (loaded once, kept for the life of
// the process). The failure names the module and why it did not load.
Result<std::unique_ptr<SoundDecoder>> LoadSoundDecoder(const QString& folder);
