#include "window/RandomizerStart.h"

#include "app/Startup.h"
#include "online/OnlineSettings.h"

RandomizerStart::RandomizerStart(SettingsStore& store, const Environment& environment,
                                 const WinePrefix& prefix, BusyHost& host)
    : m_store(store), m_environment(environment), m_prefix(prefix), m_host(host)
{
}

bool RandomizerStart::Run(const QStringList& /*argumentsAfterProgram*/)
{
    // Daily update: only a day without a finished update downloads.
    const bool updateDue = ReadLastOnlineUpdate(m_store) != TodayText(m_environment.Today());
    return updateDue && StartDownloads();
}

bool RandomizerStart::StartDownloads()
{
    // The online slots have no downloader yet: nothing starts, so the run ends.
    return false;
}
