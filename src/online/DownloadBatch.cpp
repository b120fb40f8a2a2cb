#include "online/DownloadBatch.h"

#include "app/GameFileWriter.h"

#include <QNetworkProxyFactory>
#include <algorithm>

namespace {

// The system's proxy configuration for this manager only (the environment's
// http_proxy, https_proxy and no_proxy on Linux). The system's lookup loads a
// library (about 7 ms at its first use), so it is asked only when the
// environment names a proxy at all.
class SystemProxies : public QNetworkProxyFactory
{
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override
    {
        static const char* const kNames[] = {"http_proxy", "https_proxy", "all_proxy",
                                             "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"};
        if (std::none_of(std::begin(kNames), std::end(kNames),
                         [](const char* name) { return !qEnvironmentVariableIsEmpty(name); }))
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        return systemProxyForQuery(query);
    }
};

} // namespace

DownloadBatch::DownloadBatch(QString workFolder, DownloadOptions options, QObject* parent)
    : QObject(parent), m_workFolder(std::move(workFolder)), m_options(std::move(options))
{
    if (m_options.systemProxy)
        m_manager.setProxyFactory(new SystemProxies);
    else
        m_manager.setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    m_finish.setSingleShot(true);
    connect(&m_finish, &QTimer::timeout, this, [this] {
        if (!AnyDownloading())
            emit finished();
    });
    for (int i = 0; i < kOnlineSlots; ++i) {
        auto* slot = new DownloadSlot(i, m_options, this);
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

SlotStart DownloadBatch::StartDownload(const OnlineSlot& slot)
{
    if (!slot.inUse)
        return SlotStart::NotInUse;
    DownloadSlot& s = Slot(slot.index);
    if (!slot.address || !slot.texture) {
        s.Refuse(slot.address ? slot.texture.error().Reason() : slot.address.error().Reason());
        return SlotStart::Refused;
    }
    m_started[std::size_t(slot.index)] = true;
    m_stored[std::size_t(slot.index)] = false;
    m_pictures[std::size_t(slot.index)] = {QString(), QSize(slot.texture->width, slot.texture->height), {}};
    s.Start(m_manager, *slot.address, PictureFolder());
    return SlotStart::Started;
}

void DownloadBatch::Abort()
{
    m_finish.stop();
    m_started = {};
    m_stored = {};
    m_pictures = {};
    for (DownloadSlot* slot : m_slots) {
        slot->End();
        slot->DeleteStored();
    }
}

bool DownloadBatch::AnyDownloading() const
{
    return std::any_of(m_slots.begin(), m_slots.end(),
                       [](const DownloadSlot* s) { return s->Downloading(); });
}

bool DownloadBatch::EveryStartStored() const
{
    // Only a started slot is ever stored.
    return m_started != decltype(m_started){} && m_stored == m_started;
}

StoredPictures DownloadBatch::TakeStored()
{
    for (int i = 0; i < kOnlineSlots; ++i) {
        if (const QString file = Slot(i).TakeStored(); file != m_pictures[std::size_t(i)].file)
            m_pictures[std::size_t(i)] = {file, {}, {}};
    }
    return std::exchange(m_pictures, {});
}

void DownloadBatch::OnSlotEnded(int slot)
{
    m_stored[std::size_t(slot)] = Slot(slot).CurrentState() == DownloadSlot::State::Stored;
    // The picture loads while the other slots still download.
    if (m_stored[std::size_t(slot)])
        m_pictures[std::size_t(slot)] =
            StartPictureLoad(Slot(slot).StoredFile(), m_pictures[std::size_t(slot)].size);
    emit slotEnded(slot);
    // The batch's end runs from the event loop: the apply step that follows
    // lets events run and must not do so inside a reply's notification.
    if (!AnyDownloading())
        m_finish.start();
}
