#include "online/DownloadSlot.h"

#include <QDir>
#include <QNetworkProxyFactory>
#include <QPromise>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QThreadPool>
#include <utility>
#ifdef __linux__
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Large reads: one notification drains what has arrived in few calls (1 MiB
// reads took a 30 MiB loopback body 13 % faster than 256 KiB ones).
constexpr qint64 kReadSize = 1024 * 1024;
// Plain sockets read straight from the system into the slot's buffer: no
// second buffer inside the socket to copy the body through.
constexpr QIODevice::OpenMode kPlainMode = QIODevice::ReadWrite | QIODevice::Unbuffered;
// The pipe a spliced body passes through: the default 64 KiB would take 16
// times the calls for what one notification brings.
constexpr int kPipeSize = 1024 * 1024;

QString SocketFailure(QAbstractSocket::SocketError error, const QString& host, const QString& systemText)
{
    switch (error) {
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("The host name %1 could not be resolved.").arg(host);
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("The connection to %1 was refused.").arg(host);
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("The connection to %1 timed out.").arg(host);
    case QAbstractSocket::ProxyConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionClosedError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
    case QAbstractSocket::ProxyNotFoundError:
    case QAbstractSocket::ProxyProtocolError:
    case QAbstractSocket::ProxyAuthenticationRequiredError:
        return QStringLiteral("The proxy failed: %1").arg(systemText);
    default:
        return QStringLiteral("The download from %1 failed: %2").arg(host, systemText);
    }
}

// Whether the environment names a proxy at all; only then is the system's
// lookup asked (it also reads no_proxy).
bool ProxyVariablesSet()
{
    for (const char* name :
         {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"}) {
        if (!qEnvironmentVariableIsEmpty(name))
            return true;
    }
    return false;
}

} // namespace

QString DownloadFileName(int slot, const QString& contentType)
{
    return QStringLiteral("lumivale.tmp%1.%2").arg(slot).arg(contentType.mid(6));
}

bool IsPictureType(const QString& contentType)
{
    return contentType == QLatin1String("image/jpeg") || contentType == QLatin1String("image/gif") ||
           contentType == QLatin1String("image/png");
}

DownloadSlot::DownloadSlot(int index, QString workFolder, DownloadOptions options, QObject* parent)
    : QObject(parent), m_index(index), m_workFolder(std::move(workFolder)), m_options(std::move(options))
{
    m_silence.setSingleShot(true);
    m_silence.setInterval(m_options.silenceLimitMs);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        Finish(QStringLiteral("No data arrived for %1 seconds.").arg(m_options.silenceLimitMs / 1000.0));
    });
    connect(&m_proxyLookup, &QFutureWatcher<QNetworkProxy>::finished, this, [this] {
        const QFuture<QNetworkProxy> future = m_proxyLookup.future();
        if (m_state == State::Downloading && !m_socket && m_lookupGeneration == m_generation &&
            future.isFinished() && future.resultCount() > 0)
            OpenSocket(future.result());
    });
}

DownloadSlot::~DownloadSlot()
{
    End();
}

Result<> DownloadSlot::Start(const QString& address)
{
    End();
    DeleteStored();
    m_reason.clear();
    const Result<HttpAddress> parsed = ParseHttpAddress(address);
    if (!parsed) {
        m_state = State::Failed;
        m_reason = parsed.error().Reason();
        return Fail(parsed.error());
    }
    m_state = State::Downloading;
    m_hops = 0;
    Connect(*parsed);
    return {};
}

void DownloadSlot::End()
{
    ++m_generation;
    m_silence.stop();
    CloseSocket();
    if (m_state == State::Downloading) {
        DiscardFile();
        m_state = State::Idle;
    }
}

void DownloadSlot::DeleteStored()
{
    if (!m_storedFile.isEmpty())
        QFile::remove(std::exchange(m_storedFile, QString()));
    if (m_state == State::Stored)
        m_state = State::Idle;
}

QString DownloadSlot::TakeStored()
{
    if (m_state == State::Stored)
        m_state = State::Idle;
    return std::exchange(m_storedFile, QString());
}

void DownloadSlot::Connect(const HttpAddress& address)
{
    CloseSocket();
    m_address = address;
    ++m_generation;
    m_silence.start();
    if (!m_options.systemProxy || !ProxyVariablesSet()) {
        OpenSocket(QNetworkProxy(QNetworkProxy::NoProxy));
        return;
    }
    // The system's proxy lookup loads a library and may fetch a configuration
    // script: it runs beside the window, never in its way.
    auto promise = std::make_shared<QPromise<QNetworkProxy>>();
    QFuture<QNetworkProxy> future = promise->future();
    m_lookupGeneration = m_generation;
    promise->start();
    QThreadPool::globalInstance()->start([promise, url = address.url] {
        const QList<QNetworkProxy> proxies =
            QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(url));
        promise->addResult(proxies.isEmpty() ? QNetworkProxy(QNetworkProxy::NoProxy) : proxies.first());
        promise->finish();
    });
    m_proxyLookup.setFuture(future);
}

void DownloadSlot::OpenSocket(const QNetworkProxy& proxy)
{
    const bool httpProxy = proxy.type() == QNetworkProxy::HttpProxy;
    const QNetworkProxy socketProxy =
        proxy.type() == QNetworkProxy::Socks5Proxy || (httpProxy && m_address.secure)
            ? proxy
            : QNetworkProxy(QNetworkProxy::NoProxy);
    m_parser.emplace(m_options.maxBody);
    m_headHandled = false;
    m_splicedBytes = 0;
    m_body.clear();
    m_writeError.clear();
    m_sslErrors.clear();
    m_viaProxy = false;
    m_proxyAuthorization.clear();

    if (m_address.secure) {
        if (!QSslSocket::supportsSsl()) {
            Finish(QStringLiteral("Secure (https) addresses cannot be downloaded: the system's TLS library "
                                  "is not available."));
            return;
        }
        auto* socket = new QSslSocket(this);
        QSslConfiguration configuration = socket->sslConfiguration();
        if (!m_options.extraCaCertificates.isEmpty())
            configuration.addCaCertificates(m_options.extraCaCertificates);
        configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
        socket->setSslConfiguration(configuration);
        connect(socket, &QSslSocket::encrypted, this, &DownloadSlot::SendRequest);
        connect(socket, &QSslSocket::sslErrors, this,
                [this](const QList<QSslError>& errors) { m_sslErrors = errors; });
        m_socket = socket;
    } else {
        m_socket = new QTcpSocket(this);
        connect(m_socket, &QTcpSocket::connected, this, &DownloadSlot::SendRequest);
    }
    m_socket->setProxy(socketProxy);
    connect(m_socket, &QTcpSocket::readyRead, this, &DownloadSlot::ReadAvailable);
    connect(m_socket, &QTcpSocket::disconnected, this, &DownloadSlot::OnClosed);
    connect(m_socket, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) { OnSocketError(int(error)); });

    if (m_address.secure) {
        // The certificate must be valid for the host name of the address.
        static_cast<QSslSocket*>(m_socket)->connectToHostEncrypted(m_address.host, m_address.port);
    } else if (httpProxy) {
        // A plain request goes to the proxy with the whole address in it.
        m_viaProxy = true;
        if (!proxy.user().isEmpty())
            m_proxyAuthorization =
                "Basic " + (proxy.user() + QLatin1Char(':') + proxy.password()).toUtf8().toBase64();
        m_socket->connectToHost(proxy.hostName(), proxy.port(), kPlainMode);
    } else {
        m_socket->connectToHost(m_address.host, m_address.port, kPlainMode);
    }
}

void DownloadSlot::SendRequest()
{
    if (!m_socket)
        return;
    m_silence.start();
    m_socket->write(BuildRequest(m_address, m_viaProxy, m_proxyAuthorization));
}

void DownloadSlot::ReadAvailable()
{
    if (!m_socket || m_state != State::Downloading)
        return;
    m_silence.start();
    emit dataReceived(m_index);
    if (m_readBuffer.size() < kReadSize)
        m_readBuffer.resize(kReadSize);
    // Body bytes go straight to the file once it is open; those that come
    // with the head wait until the head has been looked at.
    const HttpResponseParser::BodySink sink = [this](QByteArrayView bytes) {
        if (!m_file.isOpen()) {
            m_body.append(bytes);
            return true;
        }
        return WriteBody(bytes);
    };
    while (m_socket && m_state == State::Downloading) {
        // Spliced or not, every pass ends with the socket's own read: it
        // reports the end of the stream and failures, takes bytes that slipped
        // in after the splice, and re-arms the socket's read notification
        // (which stays off after a notification until the socket is read).
        if (m_pipe[0] >= 0 && !SpliceBody())
            return;
        const qint64 n = m_socket->read(m_readBuffer.data(), kReadSize);
        if (n == 0)
            return;
        if (n < 0) {
            // The end of the stream (an unbuffered socket reports the close here) or a failure.
            if (m_socket->error() == QAbstractSocket::RemoteHostClosedError)
                EndOfInput();
            else
                OnSocketError(int(m_socket->error()));
            return;
        }
        const HttpResponseParser::State state =
            m_parser->Feed(QByteArrayView(m_readBuffer.constData(), qsizetype(n)), sink);
        if (!m_headHandled && m_parser->HeadComplete()) {
            m_headHandled = true;
            if (!HandleHead())
                return;
            const bool written = WriteBody(m_body);
            m_body.clear();
            if (!written) {
                Finish(m_writeError);
                return;
            }
            StartSplice();
        }
        if (state == HttpResponseParser::State::Failed) {
            Finish(m_writeError.isEmpty() ? m_parser->Error() : m_writeError);
            return;
        }
        if (state == HttpResponseParser::State::Done) {
            Complete();
            return;
        }
    }
}

bool DownloadSlot::HandleHead()
{
    const int status = m_parser->StatusCode();
    if (IsRedirectStatus(status) && !m_parser->Header("Location").isEmpty()) {
        if (++m_hops > m_options.maxRedirects) {
            Finish(QStringLiteral("The address redirected more than %1 times.").arg(m_options.maxRedirects));
            return false;
        }
        const Result<HttpAddress> next = RedirectTarget(m_address, m_parser->Header("Location"));
        if (!next) {
            Finish(next.error().Reason());
            return false;
        }
        Connect(*next);
        return false;
    }
    if (status < 200 || status > 299) {
        const QString reason = QString::fromLatin1(m_parser->ReasonPhrase()).left(100);
        Finish(QStringLiteral("The server answered %1%2.")
                   .arg(status)
                   .arg(reason.isEmpty() ? QString() : QLatin1Char(' ') + reason));
        return false;
    }
    const QString type = m_parser->ContentType();
    if (!IsPictureType(type)) {
        Finish(
            type.isEmpty()
                ? QStringLiteral("The server did not say what kind of file it sent.")
                : QStringLiteral("The address gave %1, not a JPEG, GIF or PNG picture.").arg(type.left(100)));
        return false;
    }
    return OpenFile(type);
}

bool DownloadSlot::OpenFile(const QString& contentType)
{
    if (!QDir().mkpath(m_workFolder)) {
        Finish(QStringLiteral("The work folder %1 cannot be created.").arg(m_workFolder));
        return false;
    }
    const QString path = QDir(m_workFolder).filePath(DownloadFileName(m_index, contentType));
    // A leftover of an earlier run (or anything else by that name) goes; the
    // new file is always a fresh one.
    QFile::remove(path);
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        Finish(QStringLiteral("The temporary file %1 cannot be created: %2").arg(path, m_file.errorString()));
        return false;
    }
#ifdef __linux__
    // A declared length is reserved at once (cheaper than growing the file
    // write by write); a file system that cannot says so and is written as usual.
    if (m_parser->BodyFraming() == HttpResponseParser::Framing::Length && m_parser->ContentLength() > 0)
        ::fallocate(m_file.handle(), FALLOC_FL_KEEP_SIZE, 0, off_t(m_parser->ContentLength()));
#endif
    return true;
}

bool DownloadSlot::WriteBody(QByteArrayView bytes)
{
    if (bytes.isEmpty() || m_file.write(bytes.data(), bytes.size()) == bytes.size())
        return true;
    m_writeError = QStringLiteral("The temporary file %1 could not be written: %2")
                       .arg(m_file.fileName(), m_file.errorString());
    return false;
}

void DownloadSlot::StartSplice()
{
#ifdef __linux__
    // Only a plain connection made by the socket itself, whose body bytes are
    // the picture's bytes as they come: TLS must be decrypted and chunks
    // unframed by the program, and a proxy's connection is left to the
    // socket. Bytes the socket already holds in its own buffer (none, as it
    // is opened unbuffered) would be overtaken.
    if (!m_options.spliceBodies || m_address.secure || m_viaProxy ||
        m_socket->proxy().type() != QNetworkProxy::NoProxy || m_socket->socketDescriptor() < 0 ||
        m_socket->QIODevice::bytesAvailable() > 0 || m_parser->PassThroughLimit() == 0)
        return;
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_pipe[0] = m_pipe[1] = -1;
        return;
    }
    // A pipe that stays small only costs more calls.
    ::fcntl(m_pipe[1], F_SETPIPE_SZ, kPipeSize);
#endif
}

bool DownloadSlot::SpliceBody()
{
#ifdef __linux__
    // The bytes are copied once, from the socket's buffers into the file's
    // pages, instead of into the program and out again. The parser counts
    // them, so a declared length, a body cut short and the size limit hold
    // as for bytes read.
    const int socket = int(m_socket->socketDescriptor());
    for (;;) {
        const qint64 limit = std::min<qint64>(m_parser->PassThroughLimit(), kPipeSize);
        const ssize_t moved =
            ::splice(socket, nullptr, m_pipe[1], nullptr, size_t(limit), SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
        if (moved < 0 && errno == EINTR)
            continue;
        // Nothing more for now, or the end of the stream (a reset reads as
        // one, as the socket itself reports it): the socket's read follows.
        if (moved == 0 || (moved < 0 && (errno == EAGAIN || errno == ECONNRESET)))
            return true;
        if (moved < 0 && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
            // This socket cannot be spliced; nothing has left it yet.
            StopSplice();
            return true;
        }
        if (moved < 0) {
            Finish(
                SocketFailure(QAbstractSocket::UnknownSocketError, m_address.host, qt_error_string(errno)));
            return false;
        }
        if (!EmptyPipeIntoFile(moved)) {
            Finish(m_writeError);
            return false;
        }
        m_splicedBytes += moved;
        const HttpResponseParser::State state = m_parser->PassThrough(moved);
        if (state == HttpResponseParser::State::Failed) {
            Finish(m_parser->Error());
            return false;
        }
        if (state == HttpResponseParser::State::Done) {
            Complete();
            return false;
        }
        if (m_pipe[0] < 0)
            return true;
    }
#else
    return true;
#endif
}

bool DownloadSlot::EmptyPipeIntoFile(qint64 count)
{
#ifdef __linux__
    while (count > 0) {
        const ssize_t moved = ::splice(m_pipe[0], nullptr, m_file.handle(), nullptr, size_t(count),
                                       SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
        if (moved > 0) {
            count -= moved;
            continue;
        }
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved < 0 && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
            // A file system that takes no splice: what is in the pipe is
            // written the usual way, and the rest of the body is read.
            while (count > 0) {
                const ssize_t n =
                    ::read(m_pipe[0], m_readBuffer.data(), size_t(std::min<qint64>(count, kReadSize)));
                if (n <= 0 || !WriteBody(QByteArrayView(m_readBuffer.constData(), n)))
                    break;
                count -= n;
            }
            StopSplice();
            if (count == 0)
                return true;
            if (m_writeError.isEmpty())
                m_writeError =
                    QStringLiteral("The temporary file %1 could not be written.").arg(m_file.fileName());
            return false;
        }
        m_writeError = QStringLiteral("The temporary file %1 could not be written: %2")
                           .arg(m_file.fileName(), qt_error_string(moved < 0 ? errno : EIO));
        return false;
    }
#endif
    Q_UNUSED(count);
    return true;
}

void DownloadSlot::StopSplice()
{
#ifdef __linux__
    for (int& end : m_pipe) {
        if (end >= 0)
            ::close(std::exchange(end, -1));
    }
#endif
}

void DownloadSlot::OnClosed()
{
    if (!m_socket || m_state != State::Downloading)
        return;
    // What arrived before the close is read first.
    ReadAvailable();
    EndOfInput();
}

void DownloadSlot::EndOfInput()
{
    if (!m_socket || m_state != State::Downloading)
        return;
    if (m_parser->Close() == HttpResponseParser::State::Done && m_headHandled)
        Complete();
    else
        Finish(m_parser->Error());
}

void DownloadSlot::OnSocketError(int error)
{
    if (!m_socket || m_state != State::Downloading)
        return;
    const auto socketError = QAbstractSocket::SocketError(error);
    if (socketError == QAbstractSocket::RemoteHostClosedError) {
        OnClosed();
        return;
    }
    const QString host = m_address.host;
    if (socketError == QAbstractSocket::SslHandshakeFailedError) {
        QStringList reasons;
        for (const QSslError& e : std::as_const(m_sslErrors))
            reasons << e.errorString();
        Finish(
            QStringLiteral("The secure connection to %1 failed: %2")
                .arg(host, reasons.isEmpty() ? m_socket->errorString() : reasons.join(QStringLiteral("; "))));
        return;
    }
    Finish(SocketFailure(socketError, host, m_socket->errorString()));
}

void DownloadSlot::Complete()
{
    m_silence.stop();
    CloseSocket();
    if (!m_file.isOpen()) {
        Finish(QStringLiteral("The server sent no picture."));
        return;
    }
    const qint64 size = m_file.size();
    const bool flushed = m_file.flush();
    m_file.close();
    if (!flushed || m_file.error() != QFileDevice::NoError) {
        Finish(QStringLiteral("The temporary file %1 could not be written: %2")
                   .arg(m_file.fileName(), m_file.errorString()));
        return;
    }
    if (size == 0) {
        Finish(QStringLiteral("The server sent an empty picture."));
        return;
    }
    m_storedFile = m_file.fileName();
    m_state = State::Stored;
    emit ended(m_index);
}

void DownloadSlot::Finish(const QString& reason)
{
    if (m_state != State::Downloading)
        return;
    m_silence.stop();
    CloseSocket();
    DiscardFile();
    m_state = State::Failed;
    m_reason = reason;
    emit ended(m_index);
}

void DownloadSlot::CloseSocket()
{
    StopSplice();
    if (!m_socket)
        return;
    QTcpSocket* socket = std::exchange(m_socket, nullptr);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void DownloadSlot::DiscardFile()
{
    if (m_file.isOpen()) {
        m_file.close();
        QFile::remove(m_file.fileName());
    }
}
