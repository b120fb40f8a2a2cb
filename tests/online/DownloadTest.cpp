#include "LoopbackServer.h"
#include "online/DownloadBatch.h"
#include "online/OnlineSlot.h"

#include <QBuffer>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace {

QByteArray PictureBytes(const char* format, QColor colour)
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// Slot n as read from settings: a texture and the address.
OnlineSlot Record(int slot, const QString& address, const QString& name = QStringLiteral("Texture"))
{
    OnlineSettings settings;
    settings.entries[std::size_t(slot)] = {name,
                                           address,
                                           QStringLiteral("texture_library/T"),
                                           QStringLiteral("t"),
                                           QStringLiteral("64"),
                                           QStringLiteral("64")};
    return OnlineSlots(settings)[std::size_t(slot)];
}

QByteArray Length(const QByteArray& body)
{
    return "Content-Length: " + QByteArray::number(body.size());
}

class DownloadTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // Loopback downloads never go through a proxy of the machine the tests run on.
        for (const char* name :
             {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "no_proxy"})
            qunsetenv(name);
        s_certificates = new QTemporaryDir;
        s_trusted = MakeCertificate(s_certificates->path(), QStringLiteral("localhost"));
        s_untrusted =
            MakeCertificate(s_certificates->path(), QStringLiteral("other"), QStringLiteral("DNS:localhost"));
    }
    static void TearDownTestSuite() { delete s_certificates; }

    DownloadOptions Options() const
    {
        DownloadOptions options;
        options.systemProxy = false;
        options.silenceLimitMs = 1500;
        if (s_trusted)
            options.extraCaCertificates = {s_trusted->certificate};
        return options;
    }
    QString Work() const { return m_dir.filePath(QStringLiteral("work")); }

    // Starts the given slots (slot -> address) in one batch and waits for its end.
    void RunBatch(DownloadBatch& batch, const QList<QPair<int, QString>>& starts)
    {
        bool finished = false;
        QObject::connect(&batch, &DownloadBatch::finished, [&finished] { finished = true; });
        for (const auto& [slot, address] : starts)
            ASSERT_EQ(batch.StartDownload(Record(slot, address)), SlotStart::Started) << slot;
        ASSERT_TRUE(WaitUntil([&] { return finished; }));
        EXPECT_FALSE(batch.AnyDownloading());
    }

    QTemporaryDir m_dir;
    static QTemporaryDir* s_certificates;
    static std::optional<TestCertificate> s_trusted;
    static std::optional<TestCertificate> s_untrusted;
};

QTemporaryDir* DownloadTest::s_certificates = nullptr;
std::optional<TestCertificate> DownloadTest::s_trusted;
std::optional<TestCertificate> DownloadTest::s_untrusted;

TEST_F(DownloadTest, PicturesAreStoredByteForByteHoweverTheyArrive)
{
    const QByteArray png = PictureBytes("PNG", Qt::red);
    const QByteArray jpeg = PictureBytes("JPEG", Qt::blue);
    ASSERT_TRUE(png.contains("\r\n"));
    LoopbackServer server;
    // Header and body in one read, until the close, the type in capitals with blanks.
    server.Set("/one.png", Answer("200 OK", {"CONTENT-TYPE:    IMAGE/PNG"}, png));
    // Header lines split across reads, a CR LF split between two of them.
    const QByteArray whole =
        "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\n" + Length(jpeg) + "\r\n\r\n" + jpeg;
    const qsizetype cr = whole.indexOf("\r\n") + 1;
    server.Set("/split.jpg", LoopbackReply{{whole.first(7), whole.mid(7, cr - 7), whole.mid(cr, 20),
                                            whole.mid(cr + 20, 40), whole.mid(cr + 60)},
                                           40});
    // Chunked, and a Content-Length body on a connection the server leaves open.
    QByteArray chunked = "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (qsizetype at = 0; at < png.size(); at += 100)
        chunked += QByteArray::number(png.mid(at, 100).size(), 16) + "\r\n" + png.mid(at, 100) + "\r\n";
    server.Set("/chunked.png", LoopbackReply{{chunked, "0\r\n\r\n"}, 30, false});
    LoopbackReply open = Answer("200 OK", {"Content-Type: image/gif", Length(png)}, png);
    open.close = false;
    server.Set("/open.gif", open);

    DownloadBatch batch(Work(), Options());
    RunBatch(batch, {{0, QStringLiteral("HTTP://127.0.0.1:%1/one.png").arg(server.Port())},
                     {1, server.Url(QStringLiteral("/split.jpg"))},
                     {2, server.Url(QStringLiteral("/chunked.png"))},
                     {4, server.Url(QStringLiteral("/open.gif"))}});
    const QStringList names = {QStringLiteral("lumivale.tmp0.png"), QStringLiteral("lumivale.tmp1.jpeg"),
                               QStringLiteral("lumivale.tmp2.png"), QString(),
                               QStringLiteral("lumivale.tmp4.gif")};
    const QList<QByteArray> bodies = {png, jpeg, png, {}, png};
    for (int i : {0, 1, 2, 4}) {
        const DownloadSlot& slot = batch.Slot(i);
        ASSERT_EQ(slot.CurrentState(), DownloadSlot::State::Stored) << i << qPrintable(slot.Reason());
        EXPECT_EQ(QFileInfo(slot.StoredFile()).fileName(), names[i]);
        EXPECT_TRUE(slot.StoredFile().startsWith(Work() + QLatin1Char('/')));
        EXPECT_EQ(ReadAll(slot.StoredFile()), bodies[i]) << i;
    }
    EXPECT_EQ(batch.Slot(3).CurrentState(), DownloadSlot::State::Idle);
    for (const QByteArray& request : server.Requests()) {
        EXPECT_TRUE(request.contains("\r\nUser-Agent: Lumivale/")) << request.constData();
        EXPECT_TRUE(request.contains("\r\nAccept: image/*")) << request.constData();
        EXPECT_TRUE(request.contains("\r\nConnection: close")) << request.constData();
    }

    // An abort deletes what was stored; ending an idle slot changes nothing.
    const QString stored = batch.Slot(0).StoredFile();
    batch.Slot(3).End();
    EXPECT_EQ(batch.Slot(3).CurrentState(), DownloadSlot::State::Idle);
    batch.Abort();
    EXPECT_FALSE(QFileInfo::exists(stored));
    EXPECT_TRUE(batch.Slot(0).StoredFile().isEmpty());
}

TEST_F(DownloadTest, OnlyACompleteSuccessfulPictureIsKept)
{
    const QByteArray gif = PictureBytes("PNG", Qt::green);
    LoopbackServer server;
    server.Set("/missing.gif", Answer("404 Not Found", {"Content-Type: image/gif"}, gif));
    server.Set("/page", Answer("200 OK", {"Content-Type: text/html"}, "<html></html>"));
    server.Set("/param.jpg", Answer("200 OK", {"Content-Type: image/jpeg; charset=x"}, gif));
    server.Set("/short.png", Answer("200 OK", {"Content-Type: image/png", "Content-Length: 5000"}, gif));
    server.Set("/huge.png", Answer("200 OK", {"Content-Type: image/png", "Content-Length: 40000000"}, gif));
    DownloadBatch batch(Work(), Options());
    RunBatch(batch, {{0, server.Url(QStringLiteral("/missing.gif"))},
                     {1, server.Url(QStringLiteral("/page"))},
                     {2, server.Url(QStringLiteral("/param.jpg"))},
                     {3, server.Url(QStringLiteral("/short.png"))},
                     {4, server.Url(QStringLiteral("/huge.png"))}});
    const QStringList reasons = {QStringLiteral("404"), QStringLiteral("text/html"),
                                 QStringLiteral("charset"), QStringLiteral("cut short"),
                                 QStringLiteral("too large")};
    for (int i = 0; i < kOnlineSlots; ++i) {
        EXPECT_EQ(batch.Slot(i).CurrentState(), DownloadSlot::State::Failed) << i;
        EXPECT_TRUE(batch.Slot(i).Reason().contains(reasons[i])) << qPrintable(batch.Slot(i).Reason());
        EXPECT_TRUE(batch.Slot(i).StoredFile().isEmpty());
    }
    // No picture, whole or partial, is left behind.
    QStringList left;
    QDirIterator it(Work(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        left << it.next();
    EXPECT_TRUE(left.isEmpty()) << qPrintable(left.join(QLatin1Char(' ')));

    // Addresses that cannot be downloaded start nothing.
    for (const char* refused : {"ftp://127.0.0.1/a.png", "http://127.0.0.1", "https//x/y", "http:///a.png",
                                "http://exa mple.com:99999/a", "http://h/a\r\nX-Evil: 1"}) {
        EXPECT_EQ(batch.StartDownload(Record(0, QString::fromLatin1(refused))), SlotStart::Refused);
        EXPECT_FALSE(batch.Slot(0).Reason().isEmpty());
    }
    EXPECT_EQ(batch.StartDownload(Record(0, server.Url(QStringLiteral("/page")), QString())),
              SlotStart::NotInUse);
    EXPECT_EQ(batch.StartDownload(Record(0, QStringLiteral("  "))), SlotStart::NotInUse);
    EXPECT_FALSE(batch.AnyDownloading());
}

TEST_F(DownloadTest, LargeBodiesAreStoredExactly)
{
    // Random bytes (no picture needs to be decoded here), up to the size limit.
    constexpr qsizetype kLimit = 3 * 1024 * 1024;
    std::mt19937 random(13);
    QByteArray body(kLimit, Qt::Uninitialized);
    for (char& c : body)
        c = char(random());
    // The head first (with a Content-Length field when given), then the body in
    // pieces, so that most of it comes after the head.
    auto reply = [](const QByteArray& lengthField, const QByteArray& bytes, bool close) {
        QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n";
        if (!lengthField.isEmpty())
            head += lengthField + "\r\n";
        LoopbackReply r{{head + "\r\n"}, 15, close};
        for (qsizetype at = 0; at < bytes.size(); at += 1024 * 1024)
            r.pieces << bytes.mid(at, 1024 * 1024);
        return r;
    };
    LoopbackServer server;
    // Complete without the close; cut short by it; until the close, at the limit and past it;
    // bytes after the declared length are not the picture's.
    server.Set("/length.png", reply(Length(body), body, false));
    server.Set("/short.png", reply(Length(body), body.first(2 * 1024 * 1024 + 5), true));
    server.Set("/close.png", reply({}, body, true));
    server.Set("/over.png", reply({}, body + "x", true));
    server.Set("/extra.png", reply(Length(body.first(kLimit - 7)), body, false));

    {
        DownloadOptions options = Options();
        options.maxBody = kLimit;
        DownloadBatch batch(Work(), options);
        RunBatch(batch, {{0, server.Url(QStringLiteral("/length.png"))},
                         {1, server.Url(QStringLiteral("/short.png"))},
                         {2, server.Url(QStringLiteral("/close.png"))},
                         {3, server.Url(QStringLiteral("/over.png"))},
                         {4, server.Url(QStringLiteral("/extra.png"))}});
        for (int i : {0, 2, 4}) {
            const DownloadSlot& slot = batch.Slot(i);
            ASSERT_EQ(slot.CurrentState(), DownloadSlot::State::Stored) << i << qPrintable(slot.Reason());
            EXPECT_TRUE(ReadAll(slot.StoredFile()) == (i == 4 ? body.first(kLimit - 7) : body)) << i;
        }
        EXPECT_TRUE(batch.Slot(1).Reason().contains(QStringLiteral("cut short (2097157 of 3145728 bytes")))
            << qPrintable(batch.Slot(1).Reason());
        EXPECT_TRUE(batch.Slot(3).Reason().contains(QStringLiteral("too large")))
            << qPrintable(batch.Slot(3).Reason());
        for (int i : {1, 3})
            EXPECT_FALSE(QFileInfo::exists(Work() + QStringLiteral("/lumivale.tmp%1.png").arg(i))) << i;
        batch.Abort();
    }
}

TEST_F(DownloadTest, RedirectsAreFollowedWithinLimits)
{
    ASSERT_TRUE(s_trusted) << "openssl could not make a certificate";
    const QByteArray png = PictureBytes("PNG", Qt::yellow);
    LoopbackServer plain;
    LoopbackServer secure(s_trusted);
    const QByteArray picture = "Content-Type: image/png";
    plain.Set("/a/r1", Answer("301 Moved", {"Location: r2"}, {}));
    plain.Set("/a/r2", Answer("302 Found", {"Location: /r3", "Content-Type: text/html"}, "<p>moved</p>"));
    plain.Set("/r3", Answer("307 Temporary", {"Location: " + plain.Url("/pic.png").toUtf8()}, {}));
    plain.Set("/pic.png", Answer("200 OK", {picture}, png));
    plain.Set("/loop", Answer("308 Permanent", {"Location: /loop"}, {}));
    plain.Set("/up",
              Answer("303 See Other", {"Location: " + secure.Url("/pic.png", "localhost").toUtf8()}, {}));
    secure.Set("/pic.png", Answer("200 OK", {picture}, png));
    secure.Set("/down", Answer("302 Found", {"Location: " + plain.Url("/pic.png").toUtf8()}, {}));

    DownloadBatch batch(Work(), Options());
    RunBatch(batch, {{0, plain.Url(QStringLiteral("/a/r1"))},
                     {1, plain.Url(QStringLiteral("/loop"))},
                     {2, plain.Url(QStringLiteral("/up"))},
                     {3, secure.Url(QStringLiteral("/down"), QStringLiteral("localhost"))}});
    EXPECT_EQ(ReadAll(batch.Slot(0).StoredFile()), png) << qPrintable(batch.Slot(0).Reason());
    EXPECT_EQ(batch.Slot(1).CurrentState(), DownloadSlot::State::Failed);
    EXPECT_TRUE(batch.Slot(1).Reason().contains(QStringLiteral("more than 5")));
    EXPECT_EQ(ReadAll(batch.Slot(2).StoredFile()), png) << qPrintable(batch.Slot(2).Reason());
    EXPECT_EQ(batch.Slot(3).CurrentState(), DownloadSlot::State::Failed);
    EXPECT_TRUE(batch.Slot(3).Reason().contains(QStringLiteral("secure (https)")));
    // The loop: the first request and five redirects followed. The client may
    // send a request once more when the server closes the connection it went
    // out on (this server answers one request a connection), never more.
    int loops = 0;
    for (const QByteArray& request : plain.Requests())
        loops += request.startsWith("GET /loop ");
    EXPECT_GE(loops, 6);
    EXPECT_LE(loops, 12);
}

TEST_F(DownloadTest, FailedConnectionsEndTheirSlotsAndTheBatchStillEnds)
{
    const QByteArray png = PictureBytes("PNG", Qt::cyan);
    LoopbackServer server;
    server.Set("/pic.png", Answer("200 OK", {"Content-Type: image/png"}, png));
    server.Set("/silent", LoopbackReply{{}, 0, false});
    server.Set("/stall.png",
               LoopbackReply{{"HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n\r\nabc"}, 0, false});
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    DownloadBatch batch(Work(), Options());
    QElapsedTimer clock;
    clock.start();
    RunBatch(batch, {{0, QStringLiteral("http://nonexistent.invalid/pic.png")},
                     {1, QStringLiteral("http://127.0.0.1:%1/pic.png").arg(closedPort)},
                     {2, server.Url(QStringLiteral("/silent"))},
                     {3, server.Url(QStringLiteral("/pic.png"))},
                     {4, server.Url(QStringLiteral("/stall.png"))}});
    EXPECT_LT(clock.elapsed(), 6000);
    EXPECT_EQ(ReadAll(batch.Slot(3).StoredFile()), png);
    for (int i : {0, 1, 2, 4})
        EXPECT_EQ(batch.Slot(i).CurrentState(), DownloadSlot::State::Failed) << i;
    EXPECT_TRUE(batch.Slot(1).Reason().contains(QStringLiteral("refused")))
        << qPrintable(batch.Slot(1).Reason());
    EXPECT_TRUE(batch.Slot(2).Reason().contains(QStringLiteral("No data arrived")));
    // The stalled picture is not kept half-written.
    EXPECT_TRUE(batch.Slot(4).StoredFile().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(batch.Slot(3).StoredFile()).path() +
                                   QStringLiteral("/lumivale.tmp4.png")));
}

TEST_F(DownloadTest, SecureAddressesNeedATrustedCertificateForTheirHostName)
{
    ASSERT_TRUE(s_trusted && s_untrusted) << "openssl could not make the certificates";
    const QByteArray png = PictureBytes("PNG", Qt::magenta);
    LoopbackServer trusted(s_trusted);
    LoopbackServer untrusted(s_untrusted);
    for (LoopbackServer* server : {&trusted, &untrusted})
        server->Set("/pic.png", Answer("200 OK", {"Content-Type: image/png"}, png));
    DownloadBatch batch(Work(), Options());
    RunBatch(batch, {{0, trusted.Url(QStringLiteral("/pic.png"), QStringLiteral("localhost"))},
                     {1, untrusted.Url(QStringLiteral("/pic.png"), QStringLiteral("localhost"))},
                     // The certificate names localhost, not the address.
                     {2, trusted.Url(QStringLiteral("/pic.png"))}});
    EXPECT_EQ(ReadAll(batch.Slot(0).StoredFile()), png) << qPrintable(batch.Slot(0).Reason());
    for (int i : {1, 2}) {
        EXPECT_EQ(batch.Slot(i).CurrentState(), DownloadSlot::State::Failed) << i;
        EXPECT_TRUE(batch.Slot(i).Reason().contains(QStringLiteral("secure connection")))
            << qPrintable(batch.Slot(i).Reason());
    }
}

TEST_F(DownloadTest, AnUnwritableWorkFolderEndsTheSlot)
{
    LoopbackServer server;
    server.Set("/pic.png", Answer("200 OK", {"Content-Type: image/png"}, PictureBytes("PNG", Qt::white)));
    ASSERT_TRUE(WriteBytes(Work(), "a file where the work folder should be"));
    DownloadBatch batch(Work(), Options());
    RunBatch(batch, {{0, server.Url(QStringLiteral("/pic.png"))}});
    EXPECT_EQ(batch.Slot(0).CurrentState(), DownloadSlot::State::Failed);
    EXPECT_TRUE(batch.Slot(0).Reason().contains(QStringLiteral("cannot be created")))
        << qPrintable(batch.Slot(0).Reason());
}

TEST_F(DownloadTest, ProxiesComeFromTheEnvironment)
{
    const QByteArray png = PictureBytes("PNG", Qt::gray);
    LoopbackServer proxy;
    proxy.Set("http://pictures.example/pic.png", Answer("200 OK", {"Content-Type: image/png"}, png));
    proxy.Set("pictures.example:443", Answer("403 Forbidden", {"Content-Length: 0"}, {}));
    const QByteArray address = QStringLiteral("http://127.0.0.1:%1").arg(proxy.Port()).toUtf8();
    qputenv("http_proxy", address);
    qputenv("https_proxy", address);
    qputenv("no_proxy", "localhost,127.0.0.1,direct.example");
    DownloadOptions options = Options();
    options.systemProxy = true;
    DownloadBatch batch(Work(), options);
    RunBatch(batch, {{0, QStringLiteral("http://pictures.example/pic.png")},
                     {1, QStringLiteral("https://pictures.example/pic.png")},
                     {2, QStringLiteral("http://127.0.0.1:%1/direct.png").arg(proxy.Port())}});
    for (const char* name : {"http_proxy", "https_proxy", "no_proxy"})
        qunsetenv(name);
    EXPECT_EQ(ReadAll(batch.Slot(0).StoredFile()), png) << qPrintable(batch.Slot(0).Reason());
    EXPECT_EQ(batch.Slot(1).CurrentState(), DownloadSlot::State::Failed);
    const QList<QByteArray> requests = proxy.Requests();
    auto received = [&](const QByteArray& start) {
        return std::any_of(requests.begin(), requests.end(),
                           [&](const QByteArray& r) { return r.startsWith(start); });
    };
    EXPECT_TRUE(received("GET http://pictures.example/pic.png HTTP/1.1\r\nHost: pictures.example\r\n"));
    EXPECT_TRUE(received("CONNECT pictures.example:443 "));
    // Excluded by no_proxy: straight to the server, with a plain request line.
    EXPECT_TRUE(received("GET /direct.png HTTP/1.1"));
}

} // namespace
