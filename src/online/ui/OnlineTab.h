#pragma once

#include "app/BusyHost.h"
#include "app/Environment.h"
#include "app/SettingsStore.h"
#include "app/ui/FileDialogs.h"
#include "online/DownloadSlot.h"
#include "online/OnlineSettings.h"

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class CatalogueLists;
class DownloadBatch;
class GameSession;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ThemedFrame;

// The Online tab: five slots, each a picture address and the catalogue
// texture it feeds; the texture picker; download and apply now (or abort),
// export to a registry file and import one. Picks are stored at once; the
// addresses when the window closes. Downloads run beside the window; when the
// last one ends the pictures are applied in a busy state.
class OnlineTab : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kSlots = kOnlineSlots;

    OnlineTab(BusyHost& host, SettingsStore& store, const Environment& environment, GameSession& session,
              QWidget* parent = nullptr);
    ~OnlineTab() override;

    // Shows the slots' texture names and addresses.
    void ShowSettings(const OnlineSettings& settings);
    // The slots as loaded, with the addresses as they stand in the boxes.
    OnlineSettings Settings() const;

    // webPick(n): opens the picker on the catalogue's first category for slot n.
    void Pick(int slot);
    // Hides the picker and enables the slots again; nothing is stored.
    void CloseTexturePicker();
    // webDownload: starts the slots that have a texture and an address, or aborts the running ones.
    void DownloadOrAbort();
    bool Downloading() const;
    // The save dialog of the export and the open dialog of the import (tests answer them).
    void SetOpenFileFunction(const OpenFileFunction& openFile) { m_openFile = openFile; }
    void SetSaveFileFunction(const OpenFileFunction& saveFile) { m_saveFile = saveFile; }
    // How the downloads run (tests: loopback servers without proxies). Only while none runs.
    void SetDownloadOptions(const DownloadOptions& options);

signals:
    // The pictures of a batch were applied (or none was left to apply).
    void downloadsApplied();

private:
    void PickTexture();
    void ClearTexture();
    void ExportFile();
    void ImportFile();
    void OnSlotEnded(int slot);
    void ApplyBatch();
    void MarkRefused(int slot, const QString& reason);
    void ClearMark(int slot);
    void SetSlotEditable(int slot, bool editable);
    void SetDownloadCaption(bool downloading);

    BusyHost& m_host;
    SettingsStore& m_store;
    const Environment& m_environment;
    GameSession& m_session;
    OnlineSettings m_settings;
    OpenFileFunction m_openFile;
    OpenFileFunction m_saveFile;
    std::unique_ptr<CatalogueLists> m_catalogue;
    std::unique_ptr<DownloadBatch> m_batch;
    int m_pickSlot = -1; // the slot the open picker is for

    // The controls; each carries its control name as its object name.
    ThemedFrame* webFileFrame;
    std::array<QLabel*, kSlots> webLabel{};
    std::array<QLineEdit*, kSlots> webURL{};
    std::array<QLineEdit*, kSlots> webFile{};
    std::array<QPushButton*, kSlots> webPick{};
    ThemedFrame* webTexFrame;
    QComboBox* webCategory;
    QComboBox* webTexture;
    QPushButton* webPickTexture;
    QPushButton* webClear;
    QPushButton* webCancel;
    QPushButton* webRegFile;
    QPushButton* webRegImport;
    QPushButton* webDownload;
};
