#pragma once

#include "app/WinePrefix.h"
#include "app/ui/FileDialogs.h"

#include <QWidget>

class BusyHost;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class XPFrame;

// The Settings tab: game location and screen size, the frame pictures and the
// texture compression switch. The tab only moves values between its controls
// and the game-location logic; loading and saving them is the window's job.
class SettingsTab : public QWidget
{
    Q_OBJECT
public:
    SettingsTab(BusyHost& host, WinePrefix prefix, OpenFileFunction openFile, QWidget* parent = nullptr);

    // Applies the game client's registry key to the controls.
    void DetectGameSettings();
    // BrowseHL / BrowseHC: a 1024x768 picture becomes the frame of the target box.
    void BrowseFrame(QLineEdit* target);
    // The click behaviour of setAuto (its value has already changed).
    void OnAutoClicked();
    // The name of the game's key under Software\Cryptic (the tag of setCohRegKey).
    QString GameKeyName() const;
    void SetGameKeyName(const QString& name);
    void SetOpenFileFunction(OpenFileFunction openFile) { m_openFile = std::move(openFile); }

    QLabel* setCohRegKey;
    QLineEdit* setCohPath;
    QPushButton* setBrowse;
    QLineEdit* setWidth;
    QLineEdit* setHeight;
    QCheckBox* setAuto;
    XPFrame* frameGroup;
    QLineEdit* FrameHL;
    QLineEdit* FrameHC;
    QPushButton* BrowseHL;
    QPushButton* BrowseHC;
    QCheckBox* setCompression;

signals:
    // The game folder was chosen with the Browse button.
    void gameFolderChosen();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnBrowseClicked();
    void SetManualControlsEnabled(bool enabled);

    BusyHost& m_host;
    WinePrefix m_prefix;
    OpenFileFunction m_openFile;
};
