#pragma once

#include "app/BusyHost.h"
#include "app/Environment.h"
#include "randomizer/Pools.h"
#include "randomizer/RandomizerSettings.h"
#include "texture/LoadingScreen.h"

#include <QWidget>

class GameSession;
class QCheckBox;
class QLineEdit;
class QPushButton;

// The Randomizer tab: the picture (or its folder) that the pools take, the two
// add buttons, the no-repeat switch and the game shortcut. The shared picture
// browse fills rndFile; the tab keeps the picture's full path. The game
// folder, frames, compression and the loaded picture come from the session.
class RandomizerTab : public QWidget
{
    Q_OBJECT
public:
    RandomizerTab(BusyHost& host, const Environment& environment, GameSession& session,
                  QWidget* parent = nullptr);

    // Shows the chosen picture: its path, or its folder while rndFolder is ticked.
    void SetChosenPicture(const QString& path);
    const QString& ChosenPicture() const { return m_chosenPicture; }
    void ShowSettings(const RandomizerSettings& settings);
    RandomizerSettings Settings() const;
    // An add button: the chosen picture, or every picture of its folder, into the screen's pool.
    void AddToPool(LoadingScreen screen);
    void CreateShortcut();
    // The add buttons are usable with a game folder and a chosen picture.
    void UpdateEnabled();

signals:
    // rndBrowse: the shared picture browse.
    void browseRequested();
    // A folder pass ended with this picture as its last: it becomes the picture of the Screens tab.
    void lastPictureOfPass(const QString& file);

private:
    PoolTarget Target(LoadingScreen screen) const;
    void OnFolderClicked();
    void AddFolder(LoadingScreen screen, QPushButton* button);

    BusyHost& m_host;
    const Environment& m_environment;
    GameSession& m_session;
    QString m_chosenPicture;

    // The controls; each carries its control name as its object name.
    QLineEdit* rndFile;
    QPushButton* rndBrowse;
    QCheckBox* rndFolder;
    QPushButton* rndSaveHL;
    QPushButton* rndSaveHC;
    QCheckBox* rndNoRepeat;
    QPushButton* rndShortcut;
};
