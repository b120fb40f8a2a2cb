#pragma once

#include "app/Environment.h"
#include "app/ui/FileDialogs.h"
#include "texture/TextureReplacement.h"

#include <QWidget>
#include <optional>

class BusyHost;
class CatalogueLists;
class GameSession;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class SettingsStore;
class TexturePreview;

// The Textures tab: a source picture and an optional alpha mask, a category
// and a texture of the catalogue, save and restore, and a preview of what a
// save writes with what the game shows now.
class TexturesTab : public QWidget
{
    Q_OBJECT
public:
    TexturesTab(BusyHost& host, SettingsStore& store, const Environment& environment, GameSession& session,
                OpenFileFunction openFile, QWidget* parent = nullptr);
    ~TexturesTab() override;

    // The window's current tab changed; current: this tab is it now. Entering
    // the tab (not staying on it) reloads the catalogue with the first category.
    void TabChanged(bool current);
    // Writes the source picture (and mask) as the replacement of entry index;
    // each failure is shown.
    void ApplyToTexture(int index);
    void Save();
    void Reset();
    void Browse();
    void BrowseAlpha();
    // Shows the picture about to be written for the selected texture and what the game shows now.
    void UpdatePreview();
    void SetOpenFileFunction(OpenFileFunction openFile) { m_openFile = std::move(openFile); }
    CatalogueLists& Lists() { return *m_lists; }

signals:
    // Entering the tab loaded the catalogue into its lists.
    void catalogueTaken();

private:
    // The file chosen in an open dialog; empty when cancelled.
    QString ChooseFile(const QString& title);
    // Decodes the text box's picture again when its file changed.
    void ReadSource(std::optional<SourcePicture>& slot, QString& slotFile, QString& failure,
                    const QString& file);
    void UpdateEnabled();
    QList<CatalogueEntry> Targets() const;
    void Write(const QList<CatalogueEntry>& entries);

    BusyHost& m_host;
    SettingsStore& m_store;
    const Environment& m_environment;
    GameSession& m_session;
    OpenFileFunction m_openFile;
    CatalogueLists* m_lists;
    bool m_current = false; // this is the current tab
    // The decoded source picture and mask, for the preview.
    std::optional<SourcePicture> m_source;
    std::optional<SourcePicture> m_mask;
    QString m_sourceFile, m_maskFile;
    QString m_sourceFailure, m_maskFailure;

    // The controls; each carries its control name as its object name.
    QLineEdit* texInput;
    QPushButton* texBrowse;
    QLineEdit* texAlpha;
    QPushButton* texAlphaBrowse;
    QLabel* texAlphaLabel;
    QComboBox* texCategory;
    QComboBox* texTexture;
    QCheckBox* texWriteAll;
    QPushButton* texSave;
    QPushButton* texReset;
    TexturePreview* texPreview;
    QLabel* texPreviewSize;
    QLabel* texGameShows;
};
