#include "TestTools.h"
#include "online/DownloadSlot.h"
#include "online/HttpRequest.h"
#include "online/HttpResponseParser.h"

#include <gtest/gtest.h>

namespace {

using State = HttpResponseParser::State;

// A PNG signature holds CR LF and LF: bodies must come through byte for byte.
const QByteArray kPngBody =
    QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + QByteArray(300, 'x') + "\r\n\r\n";

struct Parsed
{
    State state;
    QByteArray body;
    int status;
    QString type;
};

// Feeds pieces in order, then the close when asked.
Parsed Parse(const QList<QByteArrayView>& pieces, bool close, qint64 maxBody = HttpResponseParser::kMaxBody)
{
    HttpResponseParser parser(maxBody);
    QByteArray body;
    for (QByteArrayView piece : pieces)
        parser.Feed(piece, body);
    if (close)
        parser.Close();
    return {parser.CurrentState(), body, parser.StatusCode(), parser.ContentType()};
}

QByteArray Chunked(const QByteArray& body)
{
    QByteArray out;
    for (qsizetype at = 0; at < body.size(); at += 97) {
        const QByteArray part = body.mid(at, 97);
        out += QByteArray::number(part.size(), 16) + (at == 0 ? ";name=value" : "") + "\r\n" + part + "\r\n";
    }
    return out + "0\r\nX-Trailer: 1\r\n\r\n";
}

TEST(HttpResponseParser, EveryFramingGivesTheBodyWhereverTheBytesAreCut)
{
    const QByteArray head = "HTTP/1.1 200 OK\r\nCONTENT-TYPE:   IMAGE/PNG  \r\nX-Other: a\r\n";
    const struct
    {
        QByteArray response;
        bool needsClose;
    } cases[] = {
        {head + "Content-Length: " + QByteArray::number(kPngBody.size()) + "\r\n\r\n" + kPngBody, false},
        {head + "Transfer-Encoding: chunked\r\n\r\n" + Chunked(kPngBody), false},
        {head + "\r\n" + kPngBody, true},
        // An interim answer first, bare LF line ends.
        {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.0 200 OK\nContent-Type: image/png\n\n" + kPngBody, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.response.left(60).toStdString());
        const QByteArray& r = c.response;
        // Whole, byte by byte, and cut in two at every length.
        QList<QByteArrayView> bytes;
        for (qsizetype i = 0; i < r.size(); ++i)
            bytes << QByteArrayView(r).sliced(i, 1);
        for (const QList<QByteArrayView>& pieces : {QList<QByteArrayView>{r}, bytes}) {
            const Parsed p = Parse(pieces, c.needsClose);
            EXPECT_EQ(p.state, State::Done);
            EXPECT_EQ(p.body, kPngBody);
            EXPECT_EQ(p.type, QStringLiteral("image/png"));
            EXPECT_EQ(p.status, 200);
        }
        for (qsizetype cut = 0; cut <= r.size(); ++cut) {
            const Parsed p =
                Parse({QByteArrayView(r).first(cut), QByteArrayView(r).sliced(cut)}, c.needsClose);
            ASSERT_EQ(p.state, State::Done) << cut;
            ASSERT_EQ(p.body, kPngBody) << cut;
        }
        // Cut short at every length: never Done with a partial body.
        for (qsizetype cut = 0; cut < r.size(); ++cut) {
            const Parsed p = Parse({QByteArrayView(r).first(cut)}, true);
            // Only a body that runs until the close may end anywhere in it.
            if (c.needsClose && p.state == State::Done)
                ASSERT_EQ(p.body, kPngBody.first(p.body.size())) << cut;
            else
                ASSERT_EQ(p.state, State::Failed) << cut;
        }
    }
}

TEST(HttpResponseParser, FramingAndSizeFaultsFail)
{
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n";
    // Cut short by the close.
    EXPECT_EQ(Parse({head + "Content-Length: 100\r\n\r\n" + QByteArray(50, 'a')}, true).state, State::Failed);
    EXPECT_EQ(Parse({head + "Transfer-Encoding: chunked\r\n\r\n10\r\nabc"}, true).state, State::Failed);
    // A length past the limit is refused at once; a body past it as soon as it grows too large.
    const QByteArray tooLong = "Content-Length: " + QByteArray::number(HttpResponseParser::kMaxBody + 1);
    EXPECT_EQ(Parse({head + tooLong + "\r\n\r\n"}, false).state, State::Failed);
    EXPECT_EQ(Parse({head + "Content-Length: 33554432\r\n\r\n"}, false).state, State::Body);
    EXPECT_EQ(Parse({head + "\r\n" + QByteArray(101, 'a')}, false, 100).state, State::Failed);
    EXPECT_EQ(Parse({head + "\r\n" + QByteArray(100, 'a')}, true, 100).state, State::Done);
    EXPECT_EQ(Parse({head + "Transfer-Encoding: chunked\r\n\r\n65\r\n"}, false, 100).state, State::Failed);
    EXPECT_EQ(Parse({head + "Transfer-Encoding: chunked\r\n\r\nffffffffffffffffff\r\n"}, false).state,
              State::Failed);
    // Codings this client cannot undo, lengths that disagree, broken chunks.
    EXPECT_EQ(Parse({head + "Transfer-Encoding: gzip, chunked\r\n\r\n"}, false).state, State::Failed);
    EXPECT_EQ(Parse({head + "Content-Length: 5\r\nContent-Length: 6\r\n\r\n"}, false).state, State::Failed);
    EXPECT_EQ(Parse({head + "Content-Length: -5\r\n\r\n"}, false).state, State::Failed);
    EXPECT_EQ(Parse({head + "Transfer-Encoding: chunked\r\n\r\n3\r\nabcX\r\n"}, false).state, State::Failed);
    EXPECT_EQ(Parse({head + "Transfer-Encoding: chunked\r\n\r\nzz\r\n"}, false).state, State::Failed);
    // Chunked wins over a length; no body for 204; the header has a limit.
    const Parsed both =
        Parse({head + "Content-Length: 1\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n"}, false);
    EXPECT_EQ(both.state, State::Done);
    EXPECT_EQ(both.body, "abc");
    EXPECT_EQ(Parse({"HTTP/1.1 204 No Content\r\n\r\n"}, false).state, State::Done);
    EXPECT_EQ(Parse({"HTTP/1.1 200 OK\r\nX: " + QByteArray(70000, 'a')}, false).state, State::Failed);
    // Not HTTP at all, or nothing.
    EXPECT_EQ(Parse({"SSH-2.0-OpenSSH\r\n"}, false).state, State::Failed);
    EXPECT_EQ(Parse({}, true).state, State::Failed);
    EXPECT_EQ(Parse({"HTTP/1.1 200 OK\r\nContent-"}, true).state, State::Failed);
}

TEST(HttpResponseParser, BodyBytesMovedPastItCountAsFed)
{
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n";
    QByteArray body;
    // A declared length: what is fed and what passes by add up to it, and no further.
    HttpResponseParser length;
    EXPECT_EQ(length.Feed(head + "Content-Length: 100\r\n\r\n" + QByteArray(10, 'a'), body), State::Body);
    EXPECT_EQ(length.PassThroughLimit(), 90);
    EXPECT_EQ(length.PassThrough(50), State::Body);
    EXPECT_EQ(length.PassThroughLimit(), 40);
    HttpResponseParser cut = length;
    EXPECT_EQ(length.PassThrough(40), State::Done);
    EXPECT_EQ(length.BodySize(), 100);
    EXPECT_EQ(length.PassThroughLimit(), 0);
    EXPECT_EQ(cut.Close(), State::Failed);
    EXPECT_TRUE(cut.Error().contains(QStringLiteral("60 of 100"))) << qPrintable(cut.Error());
    // Until the close: one byte past the limit may pass, and fails the body.
    HttpResponseParser untilClose(100);
    untilClose.Feed(head + "\r\n", body);
    EXPECT_EQ(untilClose.PassThroughLimit(), 101);
    EXPECT_EQ(untilClose.PassThrough(100), State::Body);
    HttpResponseParser atLimit = untilClose;
    EXPECT_EQ(atLimit.Close(), State::Done);
    EXPECT_EQ(untilClose.PassThrough(1), State::Failed);
    EXPECT_TRUE(untilClose.Error().contains(QStringLiteral("too large")));
    // Chunked bodies and heads never pass by.
    HttpResponseParser chunked;
    chunked.Feed(head + "Transfer-Encoding: chunked\r\n\r\n", body);
    EXPECT_EQ(chunked.PassThroughLimit(), 0);
    EXPECT_EQ(HttpResponseParser().PassThroughLimit(), 0);
    EXPECT_EQ(body, QByteArray(10, 'a'));
}

TEST(HttpResponseParser, RandomBytesNeverBreakIt)
{
    std::mt19937 random(20261208);
    auto below = [&random](qsizetype n) { return qsizetype(random() % std::uint32_t(n)); };
    const QByteArray valid =
        "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nTransfer-Encoding: chunked\r\n\r\n" +
        Chunked(kPngBody);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes;
        if (round % 2 == 0) {
            bytes.resize(1 + below(600));
            for (char& c : bytes)
                c = char(random());
            if (round % 4 == 0)
                bytes.prepend("HTTP/1.1 200 OK\r\n");
        } else {
            // A valid response with a few bytes changed, dropped or doubled.
            bytes = Mutated(valid, random, 1 + int(below(5)));
        }
        HttpResponseParser parser(1000);
        QByteArray body;
        for (qsizetype at = 0; at < bytes.size();) {
            const qsizetype n = std::min<qsizetype>(1 + below(40), bytes.size() - at);
            parser.Feed(QByteArrayView(bytes).sliced(at, n), body);
            at += n;
        }
        const State state = parser.Close();
        ASSERT_TRUE(state == State::Done || state == State::Failed);
        ASSERT_LE(body.size(), 1000);
        ASSERT_EQ(state == State::Failed, !parser.Error().isEmpty());
    }
}

TEST(HttpResponseParser, PictureTypesAndFileNames)
{
    EXPECT_TRUE(IsPictureType(QStringLiteral("image/png")));
    EXPECT_TRUE(IsPictureType(QStringLiteral("image/gif")));
    EXPECT_FALSE(IsPictureType(QStringLiteral("image/jpg")));
    EXPECT_FALSE(IsPictureType(QStringLiteral("image/jpeg; charset=x")));
    EXPECT_EQ(DownloadFileName(0, QStringLiteral("image/jpeg")), QStringLiteral("lumivale.tmp0.jpeg"));
    EXPECT_EQ(DownloadFileName(3, QStringLiteral("image/png")), QStringLiteral("lumivale.tmp3.png"));
}

TEST(HttpAddress, SchemesHostsPortsAndTargets)
{
    const auto plain = ParseHttpAddress(QStringLiteral("  HTTP://Example.COM/a b/pic.png?x=1&y=ü#top "));
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->secure);
    EXPECT_EQ(plain->host, QStringLiteral("example.com"));
    EXPECT_EQ(plain->port, 80);
    EXPECT_EQ(plain->target, "/a%20b/pic.png?x=1&y=%C3%BC");
    EXPECT_EQ(plain->authority, "example.com");

    const auto secure = ParseHttpAddress(QStringLiteral("hTTpS://[::1]:8443/p"));
    ASSERT_TRUE(secure);
    EXPECT_TRUE(secure->secure);
    EXPECT_EQ(secure->port, 8443);
    EXPECT_EQ(secure->authority, "[::1]:8443");
    EXPECT_EQ(ParseHttpAddress(QStringLiteral("https://h/x"))->port, 443);

    for (const char* refused : {"ftp://example.com/a.png", "http://example.com", "example.com/a.png",
                                "http:///a.png", "http://exa mple.com:99999/a", "http://h/a\r\nX-Evil: 1"}) {
        const auto r = ParseHttpAddress(QString::fromUtf8(refused));
        ASSERT_FALSE(r) << refused;
        EXPECT_FALSE(r.error().Reason().isEmpty());
    }
}

TEST(HttpAddress, RequestBytesAndRedirects)
{
    const auto address = ParseHttpAddress(QStringLiteral("http://127.0.0.1:8080/dir/pic.png?s=1"));
    ASSERT_TRUE(address);
    EXPECT_EQ(BuildRequest(*address), "GET /dir/pic.png?s=1 HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n"
                                      "Connection: close\r\nUser-Agent: " +
                                          UserAgent() + "\r\nAccept: image/*\r\n\r\n");
    EXPECT_TRUE(UserAgent().startsWith("Lumivale/"));
    EXPECT_TRUE(BuildRequest(*address, true, "Basic dTpw")
                    .startsWith("GET http://127.0.0.1:8080/dir/pic.png?s=1 HTTP/1.1\r\n"));
    EXPECT_TRUE(
        BuildRequest(*address, true, "Basic dTpw").contains("\r\nProxy-Authorization: Basic dTpw\r\n"));

    EXPECT_EQ(RedirectTarget(*address, "other.png")->url.toString(),
              QStringLiteral("http://127.0.0.1:8080/dir/other.png"));
    EXPECT_EQ(RedirectTarget(*address, "/top.png")->target, "/top.png");
    EXPECT_TRUE(RedirectTarget(*address, "https://secure.example/x")->secure);
    EXPECT_FALSE(RedirectTarget(*address, "ftp://h/x"));
    EXPECT_FALSE(RedirectTarget(*address, "  "));
    const auto secure = ParseHttpAddress(QStringLiteral("https://a.example/x"));
    const auto down = RedirectTarget(*secure, "http://a.example/x");
    ASSERT_FALSE(down);
    EXPECT_TRUE(down.error().Reason().contains(QStringLiteral("refused")));
    for (int status : {301, 302, 303, 307, 308})
        EXPECT_TRUE(IsRedirectStatus(status));
    EXPECT_FALSE(IsRedirectStatus(304));
}

} // namespace
