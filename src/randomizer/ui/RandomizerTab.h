#pragma once

#include "app/BusyHost.h"
#include "app/Environment.h"
#include "image/PixelBuffer.h"
#include "randomizer/RandomizerSettings.h"
#include "texture/LoadingScreen.h"

#include <QWidget>
#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;

// What the Randomizer tab reads from the rest of the window.
struct RandomizerContext
{
    std::function<QString()> gameFolder;
    std::function<bool()> frames;                // "Overlay image frames"
    std::function<QString(LoadingScreen)> frame; // the screen's frame picture
    std::function<bool()> compress;
    std::function<PixelBufferPtr()> sourceImage; // the picture as it was loaded when chosen
    // Makes a picture the Screens tab's picture after a folder pass.
    std::function<void(const QString&)> usePicture;
    std::function<QString()> wineProgram; // "Wine program"; "" or unset = the prefix's own Wine
};

// The Randomizer tab: the picture (or its folder) that the pools take, the two
// add buttons, the no-repeat switch and the game shortcut. The shared picture
// browse fills rndFile; the tab keeps the picture's full path.
class RandomizerTab : public QWidget
{
    Q_OBJECT
public:
    RandomizerTab(BusyHost& host, const Environment& environment, RandomizerContext context,
                  QWidget* parent = nullptr);

    // Shows the chosen picture: its path, or its folder while rndFolder is ticked.
    void SetChosenPicture(const QString& path);
    const QString& ChosenPicture() const { return m_chosenPicture; }
    void ShowSettings(const RandomizerSettings& settings);
    RandomizerSettings Settings() const;
    // An add button: the chosen picture, or every picture of its folder, into the screen's pool.
    void AddToPool(LoadingScreen screen);
    void CreateShortcut();

    QLineEdit* rndFile;
    QPushButton* rndBrowse;
    QCheckBox* rndFolder;
    QPushButton* rndSaveHL;
    QPushButton* rndSaveHC;
    QCheckBox* rndNoRepeat;
    QPushButton* rndShortcut;

private:
    void OnFolderClicked();
    void AddFolder(LoadingScreen screen, QPushButton* button);

    BusyHost& m_host;
    const Environment& m_environment;
    RandomizerContext m_context;
    QString m_chosenPicture;
};
