#pragma once

#include "app/BusyHost.h"
#include "app/Environment.h"
#include "app/SettingsStore.h"
#include "randomizer/GameLauncher.h"
#include "texture/LoadingScreen.h"

#include <QList>
#include <optional>

// What the randomizer start did for one loading screen.
struct ScreenInstall
{
    LoadingScreen screen = LoadingScreen::Login;
    bool poolFound = false;    // the screen's pool folder exists
    QString pick;              // the pool file picked; "" for an empty pool
    Result<QString> installed; // the game texture written, or why not (not shown to the user)
};

struct RandomizerRunOutcome
{
    QList<ScreenInstall> screens;
    // Why the launcher could not be started; nothing when it was (or was not asked for).
    std::optional<Failure> launchFailure;
};

struct RandomizerRunRequest
{
    QString gameFolder;
    QStringList arguments;            // the program's arguments after its name
    bool noRepeat = false;            // "Show every picture once before repeating"
    GameLauncher* launcher = nullptr; // null: install only
    BusyHost* host = nullptr;         // says so while another run writes to the game folder
};

// For the login screen, then the character selection screen: a screen whose
// pool folder exists gets a pool file picked (avoiding the last pick, or in
// no-repeat rounds) and wrapped into the game's background texture. Then the
// launcher starts with the forwarded arguments, never waited for. The picks
// and installs are one job under the game folder's lock (a second run started
// at once waits for it); a cancel of that wait installs nothing but still
// starts the launcher. Nothing is shown here: the caller shows the launch failure.
RandomizerRunOutcome RunRandomizer(const Environment& environment, SettingsStore& store,
                                   const RandomizerRunRequest& request);
