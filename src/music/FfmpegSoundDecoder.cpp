#include "app/FileAccess.h"
#include "music/SoundDecoder.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

namespace {

// FFmpeg's own reads from the file: large enough that the system call is
// not what costs.
constexpr int kIoBufferBytes = 64 * 1024;

QString AvErrorText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromUtf8(text);
}

// Reads the file through its descriptor: the file is opened by its bytes
// (names need not be UTF-8), and FFmpeg never sees a name it could take for
// another protocol.
int ReadFile(void* opaque, uint8_t* buffer, int size)
{
    const int fd = *static_cast<const int*>(opaque);
    for (;;) {
        const ssize_t n = ::read(fd, buffer, std::size_t(size));
        if (n > 0)
            return int(n);
        if (n == 0)
            return AVERROR_EOF;
        if (errno != EINTR)
            return AVERROR(errno);
    }
}

int64_t SeekFile(void* opaque, int64_t offset, int whence)
{
    const int fd = *static_cast<const int*>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat info = {};
        return ::fstat(fd, &info) == 0 ? int64_t(info.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(fd, off_t(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : int64_t(at);
}

class FfmpegSoundDecoder final : public SoundDecoder
{
public:
    FfmpegSoundDecoder()
    {
        // Damaged files are the program's to report, not the library's to print.
        static std::once_flag quiet;
        std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    }
    ~FfmpegSoundDecoder() override { Close(); }

    bool Open(const QString& path) override;
    void Close() override;
    int SampleRate() const override { return m_format ? m_rate : 0; }
    int Channels() const override { return m_format ? m_channels : 0; }
    qint64 EstimatedFrames() const override { return m_format ? m_estimatedFrames : 0; }
    qint64 Read(qint16* samples, qint64 frames) override;
    QString ErrorText() const override { return m_error; }

private:
    std::size_t FrameBytes() const { return 2 * std::size_t(std::max(1, m_channels)); }
    bool Refuse(const QString& reason)
    {
        Close();
        m_error = reason;
        return false;
    }
    // Decodes the next frame into the PCM buffer; false at the end or after a failure.
    bool DecodeMore();
    bool Append(const AVFrame* frame);
    std::size_t Pending() const { return m_pcm.size() - m_head; }

    QFile m_file;
    int m_fd = -1;
    AVIOContext* m_io = nullptr;
    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_codec = nullptr;
    SwrContext* m_swr = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    int m_stream = -1;
    int m_rate = 0;
    int m_channels = 0;
    qint64 m_estimatedFrames = 0;
    // What the resampler was set up for; a change mid-stream sets it up anew.
    AVChannelLayout m_swrLayout{};
    int m_swrFormat = -1;
    int m_swrRate = 0;
    bool m_draining = false;
    bool m_ended = false;
    std::vector<char> m_pcm;
    std::size_t m_head = 0;
    QString m_error;
};

bool FfmpegSoundDecoder::Open(const QString& path)
{
    Close();
    m_error.clear();
    if (const Result<> opened = OpenRegularFile(m_file, path); !opened)
        return Refuse(opened.error().Reason());
    m_fd = m_file.handle();

    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    if (buffer)
        m_io = avio_alloc_context(buffer, kIoBufferBytes, 0, &m_fd, ReadFile, nullptr, SeekFile);
    if (!m_io) {
        av_free(buffer);
        return Refuse(AvErrorText(AVERROR(ENOMEM)));
    }
    // The format is probed from the content alone (no name is given).
    const AVInputFormat* input = nullptr;
    if (const int r = av_probe_input_buffer2(m_io, &input, "", nullptr, 0, 0); r < 0 || !input)
        return Refuse(QStringLiteral("The file is not in a known sound format."));
    m_format = avformat_alloc_context();
    if (!m_format)
        return Refuse(AvErrorText(AVERROR(ENOMEM)));
    m_format->pb = m_io;
    m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (const int r = avformat_open_input(&m_format, "", input, nullptr); r < 0) {
        m_format = nullptr; // freed by the failed open
        return Refuse(AvErrorText(r));
    }
    if (const int r = avformat_find_stream_info(m_format, nullptr); r < 0)
        return Refuse(AvErrorText(r));
    const AVCodec* decoder = nullptr;
    m_stream = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (m_stream < 0 || !decoder)
        return Refuse(m_stream == AVERROR_DECODER_NOT_FOUND ? QStringLiteral("No decoder for its sound.")
                                                            : QStringLiteral("The file holds no sound."));
    const AVStream* stream = m_format->streams[m_stream];
    m_codec = avcodec_alloc_context3(decoder);
    if (!m_codec || avcodec_parameters_to_context(m_codec, stream->codecpar) < 0)
        return Refuse(AvErrorText(AVERROR(ENOMEM)));
    m_codec->pkt_timebase = stream->time_base;
    if (const int r = avcodec_open2(m_codec, decoder, nullptr); r < 0)
        return Refuse(AvErrorText(r));
    m_rate = m_codec->sample_rate;
    const int sourceChannels = m_codec->ch_layout.nb_channels;
    if (m_rate < 1 || sourceChannels < 1)
        return Refuse(QStringLiteral("The sound has no sample rate or no channels."));
    m_channels = std::min(sourceChannels, 2);

    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        m_estimatedFrames = av_rescale_q(stream->duration, stream->time_base, AVRational{1, m_rate});
    else if (m_format->duration != AV_NOPTS_VALUE && m_format->duration > 0)
        m_estimatedFrames = av_rescale(m_format->duration, m_rate, AV_TIME_BASE);

    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (!m_packet || !m_frame)
        return Refuse(AvErrorText(AVERROR(ENOMEM)));
    m_pcm.reserve(1 << 16);
    return true;
}

void FfmpegSoundDecoder::Close()
{
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    swr_free(&m_swr);
    av_channel_layout_uninit(&m_swrLayout);
    m_swrFormat = -1;
    m_swrRate = 0;
    avcodec_free_context(&m_codec);
    if (m_format)
        avformat_close_input(&m_format);
    // Custom I/O: the format context leaves the context and its buffer to us.
    if (m_io)
        av_freep(&m_io->buffer);
    avio_context_free(&m_io);
    m_file.close();
    m_fd = -1;
    m_stream = -1;
    m_rate = 0;
    m_channels = 0;
    m_estimatedFrames = 0;
    m_draining = false;
    m_ended = false;
    m_pcm.clear();
    m_head = 0;
}

qint64 FfmpegSoundDecoder::Read(qint16* samples, qint64 frames)
{
    if (!m_format || !samples || frames <= 0)
        return 0;
    const std::size_t wanted = std::size_t(frames) * FrameBytes();
    while (Pending() < wanted && DecodeMore()) {
    }
    const std::size_t n = std::min(Pending(), wanted);
    std::memcpy(samples, m_pcm.data() + m_head, n);
    m_head += n;
    if (m_head == m_pcm.size()) {
        m_pcm.clear();
        m_head = 0;
    }
    return qint64(n / FrameBytes());
}

bool FfmpegSoundDecoder::DecodeMore()
{
    while (!m_ended) {
        const int received = avcodec_receive_frame(m_codec, m_frame);
        if (received == 0) {
            const bool appended = Append(m_frame);
            av_frame_unref(m_frame);
            if (!appended)
                m_ended = true;
            return appended;
        }
        if (received == AVERROR_EOF) {
            m_ended = true;
            return false;
        }
        if (received != AVERROR(EAGAIN)) {
            // A frame that does not decode is left out, as players do.
            if (received == AVERROR_INVALIDDATA)
                continue;
            m_error = AvErrorText(received);
            m_ended = true;
            return false;
        }
        if (m_draining) {
            m_ended = true;
            return false;
        }
        const int read = av_read_frame(m_format, m_packet);
        if (read < 0) {
            // The end of the data, or a container broken from here on: what
            // came before is the sound. Anything else (a read error) is a failure.
            if (read != AVERROR_EOF && read != AVERROR_INVALIDDATA && read != AVERROR(EAGAIN)) {
                m_error = AvErrorText(read);
                m_ended = true;
                return false;
            }
            m_draining = true;
            avcodec_send_packet(m_codec, nullptr);
            continue;
        }
        if (m_packet->stream_index == m_stream) {
            const int sent = avcodec_send_packet(m_codec, m_packet);
            if (sent < 0 && sent != AVERROR_INVALIDDATA && sent != AVERROR(EAGAIN)) {
                av_packet_unref(m_packet);
                m_error = AvErrorText(sent);
                m_ended = true;
                return false;
            }
        }
        av_packet_unref(m_packet);
    }
    return false;
}

bool FfmpegSoundDecoder::Append(const AVFrame* frame)
{
    AVChannelLayout layout{};
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels < 1)
        av_channel_layout_default(&layout, std::max(1, frame->ch_layout.nb_channels));
    else
        av_channel_layout_copy(&layout, &frame->ch_layout);
    const bool same = m_swr && m_swrFormat == frame->format && m_swrRate == frame->sample_rate &&
                      av_channel_layout_compare(&m_swrLayout, &layout) == 0;
    if (!same) {
        swr_free(&m_swr);
        AVChannelLayout out{};
        av_channel_layout_default(&out, m_channels);
        const int made = swr_alloc_set_opts2(&m_swr, &out, AV_SAMPLE_FMT_S16, m_rate, &layout,
                                             AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&out);
        if (made < 0 || swr_init(m_swr) < 0) {
            av_channel_layout_uninit(&layout);
            m_error = QStringLiteral("The sound cannot be converted to 16-bit samples.");
            return false;
        }
        av_channel_layout_uninit(&m_swrLayout);
        av_channel_layout_copy(&m_swrLayout, &layout);
        m_swrFormat = frame->format;
        m_swrRate = frame->sample_rate;
    }
    av_channel_layout_uninit(&layout);

    if (m_head > 0) {
        m_pcm.erase(m_pcm.begin(), m_pcm.begin() + std::ptrdiff_t(m_head));
        m_head = 0;
    }
    const int room = swr_get_out_samples(m_swr, frame->nb_samples);
    if (room < 0)
        return false;
    const std::size_t used = m_pcm.size();
    m_pcm.resize(used + std::size_t(room) * std::size_t(FrameBytes()));
    auto* out = reinterpret_cast<uint8_t*>(m_pcm.data() + used);
    const int converted =
        swr_convert(m_swr, &out, room, const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    if (converted < 0) {
        m_pcm.resize(used);
        m_error = AvErrorText(converted);
        return false;
    }
    m_pcm.resize(used + std::size_t(converted) * std::size_t(FrameBytes()));
    return true;
}

} // namespace

// The module's one export: a new decoder, owned by the caller.
extern "C" Q_DECL_EXPORT SoundDecoder* LumivaleCreateSoundDecoder()
{
    return new FfmpegSoundDecoder();
}
