#include "online/DownloadBatch.h"

#include "app/GameFileWriter.h"

DownloadBatch::DownloadBatch(QString workFolder, DownloadOptions options, QObject* parent)
    : QObject(parent), m_workFolder(std::move(workFolder))
{
    for (int i = 0; i < kOnlineSlots; ++i) {
        auto* slot = new DownloadSlot(i, m_workFolder, options, this);
        m_slots[std::size_t(i)] = slot;
        connect(slot, &DownloadSlot::ended, this, &DownloadBatch::OnSlotEnded);
        connect(slot, &DownloadSlot::dataReceived, this, &DownloadBatch::dataReceived);
    }
}

DownloadBatch::~DownloadBatch()
{
    Abort();
}

QString DownloadBatch::PictureFolder()
{
    if (!m_folder)
        m_folder = std::make_unique<PrivateWorkFolder>(m_workFolder);
    // Without a folder of its own the work folder serves (a failure to write there is reported by the slot).
    return m_folder->IsValid() ? m_folder->Path() : m_workFolder;
}

SlotStart DownloadBatch::StartDownload(int slot, const QString& textureName, const QString& address)
{
    if (textureName.trimmed().isEmpty() || address.trimmed().isEmpty())
        return SlotStart::NotInUse;
    DownloadSlot& s = Slot(slot);
    s.SetFolder(PictureFolder());
    if (!s.Start(address))
        return SlotStart::Refused;
    return SlotStart::Started;
}

void DownloadBatch::EndDownload(int slot)
{
    Slot(slot).End();
}

void DownloadBatch::Abort()
{
    ++m_batch;
    m_finishQueued = false;
    for (DownloadSlot* slot : m_slots) {
        slot->End();
        slot->DeleteStored();
    }
}

bool DownloadBatch::AnyDownloading() const
{
    for (const DownloadSlot* slot : m_slots) {
        if (slot->Downloading())
            return true;
    }
    return false;
}

std::array<QString, kOnlineSlots> DownloadBatch::TakeStored()
{
    std::array<QString, kOnlineSlots> stored;
    for (int i = 0; i < kOnlineSlots; ++i)
        stored[std::size_t(i)] = Slot(i).TakeStored();
    return stored;
}

void DownloadBatch::OnSlotEnded(int slot)
{
    emit slotEnded(slot);
    if (AnyDownloading() || m_finishQueued)
        return;
    // The batch's end runs from the event loop: the apply step that follows
    // lets events run and must not do so inside a socket's notification.
    m_finishQueued = true;
    const quint64 batch = m_batch;
    QMetaObject::invokeMethod(
        this,
        [this, batch] {
            if (batch != m_batch)
                return;
            m_finishQueued = false;
            if (!AnyDownloading())
                emit finished();
        },
        Qt::QueuedConnection);
}
