#include "music/OggVorbisEncoder.h"

#include "app/FileAccess.h"
#include "music/LibraryBinding.h"

#include <cmath>
#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>

// The headers give the types and signatures only; the functions come from the
// libraries opened at run time.
struct OggVorbisEncoder::Api
{
    decltype(&::vorbis_info_init) vorbis_info_init = nullptr;
    decltype(&::vorbis_info_clear) vorbis_info_clear = nullptr;
    decltype(&::vorbis_comment_clear) vorbis_comment_clear = nullptr;
    decltype(&::vorbis_encode_init_vbr) vorbis_encode_init_vbr = nullptr;
    decltype(&::vorbis_analysis_init) vorbis_analysis_init = nullptr;
    decltype(&::vorbis_block_init) vorbis_block_init = nullptr;
    decltype(&::vorbis_analysis_headerout) vorbis_analysis_headerout = nullptr;
    decltype(&::vorbis_analysis_buffer) vorbis_analysis_buffer = nullptr;
    decltype(&::vorbis_analysis_wrote) vorbis_analysis_wrote = nullptr;
    decltype(&::vorbis_analysis_blockout) vorbis_analysis_blockout = nullptr;
    decltype(&::vorbis_analysis) vorbis_analysis = nullptr;
    decltype(&::vorbis_bitrate_addblock) vorbis_bitrate_addblock = nullptr;
    decltype(&::vorbis_bitrate_flushpacket) vorbis_bitrate_flushpacket = nullptr;
    decltype(&::vorbis_block_clear) vorbis_block_clear = nullptr;
    decltype(&::vorbis_dsp_clear) vorbis_dsp_clear = nullptr;
    decltype(&::ogg_stream_init) ogg_stream_init = nullptr;
    decltype(&::ogg_stream_packetin) ogg_stream_packetin = nullptr;
    decltype(&::ogg_stream_pageout) ogg_stream_pageout = nullptr;
    decltype(&::ogg_stream_flush) ogg_stream_flush = nullptr;
    decltype(&::ogg_stream_clear) ogg_stream_clear = nullptr;
};

// The library state of one stream, zero-filled (a zero vorbis_comment is an
// empty one: the file carries only the vendor string libvorbis writes).
struct OggVorbisEncoder::State
{
    ogg_stream_state stream{};
    ogg_packet packet{};
    vorbis_comment comment{};
    vorbis_info info{};
    vorbis_dsp_state dsp{};
    vorbis_block block{};
};

namespace {

Failure EncoderFailure(const QString& reason)
{
    return Failure::Because(reason);
}

} // namespace

void SplitSamples(const qint16* samples, int frames, int channels, float* const* out)
{
    if (channels == 1) {
        for (int i = 0; i < frames; ++i)
            out[0][i] = float(samples[i]) / 32768.0f;
        return;
    }
    float* left = out[0];
    float* right = out[1];
    for (int i = 0; i < frames; ++i) {
        left[i] = float(samples[2 * i]) / 32768.0f;
        right[i] = float(samples[2 * i + 1]) / 32768.0f;
    }
}

OggVorbisEncoder::OggVorbisEncoder(std::function<double()> random, EncoderLibraries libraries)
    : m_random(std::move(random)), m_libraries(std::move(libraries))
{
}

OggVorbisEncoder::~OggVorbisEncoder()
{
    if (StreamOpen())
        CloseStream();
}

bool OggVorbisEncoder::InitEncoder()
{
    if (StreamOpen())
        CloseStream();
    m_api.reset();
    m_initFailure = Failure();
    QStringList missing;
    // Every load is attempted, so that the failure names each missing library.
    for (auto [library, name] :
         {std::pair{&m_ogg, &m_libraries.ogg}, std::pair{&m_vorbis, &m_libraries.vorbis},
          std::pair{&m_vorbisenc, &m_libraries.vorbisenc}}) {
        // Never unloaded: another thread's encoder may be using the same library.
        library->setFileName(*name);
        if (!library->load())
            missing << *name;
    }
    if (!missing.isEmpty()) {
        m_initFailure =
            EncoderFailure(QStringLiteral("Missing library: %1").arg(missing.join(QStringLiteral(", "))));
        return false;
    }
    auto api = std::make_unique<Api>();
    Api& a = *api;
    Bind(m_vorbis, "vorbis_info_init", a.vorbis_info_init, missing);
    Bind(m_vorbis, "vorbis_info_clear", a.vorbis_info_clear, missing);
    Bind(m_vorbis, "vorbis_comment_clear", a.vorbis_comment_clear, missing);
    Bind(m_vorbisenc, "vorbis_encode_init_vbr", a.vorbis_encode_init_vbr, missing);
    Bind(m_vorbis, "vorbis_analysis_init", a.vorbis_analysis_init, missing);
    Bind(m_vorbis, "vorbis_block_init", a.vorbis_block_init, missing);
    Bind(m_vorbis, "vorbis_analysis_headerout", a.vorbis_analysis_headerout, missing);
    Bind(m_vorbis, "vorbis_analysis_buffer", a.vorbis_analysis_buffer, missing);
    Bind(m_vorbis, "vorbis_analysis_wrote", a.vorbis_analysis_wrote, missing);
    Bind(m_vorbis, "vorbis_analysis_blockout", a.vorbis_analysis_blockout, missing);
    Bind(m_vorbis, "vorbis_analysis", a.vorbis_analysis, missing);
    Bind(m_vorbis, "vorbis_bitrate_addblock", a.vorbis_bitrate_addblock, missing);
    Bind(m_vorbis, "vorbis_bitrate_flushpacket", a.vorbis_bitrate_flushpacket, missing);
    Bind(m_vorbis, "vorbis_block_clear", a.vorbis_block_clear, missing);
    Bind(m_vorbis, "vorbis_dsp_clear", a.vorbis_dsp_clear, missing);
    Bind(m_ogg, "ogg_stream_init", a.ogg_stream_init, missing);
    Bind(m_ogg, "ogg_stream_packetin", a.ogg_stream_packetin, missing);
    Bind(m_ogg, "ogg_stream_pageout", a.ogg_stream_pageout, missing);
    Bind(m_ogg, "ogg_stream_flush", a.ogg_stream_flush, missing);
    Bind(m_ogg, "ogg_stream_clear", a.ogg_stream_clear, missing);
    if (!missing.isEmpty()) {
        m_initFailure = EncoderFailure(QStringLiteral("Missing function in the Ogg Vorbis libraries: %1")
                                           .arg(missing.join(QStringLiteral(", "))));
        return false;
    }
    m_api = std::move(api);
    return true;
}

Result<> OggVorbisEncoder::InitStream(qint32 SampleRate, qint16 Channels, const QString& output)
{
    if (!m_api)
        return Fail(EncoderFailure(QStringLiteral("The Ogg Vorbis libraries are not loaded.")));
    if (StreamOpen())
        CloseStream();
    if ((Channels != 1 && Channels != 2) || SampleRate < 1 || output.isEmpty())
        return Fail(EncoderFailure(
            QStringLiteral("Unsupported format: %1 channels at %2 Hz.").arg(Channels).arg(SampleRate)));
    m_channels = Channels;
    m_sampleRate = SampleRate;
    m_streamFailure.reset();

    m_file.setFileName(output);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_channels = 0;
        m_sampleRate = 0;
        return Fail(EncoderFailure(QStringLiteral("%1: %2").arg(output, m_file.errorString())));
    }
    m_state = std::make_unique<State>();
    State& s = *m_state;
    const Api& a = *m_api;
    const auto failed = [this](const QString& reason) -> Result<> {
        m_file.close();
        ReleaseState();
        return Fail(EncoderFailure(reason));
    };

    a.vorbis_info_init(&s.info);
    if (a.vorbis_encode_init_vbr(&s.info, Channels, SampleRate, kVorbisQuality) < 0) {
        a.vorbis_info_clear(&s.info);
        return failed(
            QStringLiteral("libvorbis cannot encode %1 channels at %2 Hz.").arg(Channels).arg(SampleRate));
    }
    if (a.vorbis_analysis_init(&s.dsp, &s.info) != 0) {
        a.vorbis_info_clear(&s.info);
        return failed(QStringLiteral("libvorbis could not start the analysis."));
    }
    if (a.vorbis_block_init(&s.dsp, &s.block) != 0) {
        a.vorbis_dsp_clear(&s.dsp);
        a.vorbis_info_clear(&s.info);
        return failed(QStringLiteral("libvorbis could not start the analysis."));
    }
    // A fresh draw for every stream: two files in a row never share a serial number by chance of the clock.
    m_serial = int(std::nearbyint((m_random ? m_random() : 0.0) * 100000.0));
    if (a.ogg_stream_init(&s.stream, m_serial) != 0) {
        a.vorbis_block_clear(&s.block);
        a.vorbis_dsp_clear(&s.dsp);
        a.vorbis_info_clear(&s.info);
        return failed(QStringLiteral("libogg could not start the stream."));
    }
    ogg_packet header{}, header_comm{}, header_code{};
    a.vorbis_analysis_headerout(&s.dsp, &s.comment, &header, &header_comm, &header_code);
    a.ogg_stream_packetin(&s.stream, &header);
    a.ogg_stream_packetin(&s.stream, &header_comm);
    a.ogg_stream_packetin(&s.stream, &header_code);
    // The headers end up on pages of their own: the audio starts on a fresh page.
    if (!WritePages(true)) {
        const Failure why =
            m_streamFailure.value_or(EncoderFailure(QStringLiteral("The headers could not be written.")));
        a.ogg_stream_clear(&s.stream);
        a.vorbis_block_clear(&s.block);
        a.vorbis_dsp_clear(&s.dsp);
        a.vorbis_comment_clear(&s.comment);
        a.vorbis_info_clear(&s.info);
        m_file.close();
        ReleaseState();
        return Fail(why);
    }
    return {};
}

bool OggVorbisEncoder::Encode(const qint16* samples, qint32 frames)
{
    if (!m_api || !StreamOpen() || frames < 1 || !samples || m_streamFailure)
        return false;
    float** p = m_api->vorbis_analysis_buffer(&m_state->dsp, frames);
    if (!p)
        return false;
    SplitSamples(samples, frames, m_channels, p);
    m_api->vorbis_analysis_wrote(&m_state->dsp, frames);
    EncodeBlocks();
    return !m_streamFailure;
}

Result<> OggVorbisEncoder::CloseStream()
{
    if (!m_api || !StreamOpen())
        return Fail(EncoderFailure(QStringLiteral("No stream is open.")));
    State& s = *m_state;
    const Api& a = *m_api;
    // End of input: the remaining packets are framed and written; the last
    // carries the end-of-stream mark. A final flush takes whatever is left.
    a.vorbis_analysis_wrote(&s.dsp, 0);
    if (EncodeBlocks())
        WritePages(true);
    a.ogg_stream_clear(&s.stream);
    a.vorbis_block_clear(&s.block);
    a.vorbis_dsp_clear(&s.dsp);
    a.vorbis_comment_clear(&s.comment);
    a.vorbis_info_clear(&s.info);
    if (!m_streamFailure && !m_file.flush())
        StreamFailed(EncoderFailure(QStringLiteral("%1: %2").arg(m_file.fileName(), m_file.errorString())));
    m_file.close();
    if (!m_streamFailure && m_file.error() != QFileDevice::NoError)
        StreamFailed(EncoderFailure(QStringLiteral("%1: %2").arg(m_file.fileName(), m_file.errorString())));
    ReleaseState();
    m_channels = 0;
    m_sampleRate = 0;
    if (m_streamFailure)
        return Fail(*m_streamFailure);
    return {};
}

bool OggVorbisEncoder::WritePages(bool flush)
{
    ogg_page page{};
    for (;;) {
        const int r = flush ? m_api->ogg_stream_flush(&m_state->stream, &page)
                            : m_api->ogg_stream_pageout(&m_state->stream, &page);
        if (r == 0)
            return true;
        if (r < 0) {
            StreamFailed(EncoderFailure(QStringLiteral("libogg could not frame a page.")));
            return false;
        }
        if (!WriteBytes(page.header, page.header_len) || !WriteBytes(page.body, page.body_len))
            return false;
    }
}

bool OggVorbisEncoder::EncodeBlocks()
{
    State& s = *m_state;
    const Api& a = *m_api;
    while (a.vorbis_analysis_blockout(&s.dsp, &s.block) == 1) {
        if (a.vorbis_analysis(&s.block, nullptr) < 0 || a.vorbis_bitrate_addblock(&s.block) < 0) {
            StreamFailed(EncoderFailure(QStringLiteral("libvorbis could not encode a block.")));
            return false;
        }
        while (a.vorbis_bitrate_flushpacket(&s.dsp, &s.packet) >= 1) {
            a.ogg_stream_packetin(&s.stream, &s.packet);
            if (!WritePages(false))
                return false;
        }
    }
    return true;
}

bool OggVorbisEncoder::WriteBytes(const unsigned char* data, long size)
{
    if (m_streamFailure)
        return false;
    if (const Result<> written = WriteFully(m_file, reinterpret_cast<const char*>(data), size); !written) {
        StreamFailed(
            EncoderFailure(QStringLiteral("%1: %2").arg(m_file.fileName(), written.error().Reason())));
        return false;
    }
    return true;
}

void OggVorbisEncoder::StreamFailed(Failure failure)
{
    if (!m_streamFailure)
        m_streamFailure = std::move(failure);
}

void OggVorbisEncoder::ReleaseState()
{
    m_state.reset();
}
