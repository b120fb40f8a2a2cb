#include "online/HttpResponseParser.h"

#include <limits>

namespace {

constexpr qsizetype kMaxChunkLine = 4096;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray Trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toByteArray();
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A whole decimal number (digits only); -1 when the text is none or too large.
qint64 DecimalValue(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 18)
        return -1;
    qint64 value = 0;
    for (char c : text) {
        if (!IsDigit(c))
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

QString Printable(QByteArrayView bytes)
{
    QString text = QString::fromLatin1(bytes.first(std::min<qsizetype>(bytes.size(), 80)));
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() >= 0x7F)
            c = QLatin1Char('?');
    }
    return text;
}

} // namespace

HttpResponseParser::HttpResponseParser(qint64 maxBody) : m_maxBody(maxBody) {}

HttpResponseParser::State HttpResponseParser::Fail(QString reason)
{
    if (m_state != State::Failed) {
        m_state = State::Failed;
        m_error = std::move(reason);
    }
    return m_state;
}

QByteArray HttpResponseParser::Header(QByteArrayView name) const
{
    for (qsizetype i = m_headers.size() - 1; i >= 0; --i) {
        if (m_headers[i].first.compare(name, Qt::CaseInsensitive) == 0)
            return m_headers[i].second;
    }
    return QByteArray();
}

QString HttpResponseParser::ContentType() const
{
    return QString::fromLatin1(Header("Content-Type")).toLower();
}

HttpResponseParser::LineStep HttpResponseParser::TakeLine(QByteArrayView& input, QByteArray& line,
                                                          qsizetype limit)
{
    const qsizetype newline = input.indexOf('\n');
    const qsizetype taken = newline < 0 ? input.size() : newline;
    if (m_line.size() + taken > limit)
        return LineStep::TooLong;
    m_line.append(input.first(taken));
    if (newline < 0) {
        input = QByteArrayView();
        return LineStep::NeedMore;
    }
    input = input.sliced(newline + 1);
    line = std::move(m_line);
    m_line = QByteArray();
    if (line.endsWith('\r'))
        line.chop(1);
    return LineStep::Line;
}

bool HttpResponseParser::StatusLine(const QByteArray& line)
{
    // HTTP-version SP status-code [SP reason-phrase]
    const bool versionOk = line.size() >= 12 && line.first(5).compare("HTTP/", Qt::CaseInsensitive) == 0 &&
                           IsDigit(line[5]) && line[6] == '.' && IsDigit(line[7]) && line[8] == ' ' &&
                           IsDigit(line[9]) && IsDigit(line[10]) && IsDigit(line[11]) &&
                           (line.size() == 12 || line[12] == ' ');
    if (!versionOk) {
        Fail(QStringLiteral("The server's answer is not HTTP (it begins with \"%1\").").arg(Printable(line)));
        return false;
    }
    m_status = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    m_reason = line.size() > 13 ? Trimmed(QByteArrayView(line).sliced(13)) : QByteArray();
    m_statusRead = true;
    return true;
}

bool HttpResponseParser::HeadLine(const QByteArray& line)
{
    if (!m_statusRead)
        return StatusLine(line);
    if (line.isEmpty())
        return EndOfHead();
    // A line that starts with a blank continues the previous field (obsolete folding).
    if (IsBlank(line[0])) {
        if (!m_headers.isEmpty())
            m_headers.last().second += ' ' + Trimmed(line);
        return true;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return true; // not a field: ignored
    m_headers.append(
        {Trimmed(QByteArrayView(line).first(colon)), Trimmed(QByteArrayView(line).sliced(colon + 1))});
    return true;
}

bool HttpResponseParser::EndOfHead()
{
    // Interim answers (100 Continue, 103 Early Hints) are followed by the real one.
    if (m_status >= 100 && m_status < 200 && m_status != 101) {
        m_statusRead = false;
        m_headers.clear();
        m_status = 0;
        m_reason.clear();
        return true;
    }
    m_headComplete = true;

    QList<QByteArray> codings;
    QList<qint64> lengths;
    for (const auto& [name, value] : m_headers) {
        if (name.compare("Transfer-Encoding", Qt::CaseInsensitive) == 0) {
            for (const QByteArray& coding : value.split(',')) {
                const QByteArray c = Trimmed(coding).toLower();
                if (!c.isEmpty() && c != "identity")
                    codings.append(c);
            }
        } else if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) {
            for (const QByteArray& part : value.split(',')) {
                const qint64 length = DecimalValue(Trimmed(part));
                if (length < 0) {
                    Fail(QStringLiteral("The server sent an invalid Content-Length (%1).")
                             .arg(Printable(value)));
                    return false;
                }
                lengths.append(length);
            }
        }
    }
    if (m_status == 101 || m_status == 204 || m_status == 304) {
        m_framing = Framing::None;
        m_state = State::Done;
        return true;
    }
    if (!codings.isEmpty()) {
        // Chunked is the only transfer coding this client decodes.
        if (codings != QList<QByteArray>{"chunked"}) {
            Fail(QStringLiteral("The server used a transfer coding this program cannot read (%1).")
                     .arg(Printable(codings.join(", "))));
            return false;
        }
        m_framing = Framing::Chunked;
        m_chunkStep = ChunkStep::Size;
    } else if (!lengths.isEmpty()) {
        for (qint64 length : lengths) {
            if (length != lengths.first()) {
                Fail(QStringLiteral("The server sent Content-Length values that differ."));
                return false;
            }
        }
        m_contentLength = lengths.first();
        if (m_contentLength > m_maxBody) {
            Fail(QStringLiteral("The picture is too large (%1 bytes; at most %2 are accepted).")
                     .arg(m_contentLength)
                     .arg(m_maxBody));
            return false;
        }
        m_framing = Framing::Length;
        m_remaining = m_contentLength;
    } else {
        m_framing = Framing::UntilClose;
    }
    m_state = m_framing == Framing::Length && m_remaining == 0 ? State::Done : State::Body;
    return true;
}

bool HttpResponseParser::WithinLimit(qint64 count)
{
    if (m_bodySize + count <= m_maxBody)
        return true;
    Fail(QStringLiteral("The picture is too large (more than %1 bytes).").arg(m_maxBody));
    return false;
}

bool HttpResponseParser::TakeCounted(QByteArrayView& input, const BodySink& sink)
{
    const qsizetype n = qsizetype(std::min<qint64>(m_remaining, input.size()));
    if (!AppendBody(input.first(n), sink))
        return false;
    input = input.sliced(n);
    m_remaining -= n;
    return m_remaining == 0;
}

bool HttpResponseParser::AppendBody(QByteArrayView bytes, const BodySink& sink)
{
    if (!WithinLimit(bytes.size()))
        return false;
    if (!bytes.isEmpty() && !sink(bytes)) {
        Fail(QStringLiteral("The picture could not be stored."));
        return false;
    }
    m_bodySize += bytes.size();
    return true;
}

void HttpResponseParser::FeedBody(QByteArrayView& input, const BodySink& sink)
{
    if (m_framing == Framing::UntilClose) {
        if (AppendBody(input, sink))
            input = QByteArrayView();
        return;
    }
    if (m_framing == Framing::Length) {
        if (TakeCounted(input, sink))
            m_state = State::Done;
        return;
    }
    FeedChunked(input, sink);
}

void HttpResponseParser::FeedChunked(QByteArrayView& input, const BodySink& sink)
{
    while (m_state == State::Body && !input.isEmpty()) {
        QByteArray line;
        switch (m_chunkStep) {
        case ChunkStep::Size: {
            const LineStep step = TakeLine(input, line, kMaxChunkLine);
            if (step == LineStep::TooLong)
                Fail(QStringLiteral(
                    "The server's chunked body is malformed (a chunk size line is too long)."));
            if (step != LineStep::Line)
                return;
            // chunk-size [; extensions]
            qsizetype i = 0;
            qint64 size = 0;
            while (i < line.size() && HexValue(line[i]) >= 0) {
                if (size > (std::numeric_limits<qint64>::max() >> 4)) {
                    Fail(QStringLiteral("The server sent a chunk size that is too large."));
                    return;
                }
                size = size * 16 + HexValue(line[i++]);
            }
            while (i < line.size() && IsBlank(line[i]))
                ++i;
            if (i == 0 || (i < line.size() && line[i] != ';')) {
                Fail(QStringLiteral("The server sent an invalid chunk size (%1).").arg(Printable(line)));
                return;
            }
            if (size > m_maxBody - m_bodySize) {
                Fail(QStringLiteral("The picture is too large (more than %1 bytes).").arg(m_maxBody));
                return;
            }
            m_remaining = size;
            m_chunkStep = size == 0 ? ChunkStep::Trailer : ChunkStep::Data;
            break;
        }
        case ChunkStep::Data: {
            if (TakeCounted(input, sink))
                m_chunkStep = ChunkStep::DataEnd;
            break;
        }
        case ChunkStep::DataEnd: {
            const LineStep step = TakeLine(input, line, 1);
            if (step == LineStep::NeedMore)
                return;
            if (step == LineStep::TooLong || !line.isEmpty()) {
                Fail(QStringLiteral("The server's chunked body is malformed."));
                return;
            }
            m_chunkStep = ChunkStep::Size;
            break;
        }
        case ChunkStep::Trailer: {
            // Trailer fields are read and dropped; an empty line ends the response.
            const LineStep step = TakeLine(input, line, kMaxHead);
            if (step == LineStep::TooLong)
                Fail(QStringLiteral("The server's trailer fields are too long."));
            if (step != LineStep::Line)
                return;
            if (line.isEmpty())
                m_state = State::Done;
            break;
        }
        }
    }
}

HttpResponseParser::State HttpResponseParser::Feed(QByteArrayView input, QByteArray& body)
{
    return Feed(input, [&body](QByteArrayView bytes) {
        body.append(bytes);
        return true;
    });
}

HttpResponseParser::State HttpResponseParser::Feed(QByteArrayView input, const BodySink& sink)
{
    if (!input.isEmpty())
        m_anyInput = true;
    while (m_state == State::Head && !input.isEmpty()) {
        QByteArray line;
        const LineStep step = TakeLine(input, line, kMaxHead - m_headSize);
        if (step == LineStep::TooLong)
            return Fail(
                QStringLiteral("The server's header is too long (more than %1 bytes).").arg(kMaxHead));
        if (step == LineStep::NeedMore)
            break;
        m_headSize += line.size() + 2;
        if (!HeadLine(line))
            return m_state;
    }
    if (m_state == State::Body && !input.isEmpty())
        FeedBody(input, sink);
    return m_state;
}

qint64 HttpResponseParser::PassThroughLimit() const
{
    if (m_state != State::Body)
        return 0;
    if (m_framing == Framing::Length)
        return m_remaining;
    if (m_framing == Framing::UntilClose)
        return m_maxBody - m_bodySize + 1;
    return 0;
}

HttpResponseParser::State HttpResponseParser::PassThrough(qint64 count)
{
    Q_ASSERT(count >= 0 && count <= PassThroughLimit());
    if (m_state != State::Body || !WithinLimit(count))
        return m_state;
    m_bodySize += count;
    if (m_framing == Framing::Length) {
        m_remaining -= count;
        if (m_remaining == 0)
            m_state = State::Done;
    }
    return m_state;
}

HttpResponseParser::State HttpResponseParser::Close()
{
    switch (m_state) {
    case State::Head:
        return Fail(m_anyInput
                        ? QStringLiteral("The connection closed before the server's answer was complete.")
                        : QStringLiteral("The server closed the connection without answering."));
    case State::Body:
        if (m_framing == Framing::UntilClose) {
            m_state = State::Done;
            return m_state;
        }
        if (m_framing == Framing::Length)
            return Fail(QStringLiteral("The picture was cut short (%1 of %2 bytes arrived).")
                            .arg(m_bodySize)
                            .arg(m_contentLength));
        return Fail(QStringLiteral("The picture was cut short (the chunked body did not end)."));
    case State::Done:
    case State::Failed:
        break;
    }
    return m_state;
}
