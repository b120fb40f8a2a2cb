#pragma once

#include "app/BusyHost.h"
#include "app/Environment.h"
#include "app/SettingsStore.h"
#include "app/ui/FileDialogs.h"
#include "music/MusicSettings.h"
#include "music/SoundTargets.h"

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class GameSession;
class QCheckBox;
class QLineEdit;
class QPushButton;
class ThemedFrame;
class OggVorbisEncoder;
class SoundDecoder;

// The Music tab: the source sound file (or its folder for random picks), the
// game's music slots as three-state boxes (ticked: to be written; grey: written
// by the last save) and the save button.
class MusicTab : public QWidget
{
    Q_OBJECT
public:
    MusicTab(BusyHost& host, SettingsStore& store, const Environment& environment, GameSession& session,
             OpenFileFunction openFile, QWidget* parent = nullptr);
    ~MusicTab() override;

    void ShowSettings(const MusicSettings& settings);
    MusicSettings Settings() const;
    void SetOpenFileFunction(const OpenFileFunction& openFile) { m_openFile = openFile; }

    // sndBrowse: readies the decoder and encoder, asks for a file and probes it.
    void Browse();
    // sndSave: converts the source and writes every ticked target.
    void Save();
    // sndRestore: gives every ticked target the game's own tracks back.
    void Restore();
    // The enabling rule of sndSave: a source and at least one ticked target.
    bool CanSave() const;
    // The enabling rule of sndRestore: at least one ticked target.
    bool CanRestore() const;
    // The check box of a target (in the order of the target table) and its value.
    QCheckBox* TargetBox(int target) const;
    TargetState State(int target) const;
    void SetState(int target, TargetState state);
    // The full path of the file chosen last through sndBrowse.
    const QString& FileTag() const { return m_fileTag; }

signals:
    // The source or a target changed: the save and restore buttons follow.
    void enabledStateChanged();

private:
    bool MakeReady();
    void OnFolderClicked();

    BusyHost& m_host;
    SettingsStore& m_store;
    const Environment& m_environment;
    GameSession& m_session;
    OpenFileFunction m_openFile;
    std::unique_ptr<SoundDecoder> m_decoder;
    std::unique_ptr<OggVorbisEncoder> m_encoder;
    bool m_ready = false;
    QString m_fileTag;

    // The controls; each carries its control name as its object name.
    ThemedFrame* sndFrame;
    QLineEdit* sndFile;
    QPushButton* sndBrowse;
    QCheckBox* sndFolder;
    ThemedFrame* boomBoxFrame;
    std::array<QCheckBox*, kBoomBoxCount> sndBoomBox{};
    ThemedFrame* loginFrame;
    QCheckBox* sndHeroLogin;
    QCheckBox* sndVillainLogin;
    QCheckBox* sndPraetorianLogin;
    ThemedFrame* pocketDFrame;
    QCheckBox* sndDanceFloor;
    QCheckBox* sndBlueSide;
    QCheckBox* sndRedSide;
    QPushButton* sndSave;
    QPushButton* sndRestore;
};
