#pragma once

#include "app/Failure.h"

#include <QFile>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// How the downloads run; the defaults are the program's.
struct DownloadOptions
{
    QList<QSslCertificate> extraCaCertificates; // trusted besides the system's authorities (tests)
    int silenceLimitMs = 30000;                 // a slot that receives nothing for this long ends
    int deadlineMs = 120000; // a slot not finished after this long ends, however it trickles
    int maxRedirects = 5;
    qint64 maxBody = 32 * 1024 * 1024;
    bool systemProxy = true; // the system's proxies (http_proxy, https_proxy, no_proxy ...)
};

// One online slot's download through the batch's network access manager.
// Only a complete 2xx JPEG, GIF or PNG body is kept, streamed as it arrives
// into "lumivale.tmp" + n + "." + the type's subtype (lumivale.tmp3.png);
// everything else ends the slot with a reason.
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

    DownloadSlot(int index, const DownloadOptions& options, QObject* parent = nullptr);
    ~DownloadSlot() override;

    void Start(QNetworkAccessManager& manager, const QUrl& address, const QString& folder);
    // The slot cannot start: it is Failed with reason; emits nothing.
    void Refuse(const QString& reason);
    // Ends the download whatever its state (a picture not yet complete is
    // deleted, a stored one kept); emits nothing.
    void End();

    State CurrentState() const { return m_state; }
    bool Downloading() const { return m_state == State::Downloading; }
    // The stored picture (full path); empty when there is none.
    const QString& StoredFile() const { return m_storedFile; }
    const QString& Reason() const { return m_reason; }
    void DeleteStored();
    // Hands the stored picture over to the caller, who deletes it.
    QString TakeStored();

signals:
    void dataReceived(int slot);
    // The download ended by itself: the picture is stored, or it failed.
    void ended(int slot);

private:
    void OnMetaData();
    void OnReadyRead();
    void OnFinished();
    QString ErrorReason() const;
    // Ends the download: with the picture stored when reason is empty, else failed.
    void Finish(const QString& reason);
    void CloseReply();
    void DiscardFile();

    int m_index;
    const DownloadOptions& m_options;
    QString m_folder;
    State m_state = State::Idle;
    QString m_reason;
    QString m_storedFile;
    QPointer<QNetworkReply> m_reply;
    QStringList m_sslErrors;
    qint64 m_declared = -1; // Content-Length of the picture; -1 when none was given
    qint64 m_received = 0;
    QFile m_file;
    QTimer m_deadline;
};
