#include "window/RandomizerStart.h"

#include "app/GameSettings.h"
#include "app/Startup.h"
#include "online/DownloadBatch.h"
#include "online/OnlineApply.h"
#include "online/OnlineSettings.h"
#include "randomizer/RandomizerSettings.h"
#include "randomizer/RunRandomizer.h"
#include "texture/TextureSettings.h"
#include "texture/TextureWriter.h"

#include <QTimer>

RandomizerStart::RandomizerStart(SettingsStore& store, const Environment& environment,
                                 const WinePrefix& prefix, BusyHost& host, GameLauncher* launcher)
    : m_store(store), m_environment(environment), m_prefix(prefix), m_host(host), m_launcher(launcher)
{
}

RandomizerStart::~RandomizerStart() = default;

bool RandomizerStart::Run(const QStringList& argumentsAfterProgram)
{
    m_lastActivityTime = m_environment.elapsedMs();
    // Random backgrounds, then the game's launcher, which is never waited for.
    RandomizerRunRequest request;
    request.gameFolder = GameSettings::Load(m_store, m_prefix).cohPath;
    request.arguments = argumentsAfterProgram;
    request.noRepeat = RandomizerSettings::Load(m_store).randomNoRepeat;
    request.launcher = m_launcher;
    request.host = &m_host;
    const RandomizerRunOutcome outcome = RunRandomizer(m_environment, m_store, request);
    if (outcome.launchFailure)
        m_host.ShowFailure(*outcome.launchFailure);

    // Daily update: only a day without a finished update downloads.
    const bool updateDue = ReadLastOnlineUpdate(m_store) != TodayText(m_environment.Today());
    return updateDue && StartDownloads();
}

bool RandomizerStart::StartDownloads()
{
    m_batch = std::make_unique<DownloadBatch>(m_environment.workFolder, m_downloadOptions);
    QObject::connect(m_batch.get(), &DownloadBatch::dataReceived, m_batch.get(),
                     [this] { m_lastActivityTime = m_environment.elapsedMs(); });
    QObject::connect(m_batch.get(), &DownloadBatch::finished, m_batch.get(), [this] { ApplyBatch(); });
    for (const OnlineSlot& slot : OnlineSlots(OnlineSettings::Load(m_store)))
        m_batch->StartDownload(slot);
    if (!m_batch->AnyDownloading()) {
        m_batch.reset();
        return false;
    }
    m_silenceTimer = std::make_unique<QTimer>();
    m_silenceTimer->setInterval(1000);
    QObject::connect(m_silenceTimer.get(), &QTimer::timeout, m_silenceTimer.get(),
                     [this] { OnTimeoutTick(); });
    m_silenceTimer->start();
    return true;
}

void RandomizerStart::ApplyBatch()
{
    if (m_ended)
        return;
    m_silenceTimer->stop();
    // What the settings say now; failures are not shown in this mode.
    TextureWriter writer(
        m_host, TextureWriterOptions::From(m_environment, TextureSettings::Load(m_store).textureCompression));
    ApplyDownloads(m_host, writer, GameSettings::Load(m_store, m_prefix).cohPath,
                   OnlineSlots(OnlineSettings::Load(m_store)), m_batch->TakeStored());
    // A slot that failed (a refused connection, a silent server) is tried again at the next start.
    if (m_batch->EveryStartStored())
        WriteLastOnlineUpdate(m_store, TodayText(m_environment.Today()));
    End();
}

void RandomizerStart::OnTimeoutTick()
{
    if (m_ended || !RandomizerSilenceExpired(m_environment.elapsedMs(), m_lastActivityTime))
        return;
    // The update is tried again at the next start: the date stays as it was.
    m_batch->Abort();
    End();
}

void RandomizerStart::End()
{
    m_ended = true;
    m_silenceTimer->stop();
    if (m_onEnded)
        m_onEnded();
}
