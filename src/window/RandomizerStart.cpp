#include "window/RandomizerStart.h"

#include "app/GameSettings.h"
#include "app/Startup.h"
#include "online/OnlineSettings.h"
#include "randomizer/RandomizerSettings.h"
#include "randomizer/RunRandomizer.h"

RandomizerStart::RandomizerStart(SettingsStore& store, const Environment& environment,
                                 const WinePrefix& prefix, BusyHost& host, GameLauncher* launcher)
    : m_store(store), m_environment(environment), m_prefix(prefix), m_host(host), m_launcher(launcher)
{
}

bool RandomizerStart::Run(const QStringList& argumentsAfterProgram)
{
    // Random backgrounds, then the game's launcher, which is never waited for.
    RandomizerRunRequest request;
    request.gameFolder = GameSettings::Load(m_store, m_prefix).cohPath;
    request.argumentText = ArgumentText(argumentsAfterProgram);
    request.noRepeat = RandomizerSettings::Load(m_store).randomNoRepeat;
    request.launcher = m_launcher;
    const RandomizerRunOutcome outcome = RunRandomizer(m_environment, m_store, request);
    if (outcome.launchFailure)
        m_host.ShowFailure(*outcome.launchFailure);

    // Daily update: only a day without a finished update downloads.
    const bool updateDue = ReadLastOnlineUpdate(m_store) != TodayText(m_environment.Today());
    return updateDue && StartDownloads();
}

bool RandomizerStart::StartDownloads()
{
    // The online slots have no downloader yet: nothing starts, so the run ends.
    return false;
}
