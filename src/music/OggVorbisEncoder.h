#pragma once

#include "app/Failure.h"

#include <QFile>
#include <QLibrary>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

// The libraries the encoder opens by name at run time.
struct EncoderLibraries
{
    QString ogg = QStringLiteral("libogg.so.0");
    QString vorbis = QStringLiteral("libvorbis.so.0");
    QString vorbisenc = QStringLiteral("libvorbisenc.so.2");
};

// The quality of every stream: variable bit rate, no bit-rate limits.
inline constexpr float kVorbisQuality = 0.4f;

// Interleaved signed 16-bit samples split into one float buffer per channel,
// each sample s as s / 32768 (-32768 is -1.0 exactly). samples holds frames
// frames of channels (1 or 2) values; each out[c] takes frames values.
void SplitSamples(const qint16* samples, int frames, int channels, float* const* out);

// Turns interleaved signed 16-bit PCM, mono or stereo, into an Ogg Vorbis file:
// libvorbis analyses and encodes, libogg frames the packets into pages, and the
// encoder writes the pages itself. The libraries are opened by name when the
// encoder is made ready, so their absence is a failure the user is told about,
// never a program that does not start. One stream, that is one file, at a
// time: InitEncoder once, then per file InitStream, any number of Encode, and
// CloseStream. Every write to the file is checked: a stream whose file could
// not be written completely ends in a failure, never in a short file that
// looks done. Not thread-safe; each thread that encodes has its own encoder.
class OggVorbisEncoder
{
public:
    // random gives a fresh uniform number in [0, 1) for each stream's serial number.
    explicit OggVorbisEncoder(std::function<double()> random, EncoderLibraries libraries = {});
    ~OggVorbisEncoder();
    OggVorbisEncoder(const OggVorbisEncoder&) = delete;
    OggVorbisEncoder& operator=(const OggVorbisEncoder&) = delete;

    // Loads the three libraries (each attempted whatever the others give) and
    // binds every export the encoder calls. False when a library or an export
    // is missing; InitFailure() then says which. Opens no stream; calling it
    // again loads the libraries anew.
    bool InitEncoder();
    const Failure& InitFailure() const { return m_initFailure; }
    bool Loaded() const { return m_api != nullptr; }

    // Starts a stream into output (created or replaced). Completes a stream
    // still open first. Refused before any file is made unless Channels is 1
    // or 2, SampleRate at least 1 and output not empty. The three headers go
    // out on pages of their own, so the audio starts on a fresh page.
    Result<> InitStream(qint32 SampleRate, qint16 Channels, const QString& output);
    // Encodes frames frames of interleaved samples (Channels() values each).
    // False when no stream is open, there is no frame, or the stream failed
    // (StreamFailure says why).
    bool Encode(const qint16* samples, qint32 frames);
    // Ends the stream and completes the file; the file is closed and the
    // library state released also when writing failed.
    Result<> CloseStream();
    bool StreamOpen() const { return m_state != nullptr; }
    // Why the open stream cannot be completed (a failed write or library call).
    const std::optional<Failure>& StreamFailure() const { return m_streamFailure; }

    // The serial number of the stream opened last (0 to 100000).
    int SerialNumber() const { return m_serial; }
    qint32 SampleRate() const { return m_sampleRate; }
    qint16 Channels() const { return m_channels; }

private:
    struct Api;
    struct State;

    bool WritePages(bool flush);
    bool EncodeBlocks();
    bool WriteBytes(const unsigned char* data, long size);
    void StreamFailed(Failure failure);
    void ReleaseState();

    std::function<double()> m_random;
    EncoderLibraries m_libraries;
    QLibrary m_ogg;
    QLibrary m_vorbis;
    QLibrary m_vorbisenc;
    std::unique_ptr<Api> m_api;
    Failure m_initFailure;
    std::unique_ptr<State> m_state;
    QFile m_file;
    std::optional<Failure> m_streamFailure;
    qint16 m_channels = 0;
    qint32 m_sampleRate = 0;
    int m_serial = 0;
};
