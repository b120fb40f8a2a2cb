#pragma once

#include "app/Failure.h"
#include "online/HttpRequest.h"
#include "online/HttpResponseParser.h"

#include <QByteArray>
#include <QFile>
#include <QFutureWatcher>
#include <QList>
#include <QNetworkProxy>
#include <QObject>
#include <QSslCertificate>
#include <QSslError>
#include <QTimer>
#include <memory>
#include <optional>

class QTcpSocket;

// How the downloads run; the defaults are the program's.
struct DownloadOptions
{
    // Trusted besides the system's certificate authorities (tests).
    QList<QSslCertificate> extraCaCertificates;
    // A slot that receives nothing for this long ends.
    int silenceLimitMs = 30000;
    int maxRedirects = 5;
    qint64 maxBody = HttpResponseParser::kMaxBody;
    // Proxies from the environment (http_proxy, https_proxy, all_proxy,
    // no_proxy), as the system's proxy lookup reads them.
    bool systemProxy = true;
    // Linux: the body of a plain response goes from the socket into the
    // temporary file inside the system (splice), without passing through the
    // program. Off: every byte is read and then written (for comparison).
    bool spliceBodies = true;
};

// The temporary file of slot n for a picture type: "lumivale.tmp" + n + "." +
// the type from its seventh character on ("image/png" -> lumivale.tmp3.png).
QString DownloadFileName(int slot, const QString& contentType);
// Whether a Content-Type value is one of the stored picture types
// (exactly image/jpeg, image/gif or image/png once lowercased).
bool IsPictureType(const QString& contentType);

// One online slot's download, on the thread that made it, driven by its
// socket's signals: plain TCP for http, TLS for https (the system's
// certificate authorities, the host name checked). Name look-ups run in the
// background. Redirects are followed; only a complete 2xx JPEG, GIF or PNG
// body is kept, in the work folder; everything else ends the slot with a
// reason.
class DownloadSlot : public QObject
{
    Q_OBJECT
public:
    enum class State
    {
        Idle,        // never started, or ended from outside
        Downloading, // started and not yet ended
        Stored,      // ended with the picture in StoredFile()
        Failed,      // ended without a picture; Reason() says why
    };

    // folder: where the picture is stored.
    DownloadSlot(int index, QString folder, DownloadOptions options, QObject* parent = nullptr);
    ~DownloadSlot() override;

    void SetFolder(const QString& folder) { m_workFolder = folder; }

    // Begins the download of address. A refused address starts nothing: the
    // slot is Failed and the failure's reason says why.
    Result<> Start(const QString& address);
    // Ends the download whatever its state; a picture not yet complete is
    // deleted, a stored one is kept. Emits nothing.
    void End();

    int Index() const { return m_index; }
    State CurrentState() const { return m_state; }
    bool Downloading() const { return m_state == State::Downloading; }
    // The stored picture (full path); empty when there is none.
    const QString& StoredFile() const { return m_storedFile; }
    const QString& Reason() const { return m_reason; }
    // Body bytes of the current or last download that went from the socket
    // to the file without passing through the program.
    qint64 SplicedBytes() const { return m_splicedBytes; }
    // Deletes the stored picture, if any.
    void DeleteStored();
    // Hands the stored picture over to the caller, who deletes it.
    QString TakeStored();

signals:
    // Data arrived for this slot.
    void dataReceived(int slot);
    // The download ended by itself: the picture is stored, or it failed.
    void ended(int slot);

private:
    void Connect(const HttpAddress& address);
    void OpenSocket(const QNetworkProxy& proxy);
    void SendRequest();
    void ReadAvailable();
    void OnClosed();
    // The server closed the connection: the response ends here.
    void EndOfInput();
    void OnSocketError(int error);
    // The status line and header fields are in: follow, refuse, or open the file.
    bool HandleHead();
    bool OpenFile(const QString& contentType);
    bool WriteBody(QByteArrayView bytes);
    void StartSplice();
    bool SpliceBody();
    bool EmptyPipeIntoFile(qint64 count);
    void StopSplice();
    void Complete();
    void Finish(const QString& reason);
    void CloseSocket();
    void DiscardFile();

    int m_index;
    QString m_workFolder;
    DownloadOptions m_options;
    State m_state = State::Idle;
    QString m_reason;
    QString m_storedFile;

    HttpAddress m_address;
    int m_hops = 0;
    bool m_viaProxy = false;
    QByteArray m_proxyAuthorization;
    quint64 m_generation = 0; // drops proxy answers of an earlier connection
    quint64 m_lookupGeneration = 0;
    QTcpSocket* m_socket = nullptr;
    QList<QSslError> m_sslErrors;
    std::optional<HttpResponseParser> m_parser;
    bool m_headHandled = false;
    QByteArray m_readBuffer;
    QByteArray m_body; // body bytes that came with the head
    QString m_writeError;
    QFile m_file;
    // Between socket and file while the body is spliced; -1 when not.
    int m_pipe[2] = {-1, -1};
    qint64 m_splicedBytes = 0;
    QTimer m_silence;
    QFutureWatcher<QNetworkProxy> m_proxyLookup;
};
