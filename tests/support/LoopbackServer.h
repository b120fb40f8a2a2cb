#pragma once

#include "TestTools.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QMutex>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QThread>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

// Lets events run until done() holds or timeoutMs pass; false on a time-out.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 15000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// What the server answers to one request target.
struct LoopbackReply
{
    QList<QByteArray> pieces; // written one after the other
    int pauseMs = 0;          // between two pieces
    bool close = true;        // close after the last piece; false: stay connected and silent
};

// A whole response: status line, fields and body in one piece.
inline LoopbackReply Answer(const QByteArray& status, const QList<QByteArray>& fields, const QByteArray& body)
{
    QByteArray head = "HTTP/1.1 " + status + "\r\n";
    for (const QByteArray& field : fields)
        head += field + "\r\n";
    return LoopbackReply{{head + "\r\n" + body}};
}

// A certificate and key made by openssl for the test's host names.
struct TestCertificate
{
    QSslCertificate certificate;
    QSslKey key;
};

inline std::optional<TestCertificate>
MakeCertificate(const QString& folder, const QString& name,
                const QString& altNames = QStringLiteral("DNS:localhost"))
{
    const QString key = QDir(folder).filePath(name + QStringLiteral(".key"));
    const QString cert = QDir(folder).filePath(name + QStringLiteral(".pem"));
    const ProcessResult made = RunTool(
        QStringLiteral("openssl"),
        {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
         QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
         QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert, QStringLiteral("-days"),
         QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=") + name,
         QStringLiteral("-addext"), QStringLiteral("subjectAltName=") + altNames});
    if (made.exitCode != 0)
        return std::nullopt;
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(cert);
    const QSslKey privateKey(ReadAll(key), QSsl::Ec);
    if (certificates.isEmpty() || privateKey.isNull())
        return std::nullopt;
    return TestCertificate{certificates.first(), privateKey};
}

// An HTTP server on 127.0.0.1 in a thread of its own (so that a test may also
// wait for a process): each request is answered with the reply set for its
// target (404 otherwise), piece by piece. With a certificate it speaks TLS.
class LoopbackServer
{
public:
    explicit LoopbackServer(std::optional<TestCertificate> tls = std::nullopt) : m_tls(std::move(tls))
    {
        m_context.moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                m_server = new Server(this);
                m_server->listen(QHostAddress::LocalHost);
                m_port = m_server->serverPort();
            },
            Qt::BlockingQueuedConnection);
    }
    ~LoopbackServer()
    {
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                delete m_server;
                m_context.moveToThread(QCoreApplication::instance()->thread());
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    quint16 Port() const { return m_port; }
    QString Url(const QString& target, const QString& host = QStringLiteral("127.0.0.1")) const
    {
        return QStringLiteral("%1://%2:%3%4").arg(m_tls ? "https" : "http", host).arg(m_port).arg(target);
    }
    void Set(const QByteArray& target, LoopbackReply reply)
    {
        QMutexLocker lock(&m_mutex);
        m_replies.insert(target, std::move(reply));
    }
    // The head of every request received, in order.
    QList<QByteArray> Requests() const
    {
        QMutexLocker lock(&m_mutex);
        return m_requests;
    }
    int Connections() const
    {
        QMutexLocker lock(&m_mutex);
        return m_connections;
    }

private:
    class Server : public QTcpServer
    {
    public:
        explicit Server(LoopbackServer* owner) : m_owner(owner) {}

    protected:
        void incomingConnection(qintptr descriptor) override
        {
            QTcpSocket* socket = m_owner->m_tls ? new QSslSocket(this) : new QTcpSocket(this);
            socket->setSocketDescriptor(descriptor);
            {
                QMutexLocker lock(&m_owner->m_mutex);
                ++m_owner->m_connections;
            }
            if (m_owner->m_tls) {
                auto* ssl = static_cast<QSslSocket*>(socket);
                ssl->setLocalCertificate(m_owner->m_tls->certificate);
                ssl->setPrivateKey(m_owner->m_tls->key);
                ssl->setPeerVerifyMode(QSslSocket::VerifyNone);
                ssl->startServerEncryption();
            }
            auto received = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
                const bool answered = received->contains("\r\n\r\n");
                received->append(socket->readAll());
                const qsizetype end = received->indexOf("\r\n\r\n");
                if (answered || end < 0)
                    return;
                const QByteArray head = received->first(end);
                const QList<QByteArray> words =
                    head.first(head.indexOf("\r\n") < 0 ? head.size() : head.indexOf("\r\n")).split(' ');
                const QByteArray target = words.size() > 1 ? words[1] : QByteArray();
                LoopbackReply reply = Answer("404 Not Found", {"Content-Length: 0"}, {});
                {
                    QMutexLocker lock(&m_owner->m_mutex);
                    m_owner->m_requests.append(head);
                    reply = m_owner->m_replies.value(target, reply);
                }
                Send(socket, std::make_shared<LoopbackReply>(std::move(reply)), 0);
            });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }

    private:
        static void Send(QTcpSocket* socket, std::shared_ptr<LoopbackReply> reply, int piece)
        {
            for (; piece < reply->pieces.size(); ++piece) {
                socket->write(reply->pieces[piece]);
                if (reply->pauseMs > 0 && piece + 1 < reply->pieces.size()) {
                    socket->flush();
                    QTimer::singleShot(reply->pauseMs, socket,
                                       [socket, reply, piece] { Send(socket, reply, piece + 1); });
                    return;
                }
            }
            if (reply->close)
                socket->disconnectFromHost();
        }

        LoopbackServer* m_owner;
    };

    std::optional<TestCertificate> m_tls;
    QThread m_thread;
    QObject m_context;
    Server* m_server = nullptr;
    quint16 m_port = 0;
    mutable QMutex m_mutex;
    QHash<QByteArray, LoopbackReply> m_replies;
    QList<QByteArray> m_requests;
    int m_connections = 0;
};
