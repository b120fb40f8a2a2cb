#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>
#include <functional>

// Reads one HTTP/1.1 response from bytes as they arrive, in pieces of any
// size: the status line, the header fields, then the body, whose framing the
// header decides (chunked transfer coding, Content-Length, or everything
// until the server closes). Interim 1xx answers are skipped. It does no I/O:
// the caller feeds what the socket read and writes the decoded body bytes
// wherever it likes.
class HttpResponseParser
{
public:
    static constexpr qint64 kMaxBody = 32 * 1024 * 1024;
    // Status line and header fields together.
    static constexpr qsizetype kMaxHead = 64 * 1024;

    enum class State
    {
        Head,   // reading the status line and the header fields
        Body,   // the head is complete; reading the body
        Done,   // the response is complete
        Failed, // the bytes are no usable response; Error() says why
    };
    enum class Framing
    {
        None,       // no body (204, 304) or not known yet
        Length,     // Content-Length bytes
        Chunked,    // chunked transfer coding
        UntilClose, // everything until the server closes
    };

    // Takes decoded body bytes (views into the input, valid during the call);
    // false when they cannot be kept, which fails the response.
    using BodySink = std::function<bool(QByteArrayView)>;

    explicit HttpResponseParser(qint64 maxBody = kMaxBody);

    // Consumes input, handing the decoded body bytes it holds to sink. Bytes
    // after a complete response are ignored.
    State Feed(QByteArrayView input, const BodySink& sink);
    // The same, the body bytes appended to body.
    State Feed(QByteArrayView input, QByteArray& body);
    // The server closed the connection: completes a body that runs until the
    // close, fails anything cut short.
    State Close();

    // How many body bytes the caller may now move from the connection to
    // their destination itself, past the parser: the rest of a declared
    // length; for a body that runs until the close, one more than the size
    // limit leaves, so that an over-size body still shows. 0 when the body is
    // chunked (its framing is inside the bytes) or is not being read.
    qint64 PassThroughLimit() const;
    // Counts count body bytes moved past the parser (at most
    // PassThroughLimit()) as if they had been fed: the size limit and the end
    // of a declared length apply to them alike.
    State PassThrough(qint64 count);

    State CurrentState() const { return m_state; }
    // The status line and the header fields have been read (also when the body then failed).
    bool HeadComplete() const { return m_headComplete; }
    int StatusCode() const { return m_status; }
    const QByteArray& ReasonPhrase() const { return m_reason; }
    // The last value of a header field (name compared without regard to case),
    // blanks around it removed; empty when there is none.
    QByteArray Header(QByteArrayView name) const;
    // The last Content-Type value, lowercased, blanks around it removed.
    QString ContentType() const;
    Framing BodyFraming() const { return m_framing; }
    // The declared length, -1 when none was given.
    qint64 ContentLength() const { return m_contentLength; }
    // Body bytes decoded so far.
    qint64 BodySize() const { return m_bodySize; }
    const QString& Error() const { return m_error; }

private:
    State Fail(QString reason);
    enum class LineStep
    {
        Line,     // line holds the next line, without its CR LF (or bare LF)
        NeedMore, // the bytes so far are held until the line ends
        TooLong,  // the line would pass limit bytes
    };
    LineStep TakeLine(QByteArrayView& input, QByteArray& line, qsizetype limit);
    bool HeadLine(const QByteArray& line);
    bool StatusLine(const QByteArray& line);
    bool EndOfHead();
    bool WithinLimit(qint64 count);
    bool AppendBody(QByteArrayView bytes, const BodySink& sink);
    // Takes up to m_remaining bytes of input into the body; true once they are all in.
    bool TakeCounted(QByteArrayView& input, const BodySink& sink);
    void FeedBody(QByteArrayView& input, const BodySink& sink);
    void FeedChunked(QByteArrayView& input, const BodySink& sink);

    enum class ChunkStep
    {
        Size,
        Data,
        DataEnd,
        Trailer,
    };

    qint64 m_maxBody;
    State m_state = State::Head;
    Framing m_framing = Framing::None;
    ChunkStep m_chunkStep = ChunkStep::Size;
    bool m_headComplete = false;
    bool m_statusRead = false;
    bool m_anyInput = false;
    int m_status = 0;
    QByteArray m_reason;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    QByteArray m_line; // an incomplete line held over from the last piece
    qsizetype m_headSize = 0;
    qint64 m_contentLength = -1;
    qint64 m_remaining = 0; // of the declared length, or of the current chunk
    qint64 m_bodySize = 0;
    QString m_error;
};
