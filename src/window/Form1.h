#pragma once

#include "app/SettingsStore.h"
#include "app/WinePrefix.h"
#include "app/ui/FileDialogs.h"

#include <QWidget>
#include <functional>
#include <memory>

class CreditsTab;
class MusicTab;
class OnlineTab;
class QPushButton;
class QTabWidget;
class QTimer;
class RandomizerTab;
class ScreensTab;
class SettingsTab;
class WidgetBusyHost;
class XPProgressBar;

// The main window: seven tabs, the progress bar and the Close/Cancel button.
// It owns every tab and the busy protocol, loads the settings at start and
// saves them when it closes.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    using Clock = std::function<double()>;
    enum class StartResult
    {
        Interactive,       // show the window and wait for the user
        RandomizerDone,    // the randomizer run has ended; the process ends now
        RandomizerWaiting, // downloads run; the process lives until they end or go silent
    };

    Form1(SettingsStore& store, WinePrefix prefix, QWidget* parent = nullptr);
    ~Form1() override;

    // The once-only start-up sequence; argumentsAfterProgram is the command line without the program.
    StartResult Startup(const QStringList& argumentsAfterProgram);
    bool RandomizerMode() const;
    WidgetBusyHost& Host() { return *m_host; }
    // Enables the save buttons that have what they need.
    void UpdateEnabledControls();

    // Test hooks: the time of day in seconds, and the open-file dialog.
    void SetClock(Clock clock);
    void SetOpenFileFunction(const OpenFileFunction& openFile);

    QTabWidget* SSTab1;
    XPProgressBar* XPProgressBar1;
    QPushButton* Quit;
    QTimer* rndTimeout;
    ScreensTab* screensTab;
    RandomizerTab* randomizerTab;
    MusicTab* musicTab;
    QWidget* texturesTab;
    OnlineTab* onlineTab;
    SettingsTab* settingsTab;
    CreditsTab* creditsTab;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void LoadInteractiveSettings();
    void SaveSettings();
    void OnQuitClicked();
    void OnRandomizerTick();
    // Starts the daily downloads of the online slots; true while any runs.
    bool StartDownloads();
    double Now() const { return m_clock(); }

    SettingsStore& m_store;
    WinePrefix m_prefix;
    Clock m_clock;
    std::unique_ptr<WidgetBusyHost> m_host;
    bool m_started = false;
    double m_lastActivityTime = 0;
};
