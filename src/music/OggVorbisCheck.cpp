#include "music/OggVorbisCheck.h"

#include "app/FileAccess.h"
#include "music/LibraryBinding.h"

#include <QFile>
#include <QLibrary>
#include <cstring>
#include <ogg/ogg.h>
#include <vorbis/codec.h>

namespace {

// The parts of libogg and libvorbis that read a stream.
struct ReadingApi
{
    decltype(&ogg_sync_init) syncInit = nullptr;
    decltype(&ogg_sync_clear) syncClear = nullptr;
    decltype(&ogg_sync_buffer) syncBuffer = nullptr;
    decltype(&ogg_sync_wrote) syncWrote = nullptr;
    decltype(&ogg_sync_pageseek) syncPageseek = nullptr;
    decltype(&ogg_stream_init) streamInit = nullptr;
    decltype(&ogg_stream_clear) streamClear = nullptr;
    decltype(&ogg_stream_pagein) streamPagein = nullptr;
    decltype(&ogg_stream_packetout) streamPacketout = nullptr;
    decltype(&ogg_page_bos) pageBos = nullptr;
    decltype(&ogg_page_eos) pageEos = nullptr;
    decltype(&ogg_page_serialno) pageSerialno = nullptr;
    decltype(&vorbis_info_init) infoInit = nullptr;
    decltype(&vorbis_info_clear) infoClear = nullptr;
    decltype(&vorbis_comment_init) commentInit = nullptr;
    decltype(&vorbis_comment_clear) commentClear = nullptr;
    decltype(&vorbis_synthesis_headerin) headerin = nullptr;
};

Result<ReadingApi> LoadApi()
{
    // Loaded once and kept, as the encoder keeps them for the process.
    static QLibrary ogg(QStringLiteral("libogg.so.0"));
    static QLibrary vorbis(QStringLiteral("libvorbis.so.0"));
    QStringList missing;
    for (QLibrary* library : {&ogg, &vorbis}) {
        if (!library->isLoaded() && !library->load())
            missing << library->fileName();
    }
    if (!missing.isEmpty())
        return Fail(
            Failure::Because(QStringLiteral("Missing library: %1").arg(missing.join(QStringLiteral(", ")))));
    ReadingApi a;
    Bind(ogg, "ogg_sync_init", a.syncInit, missing);
    Bind(ogg, "ogg_sync_clear", a.syncClear, missing);
    Bind(ogg, "ogg_sync_buffer", a.syncBuffer, missing);
    Bind(ogg, "ogg_sync_wrote", a.syncWrote, missing);
    Bind(ogg, "ogg_sync_pageseek", a.syncPageseek, missing);
    Bind(ogg, "ogg_stream_init", a.streamInit, missing);
    Bind(ogg, "ogg_stream_clear", a.streamClear, missing);
    Bind(ogg, "ogg_stream_pagein", a.streamPagein, missing);
    Bind(ogg, "ogg_stream_packetout", a.streamPacketout, missing);
    Bind(ogg, "ogg_page_bos", a.pageBos, missing);
    Bind(ogg, "ogg_page_eos", a.pageEos, missing);
    Bind(ogg, "ogg_page_serialno", a.pageSerialno, missing);
    Bind(vorbis, "vorbis_info_init", a.infoInit, missing);
    Bind(vorbis, "vorbis_info_clear", a.infoClear, missing);
    Bind(vorbis, "vorbis_comment_init", a.commentInit, missing);
    Bind(vorbis, "vorbis_comment_clear", a.commentClear, missing);
    Bind(vorbis, "vorbis_synthesis_headerin", a.headerin, missing);
    if (!missing.isEmpty())
        return Fail(
            Failure::Because(QStringLiteral("Missing function: %1").arg(missing.join(QStringLiteral(", ")))));
    return a;
}

// One pass over the pages and packets of a file, with the library state it
// holds released at the end.
class StreamWalk
{
public:
    explicit StreamWalk(const ReadingApi& api) : m_api(api)
    {
        m_api.syncInit(&m_sync);
        m_api.infoInit(&m_info);
        m_api.commentInit(&m_comment);
    }
    ~StreamWalk()
    {
        if (m_streamOpen)
            m_api.streamClear(&m_stream);
        m_api.commentClear(&m_comment);
        m_api.infoClear(&m_info);
        m_api.syncClear(&m_sync);
    }
    StreamWalk(const StreamWalk&) = delete;
    StreamWalk& operator=(const StreamWalk&) = delete;

    Result<> Feed(const char* data, qint64 size)
    {
        char* buffer = m_api.syncBuffer(&m_sync, long(size));
        if (!buffer)
            return Fail(Failure::Because(QStringLiteral("Out of memory.")));
        std::memcpy(buffer, data, std::size_t(size));
        m_api.syncWrote(&m_sync, long(size));
        ogg_page page;
        for (;;) {
            const long seek = m_api.syncPageseek(&m_sync, &page);
            if (seek == 0)
                return {};
            // Skipped bytes: no page starts there, or its checksum is wrong.
            if (seek < 0)
                return Fail(
                    Damaged(QStringLiteral("no whole page with a right checksum at byte %1").arg(m_offset)));
            const qint64 at = m_offset;
            m_offset += seek;
            if (Result<> taken = TakePage(page, at); !taken)
                return taken;
        }
    }

    Result<> Finish() const
    {
        if (m_sync.fill > m_sync.returned)
            return Fail(Damaged(QStringLiteral("it ends in the middle of a page at byte %1").arg(m_offset)));
        if (m_headers < 3)
            return Fail(Failure::Because(QStringLiteral("The file holds no complete Ogg Vorbis stream.")));
        if (!m_ended)
            return Fail(Damaged(QStringLiteral("its last page is missing (the file is cut short)")));
        return {};
    }

private:
    static Failure Damaged(const QString& what)
    {
        return Failure::Because(QStringLiteral("The Ogg stream is damaged: %1.").arg(what));
    }

    Result<> TakePage(ogg_page& page, qint64 at)
    {
        if (m_ended)
            return Fail(Damaged(QStringLiteral("a page follows the last one at byte %1").arg(at)));
        if (!m_streamOpen) {
            if (!m_api.pageBos(&page))
                return Fail(Damaged(QStringLiteral("its first page does not open a stream")));
            m_api.streamInit(&m_stream, m_api.pageSerialno(&page));
            m_streamOpen = true;
        } else if (m_api.pageBos(&page) || m_api.pageSerialno(&page) != m_stream.serialno) {
            return Fail(Failure::Because(QStringLiteral("The file holds more than one Ogg stream.")));
        }
        if (m_api.streamPagein(&m_stream, &page) != 0)
            return Fail(Damaged(QStringLiteral("the page at byte %1 does not fit the stream").arg(at)));
        m_ended = m_api.pageEos(&page) != 0;
        ogg_packet packet;
        for (;;) {
            const int got = m_api.streamPacketout(&m_stream, &packet);
            if (got == 0)
                return {};
            if (got < 0)
                return Fail(Damaged(QStringLiteral("a page before byte %1 is missing").arg(at)));
            if (m_headers < 3) {
                if (m_api.headerin(&m_info, &m_comment, &packet) != 0)
                    return Fail(Failure::Because(
                        m_headers == 0 ? QStringLiteral("The Ogg stream holds no Vorbis audio.")
                                       : QStringLiteral("Vorbis header %1 of the stream is damaged.")
                                             .arg(m_headers + 1)));
                ++m_headers;
            }
        }
    }

    const ReadingApi& m_api;
    ogg_sync_state m_sync{};
    ogg_stream_state m_stream{};
    vorbis_info m_info{};
    vorbis_comment m_comment{};
    bool m_streamOpen = false;
    bool m_ended = false;
    int m_headers = 0;
    qint64 m_offset = 0;
};

} // namespace

Result<> CheckOggVorbis(const QString& path)
{
    const Result<ReadingApi> api = LoadApi();
    if (!api)
        return Fail(api.error());
    QFile file;
    if (Result<> opened = OpenRegularFile(file, path); !opened)
        return opened;
    StreamWalk walk(*api);
    QByteArray block(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(block.data(), block.size());
        if (got < 0)
            return Fail(Failure::Because(file.errorString()));
        if (got == 0)
            return walk.Finish();
        if (Result<> fed = walk.Feed(block.constData(), got); !fed)
            return fed;
    }
}
