#pragma once

#include "app/GameDiscovery.h"
#include "app/GameSettings.h"
#include "app/WinePrefix.h"
#include "app/ui/FileDialogs.h"
#include "image/ImageSettings.h"
#include "texture/TextureSettings.h"

#include <QWidget>

class BusyHost;
class FoundGamesBox;
class GameSession;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ThemedFrame;

// The Settings tab: game location and screen size, the games found in the Wine
// prefixes and the Wine that starts them, the frame pictures and the texture
// compression switch. The tab moves values between its controls, the
// settings structs and the game-location logic, and keeps the session's copy
// of the values other tabs use up to date.
class SettingsTab : public QWidget
{
    Q_OBJECT
public:
    SettingsTab(BusyHost& host, GameSession& session, WinePrefix prefix, QString dataFolder,
                OpenFileFunction openFile, DiscoveryPlaces winePlaces, QWidget* parent = nullptr);

    // Fills the game-location controls; with autodetection on, runs its click behaviour.
    void ShowGame(const GameSettings& game);
    GameSettings Game() const;
    void ShowCompression(const TextureSettings& textures);
    TextureSettings Compression() const;
    // The two frame pictures (the switches are the Screens tab's).
    void ShowFramePictures(const FrameSettings& frames);

    // Applies the game client's registry key to the controls.
    void DetectGameSettings();
    // BrowseHL / BrowseHC: a 1024x768 picture becomes the frame of the target box.
    void BrowseFrame(QLineEdit* target);
    // The click behaviour of setAuto (its value has already changed).
    void OnAutoClicked();
    // The name of the game's key under Software\Cryptic that setCohRegKey stands for.
    const QString& GameKeyName() const { return m_gameKeyName; }
    void SetOpenFileFunction(OpenFileFunction openFile) { m_openFile = std::move(openFile); }

signals:
    // The game folder was chosen with the Browse button.
    void gameFolderChosen();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnBrowseClicked();
    void SetManualControlsEnabled(bool enabled);
    void UseFoundGame(const QString& folder);
    void PublishFramePictures();

    BusyHost& m_host;
    GameSession& m_session;
    WinePrefix m_prefix;
    QString m_dataFolder;
    OpenFileFunction m_openFile;
    QString m_gameKeyName = QStringLiteral("Coh");

    // The controls; each carries its control name as its object name.
    QLabel* setCohRegKey;
    QLineEdit* setCohPath;
    QPushButton* setBrowse;
    QLineEdit* setWidth;
    QLineEdit* setHeight;
    QCheckBox* setAuto;
    FoundGamesBox* foundGames;
    ThemedFrame* frameGroup;
    QLineEdit* FrameHL;
    QLineEdit* FrameHC;
    QPushButton* BrowseHL;
    QPushButton* BrowseHC;
    QCheckBox* setCompression;
};
