#pragma once

#include "app/BusyHost.h"
#include "app/Environment.h"
#include "app/SettingsStore.h"
#include "app/WinePrefix.h"
#include "randomizer/GameLauncher.h"

#include <QStringList>

// The unattended run that "-randomizer" starts instead of the window: it
// installs random backgrounds from the pools and starts the game's launcher,
// then decides about the daily online update. It makes no widget; its
// messages go through the host. Nothing but the last pool picks and the date
// of a finished update is stored.
class RandomizerStart
{
public:
    // launcher: how the game's launcher starts (null: backgrounds only).
    RandomizerStart(SettingsStore& store, const Environment& environment, const WinePrefix& prefix,
                    BusyHost& host, GameLauncher* launcher);

    // The start sequence. False when the run is over and the process ends
    // now; true while downloads run (the process then lives until they end or
    // go silent).
    bool Run(const QStringList& argumentsAfterProgram);

private:
    // Starts the daily downloads of the online slots; true while any runs.
    bool StartDownloads();

    SettingsStore& m_store;
    const Environment& m_environment;
    const WinePrefix& m_prefix;
    BusyHost& m_host;
    GameLauncher* m_launcher;
};
