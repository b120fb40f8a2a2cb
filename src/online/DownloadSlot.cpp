#include "online/DownloadSlot.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <QSslError>
#include <utility>

DownloadSlot::DownloadSlot(int index, const DownloadOptions& options, QObject* parent)
    : QObject(parent), m_index(index), m_options(options)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        Finish(QStringLiteral("The download did not finish within %1 seconds.")
                   .arg(m_options.deadlineMs / 1000.0));
    });
}

DownloadSlot::~DownloadSlot()
{
    End();
}

void DownloadSlot::Start(QNetworkAccessManager& manager, const QUrl& address, const QString& folder)
{
    End();
    DeleteStored();
    m_reason.clear();
    m_sslErrors.clear();
    m_folder = folder;
    m_declared = -1;
    m_received = 0;
    m_state = State::Downloading;

    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(m_options.maxRedirects);
    request.setTransferTimeout(m_options.silenceLimitMs);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Lumivale/%1.%2.%3")
                                                            .arg(LUMIVALE_VERSION_MAJOR)
                                                            .arg(LUMIVALE_VERSION_MINOR)
                                                            .arg(LUMIVALE_VERSION_REVISION));
    request.setRawHeader("Accept", "image/*");
    // The bytes as the server holds them: a declared length then counts what is stored.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setRawHeader("Connection", "close");
    // Only a secure address (or one with extra authorities, whose redirects may be secure) loads the
    // TLS library and the system's certificates (tens of ms); a plain one's redirects get the defaults.
    if (address.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ||
        !m_options.extraCaCertificates.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
        tls.addCaCertificates(m_options.extraCaCertificates);
        request.setSslConfiguration(tls);
    }
    m_reply = manager.get(request);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &DownloadSlot::OnMetaData);
    connect(m_reply, &QNetworkReply::readyRead, this, &DownloadSlot::OnReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &DownloadSlot::OnFinished);
    connect(m_reply, &QNetworkReply::sslErrors, this, [this](const QList<QSslError>& errors) {
        for (const QSslError& e : errors)
            m_sslErrors << e.errorString();
    });
    m_deadline.start(m_options.deadlineMs);
}

void DownloadSlot::Refuse(const QString& reason)
{
    End();
    DeleteStored();
    m_state = State::Failed;
    m_reason = reason;
}

void DownloadSlot::End()
{
    m_deadline.stop();
    CloseReply();
    if (m_state == State::Downloading) {
        DiscardFile();
        m_state = State::Idle;
    }
}

void DownloadSlot::DeleteStored()
{
    if (const QString stored = TakeStored(); !stored.isEmpty())
        QFile::remove(stored);
}

QString DownloadSlot::TakeStored()
{
    if (m_state == State::Stored)
        m_state = State::Idle;
    return std::exchange(m_storedFile, QString());
}

void DownloadSlot::OnMetaData()
{
    if (!m_reply || m_state != State::Downloading || m_file.isOpen())
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // A redirect being followed: its own head and body are not the picture's.
    if (status >= 300 && status <= 399 && m_reply->hasRawHeader("Location"))
        return;
    if (status < 200 || status > 299) {
        const QString reason =
            m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().left(100);
        return Finish(QStringLiteral("The server answered %1%2.")
                          .arg(status)
                          .arg(reason.isEmpty() ? QString() : QLatin1Char(' ') + reason));
    }
    // Exactly one of the three picture types (no parameters); its subtype names the file.
    const QString type = QString::fromLatin1(m_reply->rawHeader("Content-Type")).trimmed().toLower();
    if (type != QLatin1String("image/jpeg") && type != QLatin1String("image/gif") &&
        type != QLatin1String("image/png"))
        return Finish(
            type.isEmpty()
                ? QStringLiteral("The server did not say what kind of file it sent.")
                : QStringLiteral("The address gave %1, not a JPEG, GIF or PNG picture.").arg(type.left(100)));
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    m_declared = length.isValid() ? length.toLongLong() : -1;
    if (m_declared > m_options.maxBody)
        return Finish(QStringLiteral("The picture is too large (%1 bytes; at most %2 are accepted).")
                          .arg(m_declared)
                          .arg(m_options.maxBody));
    if (!QDir().mkpath(m_folder))
        return Finish(QStringLiteral("The work folder %1 cannot be created.").arg(m_folder));
    const QString path =
        QDir(m_folder).filePath(QStringLiteral("lumivale.tmp%1.%2").arg(m_index).arg(type.mid(6)));
    // A leftover of an earlier run (or anything else by that name) goes; the new file is always a
    // fresh one, written unbuffered so that a failed write shows at once.
    QFile::remove(path);
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        Finish(QStringLiteral("The temporary file %1 cannot be created: %2").arg(path, m_file.errorString()));
}

void DownloadSlot::OnReadyRead()
{
    if (!m_reply || m_state != State::Downloading)
        return;
    emit dataReceived(m_index);
    const QByteArray bytes = m_reply->readAll();
    if (!m_file.isOpen())
        return; // a redirect's body
    m_received += bytes.size();
    if (m_received > m_options.maxBody)
        return Finish(
            QStringLiteral("The picture is too large (more than %1 bytes).").arg(m_options.maxBody));
    if (m_file.write(bytes) != bytes.size())
        Finish(QStringLiteral("The temporary file %1 could not be written: %2")
                   .arg(m_file.fileName(), m_file.errorString()));
}

void DownloadSlot::OnFinished()
{
    if (!m_reply || m_state != State::Downloading)
        return;
    OnReadyRead();
    if (m_state != State::Downloading)
        return;
    if (m_file.isOpen() && m_declared >= 0 && m_received < m_declared)
        return Finish(QStringLiteral("The picture was cut short (%1 of %2 bytes arrived).")
                          .arg(m_received)
                          .arg(m_declared));
    if (m_reply->error() != QNetworkReply::NoError)
        return Finish(ErrorReason());
    if (!m_file.isOpen())
        return Finish(QStringLiteral("The server sent no picture."));
    Finish(m_received == 0 ? QStringLiteral("The server sent an empty picture.") : QString());
}

QString DownloadSlot::ErrorReason() const
{
    const QString host = m_reply->request().url().host();
    switch (m_reply->error()) {
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("The host name %1 could not be resolved.").arg(host);
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("The connection to %1 was refused.").arg(host);
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: // the transfer timeout; the slot's own ends never get here
        return QStringLiteral("No data arrived for %1 seconds.").arg(m_options.silenceLimitMs / 1000.0);
    case QNetworkReply::TooManyRedirectsError:
        return QStringLiteral("The address redirected more than %1 times.").arg(m_options.maxRedirects);
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("The server redirected from a secure (https) address to a plain http one; that "
                              "is refused.");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("The secure connection to %1 failed: %2")
            .arg(host,
                 m_sslErrors.isEmpty() ? m_reply->errorString() : m_sslErrors.join(QStringLiteral("; ")));
    default:
        return QStringLiteral("The download from %1 failed: %2").arg(host, m_reply->errorString());
    }
}

void DownloadSlot::Finish(const QString& reason)
{
    if (m_state != State::Downloading)
        return;
    m_deadline.stop();
    CloseReply();
    if (reason.isEmpty()) {
        m_file.close();
        m_storedFile = m_file.fileName();
        m_state = State::Stored;
    } else {
        DiscardFile();
        m_state = State::Failed;
        m_reason = reason;
    }
    emit ended(m_index);
}

void DownloadSlot::CloseReply()
{
    QNetworkReply* reply = m_reply.data();
    if (!reply)
        return;
    m_reply.clear();
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void DownloadSlot::DiscardFile()
{
    if (m_file.isOpen()) {
        m_file.close();
        QFile::remove(m_file.fileName());
    }
}
