#pragma once

#include "app/Failure.h"
#include "music/clsDLL.h"

#include <QFile>
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

// Interleaved signed 16-bit little-endian PCM split into one float buffer per
// channel, each sample s as s / 32768 (-32768 is -1.0 exactly). bytes holds
// n samples of all channels together; channels is 1 or 2; each out[c] takes
// n / channels values.
void SplitSamples(const char* bytes, int n, int channels, float* const* out);

// Turns interleaved signed 16-bit PCM, mono or stereo, into an Ogg Vorbis file:
// libvorbis analyses and encodes, libogg frames the packets into pages, and the
// encoder writes the pages itself. One stream, that is one file, at a time:
// InitEncoder once, then per file InitStream, any number of EncodeStream, and
// CloseStream. Every write to the file is checked: a stream whose file could
// not be written completely ends in a failure, never in a short file that
// looks done. Not thread-safe; each thread that encodes has its own encoder.
class clsEncoderOGG
{
public:
    // random gives a fresh uniform number in [0, 1) for each stream's serial number.
    explicit clsEncoderOGG(std::function<double()> random, EncoderLibraries libraries = {});
    ~clsEncoderOGG();
    clsEncoderOGG(const clsEncoderOGG&) = delete;
    clsEncoderOGG& operator=(const clsEncoderOGG&) = delete;

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
    // Encodes one chunk of interleaved 16-bit samples (whole frames). False,
    // with buffer_used untouched, when no stream is open, the chunk is shorter
    // than 4 bytes, or the stream already failed (StreamFailure says why).
    bool EncodeStream(const char* buffer_ptr, qint32 buffer_len, qint32& buffer_used);
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
    clsDLL m_ogg;
    clsDLL m_vorbis;
    clsDLL m_vorbisenc;
    std::unique_ptr<Api> m_api;
    Failure m_initFailure;
    std::unique_ptr<State> m_state;
    QFile m_file;
    std::optional<Failure> m_streamFailure;
    qint16 m_channels = 0;
    qint32 m_sampleRate = 0;
    int m_serial = 0;
};
