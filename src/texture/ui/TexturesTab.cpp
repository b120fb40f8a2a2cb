#include "texture/ui/TexturesTab.h"

#include "app/BusyHost.h"
#include "app/FileAccess.h"
#include "app/GameSession.h"
#include "app/SettingsStore.h"
#include "app/ui/Named.h"
#include "controls/ThemedFrame.h"
#include "image/ImageSettings.h"
#include "texture/ReplacementPreview.h"
#include "texture/ui/CatalogueLists.h"
#include "texture/ui/TexturePreview.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kRestoreOneQuestion = QStringLiteral("This will REMOVE the custom image you have\n"
                                                   "placed in the selected Texture!\n\nAre you sure?");
const QString kRestoreAllQuestion = QStringLiteral("This will REMOVE the custom images you have\n"
                                                   "placed in the WHOLE Category!\n\nAre you sure?");

// The preview box: a 1024 x 768 loading screen shows at a quarter, a 32 x 32 icon six times enlarged.
constexpr QSize kPreviewArea(256, 192);

QComboBox* List(const char* name)
{
    auto* list = Named<QComboBox>(name);
    // Long texture names do not widen the window; the open list shows them whole.
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setMinimumContentsLength(28);
    list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return list;
}

QLabel* Caption(const char* name)
{
    auto* label = Named<QLabel>(name);
    label->setWordWrap(true);
    label->setFixedWidth(kPreviewArea.width() + 2);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    return label;
}

// "46 x 46 pixels, shown 4x" and "stored as 64 x 64" below when the stored size differs.
QString SizeText(const CatalogueEntry& entry, const QRect& shown)
{
    QString text = QStringLiteral("%1 x %2 pixels").arg(entry.width).arg(entry.height);
    if (shown.width() > entry.width)
        text += QStringLiteral(", shown %1x").arg(shown.width() / entry.width);
    else if (!shown.isEmpty() && shown.width() < entry.width)
        text += QStringLiteral(", shown at %1 %").arg(qRound(100.0 * shown.width() / entry.width));
    else if (!shown.isEmpty())
        text += QStringLiteral(", shown at full size");
    const qint32 storedWidth = StoredTextureSize(entry.width), storedHeight = StoredTextureSize(entry.height);
    if (storedWidth != entry.width || storedHeight != entry.height)
        text += QStringLiteral("\nstored as %1 x %2").arg(storedWidth).arg(storedHeight);
    return text;
}

} // namespace

TexturesTab::TexturesTab(BusyHost& host, SettingsStore& store, const Environment& environment,
                         GameSession& session, OpenFileFunction openFile, QWidget* parent)
    : QWidget(parent), m_host(host), m_store(store), m_environment(environment), m_session(session),
      m_openFile(std::move(openFile))
{
    setObjectName(QStringLiteral("TexturesTab"));

    auto* sourceGroup = new ThemedFrame(tr("Source image"));
    sourceGroup->setObjectName(QStringLiteral("texSourceFrame"));
    texInput = new QLineEdit;
    texInput->setObjectName(QStringLiteral("texInput"));
    texBrowse = Named<QPushButton>("texBrowse", tr("Browse..."));
    texAlpha = new QLineEdit;
    texAlpha->setObjectName(QStringLiteral("texAlpha"));
    texAlphaBrowse = Named<QPushButton>("texAlphaBrowse", tr("Browse..."));
    auto* inputLabel = new QLabel(tr("Input file:"));
    inputLabel->setBuddy(texInput);
    auto* alphaLabel = new QLabel(tr("Alpha mask:"));
    alphaLabel->setBuddy(texAlpha);
    texAlphaLabel =
        new QLabel(tr("The alpha mask is a grayscale bitmap file containing the transparent areas "
                      "of the image. Black is transparent, white is opaque."));
    texAlphaLabel->setObjectName(QStringLiteral("texAlphaLabel"));
    texAlphaLabel->setWordWrap(true);
    auto* sourceGrid = new QGridLayout;
    sourceGrid->addWidget(inputLabel, 0, 0);
    sourceGrid->addWidget(texInput, 0, 1);
    sourceGrid->addWidget(texBrowse, 0, 2);
    sourceGrid->addWidget(alphaLabel, 1, 0);
    sourceGrid->addWidget(texAlpha, 1, 1);
    sourceGrid->addWidget(texAlphaBrowse, 1, 2);
    sourceGrid->addWidget(texAlphaLabel, 2, 1, 1, 2);
    sourceGrid->setColumnStretch(1, 1);
    sourceGroup->setLayout(sourceGrid);

    auto* destinationGroup = new ThemedFrame(tr("Destination"));
    destinationGroup->setObjectName(QStringLiteral("texDestinationFrame"));
    texCategory = List("texCategory");
    texTexture = List("texTexture");
    auto* categoryLabel = new QLabel(tr("Category:"));
    categoryLabel->setBuddy(texCategory);
    auto* textureLabel = new QLabel(tr("Texture:"));
    textureLabel->setBuddy(texTexture);
    texWriteAll = new QCheckBox(tr("Apply to all textures in the selected category"));
    texWriteAll->setObjectName(QStringLiteral("texWriteAll"));
    texSave = Named<QPushButton>("texSave", tr("Save Texture"));
    texSave->setEnabled(false);
    texReset = Named<QPushButton>("texReset", tr("Restore Default Texture"));
    texReset->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(texSave);
    buttons->addWidget(texReset);
    buttons->addStretch(1);
    auto* destinationGrid = new QGridLayout;
    destinationGrid->addWidget(categoryLabel, 0, 0);
    destinationGrid->addWidget(texCategory, 0, 1);
    destinationGrid->addWidget(textureLabel, 1, 0);
    destinationGrid->addWidget(texTexture, 1, 1);
    destinationGrid->addWidget(texWriteAll, 2, 1);
    destinationGrid->addLayout(buttons, 3, 1);
    destinationGrid->setRowStretch(4, 1);
    destinationGrid->setColumnStretch(1, 1);

    texPreview = new TexturePreview;
    texPreview->setObjectName(QStringLiteral("texPreview"));
    texPreview->setFixedSize(kPreviewArea + QSize(2, 2));
    texPreviewSize = Caption("texPreviewSize");
    texGameShows = Caption("texGameShows");
    auto* previewColumn = new QVBoxLayout;
    previewColumn->addWidget(texPreview);
    previewColumn->addWidget(texPreviewSize);
    previewColumn->addWidget(texGameShows);
    previewColumn->addStretch(1);
    auto* destination = new QHBoxLayout;
    destination->addLayout(destinationGrid, 1);
    destination->addSpacing(12);
    destination->addLayout(previewColumn);
    destinationGroup->setLayout(destination);

    auto* page = new QVBoxLayout(this);
    page->addWidget(sourceGroup);
    page->addWidget(destinationGroup, 1);

    m_lists = new CatalogueLists(m_host, m_environment.dataFolder, texCategory, texTexture, this);
    connect(m_lists, &CatalogueLists::loaded, this, [this] {
        // The open list is as wide as its longest name.
        texTexture->view()->setMinimumWidth(texTexture->view()->sizeHintForColumn(0) + 24);
        UpdateEnabled();
        UpdatePreview();
    });
    connect(texTexture, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_lists->Loading())
            UpdatePreview();
    });
    connect(texBrowse, &QPushButton::clicked, this, &TexturesTab::Browse);
    connect(texAlphaBrowse, &QPushButton::clicked, this, &TexturesTab::BrowseAlpha);
    connect(texInput, &QLineEdit::textChanged, this, &TexturesTab::UpdateEnabled);
    connect(texInput, &QLineEdit::editingFinished, this, &TexturesTab::UpdatePreview);
    connect(texAlpha, &QLineEdit::editingFinished, this, &TexturesTab::UpdatePreview);
    connect(texSave, &QPushButton::clicked, this, &TexturesTab::Save);
    connect(texReset, &QPushButton::clicked, this, &TexturesTab::Reset);
}

TexturesTab::~TexturesTab() = default;

void TexturesTab::TabChanged(bool current)
{
    if (m_current && !current)
        m_current = false;
    if (!m_current && current) {
        m_current = true;
        m_lists->Load(0);
        emit catalogueTaken();
    }
}

QString TexturesTab::ChooseFile(const QString& title)
{
    OpenFileRequest request;
    request.title = title;
    request.initialFolder = ReadLastImageDir(m_store);
    request.filter = kImageFilesFilter;
    const QString chosen = m_openFile ? m_openFile(this, request) : QString();
    // A cancelled dialog changes nothing.
    if (!chosen.isEmpty())
        WriteLastImageDir(m_store, ReturnPath(chosen));
    return chosen;
}

void TexturesTab::Browse()
{
    const QString chosen = ChooseFile(tr("Choose a picture"));
    if (chosen.isEmpty())
        return;
    texInput->setText(chosen);
    m_sourceFile.clear(); // read afresh, also when the same file was chosen again
    UpdateEnabled();
    UpdatePreview();
}

void TexturesTab::BrowseAlpha()
{
    const QString chosen = ChooseFile(tr("Choose an alpha mask"));
    if (chosen.isEmpty())
        return;
    texAlpha->setText(chosen);
    m_maskFile.clear();
    UpdatePreview();
}

QList<CatalogueEntry> TexturesTab::Targets() const
{
    if (texWriteAll->isChecked())
        return m_lists->Entries();
    const std::optional<CatalogueEntry> entry = m_lists->CurrentEntry();
    return entry ? QList<CatalogueEntry>{*entry} : QList<CatalogueEntry>{};
}

void TexturesTab::UpdateEnabled()
{
    const bool haveEntry = m_lists->CurrentEntry().has_value();
    texSave->setEnabled(haveEntry && !texInput->text().isEmpty());
    texReset->setEnabled(haveEntry);
}

void TexturesTab::ApplyToTexture(int index)
{
    if (index >= 0 && index < m_lists->Entries().size())
        Write({m_lists->Entries()[index]});
}

void TexturesTab::Save()
{
    if (texWriteAll->isChecked())
        Write(m_lists->Entries());
    else
        ApplyToTexture(texTexture->currentIndex());
}

void TexturesTab::Write(const QList<CatalogueEntry>& entries)
{
    // Every entry from the one picture; each failure is told and the rest go on.
    const ReplacementJob job{m_session.GameFolder(), texInput->text(), texAlpha->text(),
                             m_session.Compress()};
    ReplaceTextures(m_host, m_environment, job, entries,
                    [this](const CatalogueEntry&, const Result<QString>& written) {
                        if (!written)
                            m_host.ShowFailure(written.error());
                    });
    UpdatePreview();
}

void TexturesTab::Reset()
{
    const QString gameFolder = m_session.GameFolder();
    const QList<CatalogueEntry> entries = Targets();
    if (entries.isEmpty())
        return;
    if (!texWriteAll->isChecked()) {
        // Without a replacement there is nothing to ask about.
        if (ReplacementOwner(gameFolder, entries.first()) == GameFileOwner::None)
            return;
        if (!m_host.Confirm(kRestoreOneQuestion))
            return;
    } else if (!m_host.Confirm(kRestoreAllQuestion)) {
        return;
    }
    QStringList leftAlone;
    for (const Result<RestoreOutcome>& outcome : RestoreTextures(gameFolder, entries, &m_host)) {
        if (!outcome)
            m_host.ShowFailure(outcome.error());
        else if (outcome->kind == RestoreOutcome::LeftAlone)
            leftAlone << outcome->path;
    }
    if (!leftAlone.isEmpty())
        m_host.ShowMessage(LeftAloneMessage(leftAlone));
    UpdatePreview();
}

void TexturesTab::ReadSource(std::optional<SourcePicture>& slot, QString& slotFile, QString& failure,
                             const QString& file)
{
    if (file == slotFile)
        return;
    slotFile = file;
    slot.reset();
    failure.clear();
    if (file.isEmpty())
        return;
    Result<SourcePicture> loaded = SourcePicture::Load(m_host, file);
    if (loaded)
        slot = std::move(*loaded);
    else
        failure = loaded.error().Headline().text;
}

void TexturesTab::UpdatePreview()
{
    const std::optional<CatalogueEntry> entry = m_lists->CurrentEntry();
    if (!entry) {
        texPreview->Show(QImage());
        texPreviewSize->clear();
        texGameShows->clear();
        return;
    }
    ReadSource(m_source, m_sourceFile, m_sourceFailure, texInput->text());
    ReadSource(m_mask, m_maskFile, m_maskFailure, texAlpha->text());
    QImage picture;
    QString text;
    if (texInput->text().isEmpty()) {
        text = tr("Choose a picture to see it here as the game will get it.");
    } else if (!m_source) {
        text = m_sourceFailure;
    } else if (!texAlpha->text().isEmpty() && !m_mask) {
        text = tr("Alpha mask: ") + m_maskFailure;
    } else {
        const PixelBufferPtr sized = m_source->Resampled(QSize(entry->width, entry->height));
        const PixelBufferPtr mask =
            m_mask ? m_mask->Resampled(QSize(entry->width, entry->height)) : PixelBufferPtr();
        if (sized)
            picture = PreviewImage(*sized, mask.get());
        else
            text = tr("A %1 x %2 picture cannot be made.").arg(entry->width).arg(entry->height);
    }
    texPreview->Show(picture, text);
    texPreviewSize->setText(SizeText(*entry, texPreview->PictureRect()));

    const QString gameFolder = m_session.GameFolder();
    if (gameFolder.isEmpty()) {
        texGameShows->setText(tr("No game folder is set (Settings tab)."));
        return;
    }
    switch (ReplacementOwner(gameFolder, *entry)) {
    case GameFileOwner::None:
        texGameShows->setText(tr("The game shows its own texture."));
        break;
    case GameFileOwner::Program:
        texGameShows->setText(tr("The game shows your replacement."));
        break;
    case GameFileOwner::Other:
        texGameShows->setText(tr("The game shows a loose file that Lumivale did not write. A save keeps a "
                                 "copy of it that Restore puts back."));
        break;
    }
}
