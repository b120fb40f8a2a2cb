#include "music/SoundPluginHost.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <sys/stat.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libswresample/swresample.h>
}

namespace {

// The read size each caller asks for: the caller's chunk buffer.
constexpr qint32 kReadSize = 9000;

QString ErrorText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromUtf8(text);
}

// The codecs behind the file types of the open dialog (and the codecs such
// files commonly hold instead).
constexpr AVCodecID kSoundCodecs[] = {
    AV_CODEC_ID_MP1,    AV_CODEC_ID_MP2,       AV_CODEC_ID_MP3,       AV_CODEC_ID_AAC,
    AV_CODEC_ID_VORBIS, AV_CODEC_ID_OPUS,      AV_CODEC_ID_FLAC,      AV_CODEC_ID_ALAC,
    AV_CODEC_ID_WMAV1,  AV_CODEC_ID_WMAV2,     AV_CODEC_ID_WMAPRO,    AV_CODEC_ID_PCM_S16LE,
    AV_CODEC_ID_PCM_U8, AV_CODEC_ID_PCM_S24LE, AV_CODEC_ID_PCM_F32LE,
};

class FfmpegPluginHost final : public SoundPluginHost
{
public:
    FfmpegPluginHost()
    {
        // Damaged files are the program's to report, not the library's to print.
        static std::once_flag quiet;
        std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    }
    ~FfmpegPluginHost() override { CloseStream(); }

    qint32 Initialise(quintptr, const QString&) override
    {
        m_decoders = 0;
        for (AVCodecID id : kSoundCodecs) {
            if (avcodec_find_decoder(id))
                ++m_decoders;
        }
        return m_decoders;
    }
    void CleanUp() override { CloseStream(); }

    qint32 OpenStream(const QString& file) override;
    void CloseStream() override;
    qint32 Read(char* buffer, qint32 count) override;
    qint32 GetBufferSize() override { return m_format ? kReadSize - kReadSize % FrameBytes() : 0; }
    qint32 GetSampleRate() override { return m_format ? m_rate : 0; }
    qint32 GetChannels() override { return m_format ? m_channels : 0; }
    qint32 GetTrackTotalTime() override { return m_format ? m_lengthMs : 0; }
    qint32 GetPluginCount() override { return m_decoders; }
    void Seek(qint32 milliseconds, qint32 mode) override;
    QString LastError() const override { return m_error; }

private:
    int FrameBytes() const { return 2 * std::max(1, m_channels); }
    qint32 Refuse(const QString& reason)
    {
        CloseStream();
        m_error = reason;
        return 0;
    }
    // Decodes the next frame into the PCM buffer; false at the end or after a failure.
    bool DecodeMore();
    bool Append(const AVFrame* frame);
    std::size_t Pending() const { return m_pcm.size() - m_head; }

    qint32 m_decoders = 0;
    AVIOContext* m_io = nullptr;
    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_codec = nullptr;
    SwrContext* m_swr = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    int m_stream = -1;
    qint32 m_rate = 0;
    int m_channels = 0;
    qint32 m_lengthMs = 0;
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

qint32 FfmpegPluginHost::OpenStream(const QString& file)
{
    CloseStream();
    m_error.clear();
    if (m_decoders <= 0)
        return Refuse(QStringLiteral("No sound decoders are available."));
    const QByteArray name = QFile::encodeName(file);
    struct stat info = {};
    if (file.isEmpty() || ::stat(name.constData(), &info) != 0)
        return Refuse(QStringLiteral("The file does not exist."));
    if (S_ISDIR(info.st_mode))
        return Refuse(QStringLiteral("The path names a folder, not a file."));
    if (!S_ISREG(info.st_mode))
        return Refuse(QStringLiteral("The path names a FIFO, socket or device, not a regular file."));

    // Opened through the file protocol by name, so nothing in the path is read
    // as another protocol; the format is probed from the content alone.
    if (const int r = avio_open(&m_io, ("file:" + name).constData(), AVIO_FLAG_READ); r < 0)
        return Refuse(ErrorText(r));
    const AVInputFormat* input = nullptr;
    if (const int r = av_probe_input_buffer2(m_io, &input, "", nullptr, 0, 0); r < 0 || !input)
        return Refuse(QStringLiteral("The file is not in a known sound format."));
    m_format = avformat_alloc_context();
    if (!m_format)
        return Refuse(ErrorText(AVERROR(ENOMEM)));
    m_format->pb = m_io;
    m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (const int r = avformat_open_input(&m_format, "", input, nullptr); r < 0) {
        m_format = nullptr; // freed by the failed open
        return Refuse(ErrorText(r));
    }
    if (const int r = avformat_find_stream_info(m_format, nullptr); r < 0)
        return Refuse(ErrorText(r));
    const AVCodec* decoder = nullptr;
    m_stream = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (m_stream < 0 || !decoder)
        return Refuse(m_stream == AVERROR_DECODER_NOT_FOUND ? QStringLiteral("No decoder for its sound.")
                                                            : QStringLiteral("The file holds no sound."));
    const AVStream* stream = m_format->streams[m_stream];
    m_codec = avcodec_alloc_context3(decoder);
    if (!m_codec || avcodec_parameters_to_context(m_codec, stream->codecpar) < 0)
        return Refuse(ErrorText(AVERROR(ENOMEM)));
    m_codec->pkt_timebase = stream->time_base;
    if (const int r = avcodec_open2(m_codec, decoder, nullptr); r < 0)
        return Refuse(ErrorText(r));
    m_rate = m_codec->sample_rate;
    const int sourceChannels = m_codec->ch_layout.nb_channels;
    if (m_rate < 1 || sourceChannels < 1)
        return Refuse(QStringLiteral("The sound has no sample rate or no channels."));
    m_channels = std::min(sourceChannels, 2);

    qint64 length = 0;
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        length = av_rescale_q(stream->duration, stream->time_base, AVRational{1, 1000});
    else if (m_format->duration != AV_NOPTS_VALUE && m_format->duration > 0)
        length = av_rescale(m_format->duration, 1000, AV_TIME_BASE);
    m_lengthMs = qint32(std::clamp<qint64>(length, 0, std::numeric_limits<qint32>::max()));

    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (!m_packet || !m_frame)
        return Refuse(ErrorText(AVERROR(ENOMEM)));
    m_pcm.reserve(1 << 16);
    return 1;
}

void FfmpegPluginHost::CloseStream()
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
    // Opened by this host (custom I/O): the format context leaves it to us.
    avio_closep(&m_io);
    m_stream = -1;
    m_rate = 0;
    m_channels = 0;
    m_lengthMs = 0;
    m_draining = false;
    m_ended = false;
    m_pcm.clear();
    m_head = 0;
}

qint32 FfmpegPluginHost::Read(char* buffer, qint32 count)
{
    if (!m_format || !buffer || count <= 0)
        return 0;
    count -= count % FrameBytes();
    while (Pending() < std::size_t(count) && DecodeMore()) {
    }
    const qint32 n = qint32(std::min<std::size_t>(Pending(), std::size_t(count)));
    std::memcpy(buffer, m_pcm.data() + m_head, std::size_t(n));
    m_head += std::size_t(n);
    if (m_head == m_pcm.size()) {
        m_pcm.clear();
        m_head = 0;
    }
    return n;
}

bool FfmpegPluginHost::DecodeMore()
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
            m_error = ErrorText(received);
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
                m_error = ErrorText(read);
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
                m_error = ErrorText(sent);
                m_ended = true;
                return false;
            }
        }
        av_packet_unref(m_packet);
    }
    return false;
}

bool FfmpegPluginHost::Append(const AVFrame* frame)
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
        m_error = ErrorText(converted);
        return false;
    }
    m_pcm.resize(used + std::size_t(converted) * std::size_t(FrameBytes()));
    return true;
}

void FfmpegPluginHost::Seek(qint32 milliseconds, qint32)
{
    if (!m_format)
        return;
    const qint64 target = av_rescale(std::max<qint64>(milliseconds, 0), AV_TIME_BASE, 1000);
    avformat_seek_file(m_format, -1, std::numeric_limits<qint64>::min(), target, target, 0);
    avcodec_flush_buffers(m_codec);
    m_pcm.clear();
    m_head = 0;
    m_draining = false;
    m_ended = false;
}

} // namespace

// The plug-in module's one export: a new host, owned by the caller.
extern "C" Q_DECL_EXPORT SoundPluginHost* LumivaleCreateSoundPluginHost()
{
    return new FfmpegPluginHost();
}
