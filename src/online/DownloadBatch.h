#pragma once

#include "online/DownloadSlot.h"
#include "online/OnlineApply.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <array>
#include <memory>

class PrivateWorkFolder;

// How the start of one slot went.
enum class SlotStart
{
    NotInUse, // no texture or no address: nothing to do
    Refused,  // the address or the texture cannot be used; the slot's Reason() says why
    Started,
};

// The five download slots of the online textures, over one network access
// manager (redirects no less safe than their start, certificates checked
// against the system's store, the system's proxies). A batch is the set of
// slots started together; when the last of them ends, in any way, finished()
// follows (from the event loop, never inside a reply's notification). The
// pictures live in a folder of the batch's own inside the work folder, so a
// window and an unattended run never share them; whatever is not taken is
// deleted with the batch.
class DownloadBatch : public QObject
{
    Q_OBJECT
public:
    explicit DownloadBatch(QString workFolder, DownloadOptions options = {}, QObject* parent = nullptr);
    ~DownloadBatch() override;

    // Starts the slot when it has both a texture and an address and both are valid.
    SlotStart StartDownload(const OnlineSlot& slot);
    // Ends every slot and deletes the pictures stored so far; no finished() follows.
    void Abort();
    bool AnyDownloading() const;
    // At least one slot was started since the last Abort(), and every one of them stored its picture
    // (whether or not it was taken since).
    bool EveryStartStored() const;

    DownloadSlot& Slot(int slot) { return *m_slots[std::size_t(slot)]; }
    const DownloadSlot& Slot(int slot) const { return *m_slots[std::size_t(slot)]; }
    // The stored pictures by slot (empty where there is none), each loading since its download
    // ended; the caller now owns the files.
    StoredPictures TakeStored();

signals:
    void slotEnded(int slot);
    void dataReceived(int slot);
    // The last running slot of the batch ended.
    void finished();

private:
    void OnSlotEnded(int slot);
    // The folder the pictures go to, made on first use.
    QString PictureFolder();

    QString m_workFolder;
    DownloadOptions m_options;
    QNetworkAccessManager m_manager;
    std::unique_ptr<PrivateWorkFolder> m_folder;
    std::array<DownloadSlot*, kOnlineSlots> m_slots{};
    // Since the last Abort(): slots started, and those whose last download ended with its picture.
    std::array<bool, kOnlineSlots> m_started{};
    std::array<bool, kOnlineSlots> m_stored{};
    StoredPictures m_pictures; // from the start of a download, the size its picture loads at
    QTimer m_finish;           // finished() from the event loop, once the last slot ended
};
