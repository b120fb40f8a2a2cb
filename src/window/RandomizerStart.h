#pragma once

#include "app/BusyHost.h"
#include "app/Environment.h"
#include "app/SettingsStore.h"
#include "app/WinePrefix.h"
#include "online/DownloadSlot.h"
#include "randomizer/GameLauncher.h"

#include <QStringList>
#include <functional>
#include <memory>

class DownloadBatch;
class QTimer;

// The unattended run that "-randomizer" starts instead of the window: it
// installs random backgrounds from the pools and starts the game's launcher,
// then decides about the daily online update. It makes no widget; its
// messages go through the host (the update itself shows none). Nothing but
// the last pool picks and the date of a finished update is stored.
class RandomizerStart
{
public:
    // launcher: how the game's launcher starts (null: backgrounds only).
    RandomizerStart(SettingsStore& store, const Environment& environment, const WinePrefix& prefix,
                    BusyHost& host, GameLauncher* launcher);
    ~RandomizerStart();

    // The start sequence. False when the run is over and the process ends
    // now; true while downloads run: the process then lives until the batch
    // is applied (today's date recorded when every started slot stored its
    // picture) or 30 seconds pass without data (nothing recorded), and then
    // onEnded is called once.
    bool Run(const QStringList& argumentsAfterProgram);

    void SetEndCallback(std::function<void()> onEnded) { m_onEnded = std::move(onEnded); }
    void SetDownloadOptions(const DownloadOptions& options) { m_downloadOptions = options; }
    bool Ended() const { return m_ended; }

private:
    // Starts the daily downloads of the online slots; true while any runs.
    bool StartDownloads();
    void ApplyBatch();
    // rndTimeout: ends everything after more than 30 s without received data.
    void OnTimeoutTick();
    void End();

    SettingsStore& m_store;
    const Environment& m_environment;
    const WinePrefix& m_prefix;
    BusyHost& m_host;
    GameLauncher* m_launcher;
    DownloadOptions m_downloadOptions;
    std::unique_ptr<DownloadBatch> m_batch;
    std::unique_ptr<QTimer> m_silenceTimer; // "rndTimeout": once a second
    qint64 m_lastActivityTime = 0;          // milliseconds, monotonic
    std::function<void()> m_onEnded;
    bool m_ended = false;
};
