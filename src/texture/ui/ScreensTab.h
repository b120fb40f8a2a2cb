#pragma once

#include "app/Environment.h"
#include "app/ui/FileDialogs.h"
#include "image/ImageSettings.h"
#include "image/ScreenPictures.h"

#include <QWidget>

class BusyHost;
class GameSession;
class PreviewBox;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QScrollBar;
class SettingsStore;
class ThemedFrame;

// The Screens tab: source picture, preview with level adjustment, frame
// switches and the two loading-screen save buttons. The game folder, screen
// size, frame pictures and compression come from the session; the tab puts its
// frame switch and its picture there.
class ScreensTab : public QWidget
{
    Q_OBJECT
public:
    ScreensTab(BusyHost& host, SettingsStore& store, const Environment& environment, GameSession& session,
               OpenFileFunction openFile, QWidget* parent = nullptr);

    // The two frame switches; "Display frames in preview" is usable only with frames on.
    void ShowFrameSwitches(const FrameSettings& frames);
    // frames and framesPreview as the switches stand (the frame pictures are not this tab's).
    FrameSettings FrameSwitches() const;
    // A picture was chosen and loaded.
    bool HasPicture() const { return !m_pictureFile.isEmpty(); }

    // The shared picture browse (also the Randomizer tab's Browse button).
    void Browse();
    // Loads a picture as the source image with previews; false leaves everything as it was.
    bool LoadPicture(const QString& file);
    // Makes file the tab's picture as a browse does (load, framed previews,
    // scrImage, the shared Randomizer box); false leaves everything as it was.
    bool UsePicture(const QString& file);
    void SaveLoadingScreen(bool login);
    // The save buttons are usable with a game folder and a picture.
    void UpdateEnabled();
    // Opens the adjustment group (a click on the preview).
    void DisplayImageControls();
    void RebuildFramePreviews();
    void SetOpenFileFunction(OpenFileFunction openFile) { m_openFile = std::move(openFile); }

    ScreenPictures& Pictures() { return m_pictures; }

signals:
    // A picture was chosen through the browse and loaded.
    void pictureChosen(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowDisplayedPreview();
    void CloseAdjustment();
    void OnBlackChanged(int value);
    void OnWhiteChanged(int value);
    void OnApply();
    void OnReload();
    void OnCancel();
    void OnFramesClicked();
    void OnFramesPreviewClicked();

    BusyHost& m_host;
    SettingsStore& m_store;
    const Environment& m_environment;
    GameSession& m_session;
    OpenFileFunction m_openFile;
    ScreenPictures m_pictures;
    QString m_pictureFile; // the picture chosen last, as scrImage shows it

    // The controls; each carries its control name as its object name.
    QLineEdit* scrImage;
    QPushButton* scrBrowse;
    ThemedFrame* previewGroup;
    PreviewBox* scrPreview;
    ThemedFrame* adjFrame;
    QScrollBar* adjBlack;
    QScrollBar* adjWhite;
    QLineEdit* adjBlackDisplay;
    QLineEdit* adjWhiteDisplay;
    QPushButton* adjApply;
    QPushButton* adjRevert;
    QPushButton* adjCancel;
    QCheckBox* scrFrames;
    QCheckBox* scrFramesPreview;
    QPushButton* scrSaveHL;
    QPushButton* scrSaveHC;
};
