#pragma once

#include "app/Environment.h"
#include "app/SettingsStore.h"
#include "app/WinePrefix.h"
#include "app/ui/FileDialogs.h"
#include "image/ImageSettings.h"

#include <QWidget>
#include <memory>

class CreditsTab;
class GameSession;
class MusicTab;
class OnlineTab;
class QPushButton;
class QTabWidget;
class RandomizerTab;
class ScreensTab;
class SettingsTab;
class TexturesTab;
class WidgetBusyHost;
class ThemedProgressBar;

// The main window: seven tabs, the progress bar and the Close/Cancel button.
// It owns every tab, the busy protocol and the session the tabs share, puts
// the settings into the tabs at start and takes them back when it closes. The unattended randomizer run
// never makes one (main starts it instead).
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    MainWindow(SettingsStore& store, const Environment& environment, WinePrefix prefix,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // The once-only start-up sequence of the interactive mode.
    void Startup();
    WidgetBusyHost& Host() { return *m_host; }
    // Enables the save buttons that have what they need.
    void UpdateEnabledControls();

    // Test hook: the open-file dialog.
    void SetOpenFileFunction(const OpenFileFunction& openFile);

signals:
    // The Textures tab took the texture catalogue (entering it reloads the
    // catalogue): the Online tab's texture picker closes without storing a
    // pick.
    void textureCatalogueTaken();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The frame switches of the Screens tab with the session's frame pictures.
    FrameSettings Frames() const;
    void SaveSettings();
    void OnQuitClicked();
    qint64 Now() const { return m_environment.elapsedMs(); }

    SettingsStore& m_store;
    Environment m_environment;
    WinePrefix m_prefix;
    GameSession* m_session;
    std::unique_ptr<WidgetBusyHost> m_host;
    QTabWidget* tabs;
    ThemedProgressBar* progressBar;
    QPushButton* quitButton;
    ScreensTab* screensTab;
    RandomizerTab* randomizerTab;
    MusicTab* musicTab;
    TexturesTab* texturesTab;
    OnlineTab* onlineTab;
    SettingsTab* settingsTab;
    CreditsTab* creditsTab;
    bool m_started = false;
};
