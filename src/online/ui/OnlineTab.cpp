#include "online/ui/OnlineTab.h"

#include "app/GameSession.h"
#include "app/ui/Named.h"
#include "controls/ThemedFrame.h"
#include "online/DownloadBatch.h"
#include "online/OnlineApply.h"
#include "online/OnlineExport.h"
#include "texture/TextureWriter.h"
#include "texture/ui/CatalogueLists.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kDownloadCaption = QStringLiteral("Download and Apply now");
const QString kAbortCaption = QStringLiteral("Abort Downloads");

// Control arrays carry their index in the object name: webURL(0) .. webURL(4).
QString Indexed(const char* name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

} // namespace

OnlineTab::OnlineTab(BusyHost& host, SettingsStore& store, const Environment& environment,
                     GameSession& session, QWidget* parent)
    : QWidget(parent), m_host(host), m_store(store), m_environment(environment), m_session(session),
      m_openFile(&ShowOpenFileDialog), m_saveFile(&ShowSaveFileDialog)
{
    setObjectName(QStringLiteral("OnlineTab"));

    webFileFrame = Named<ThemedFrame>(QStringLiteral("webFileFrame"), tr("Online Textures"));
    auto* slotGrid = new QGridLayout;
    for (int i = 0; i < kSlots; ++i) {
        webLabel[i] = Named<QLabel>(Indexed("webLabel", i), tr("Image URL:"));
        webURL[i] = Named<QLineEdit>(Indexed("webURL", i));
        webLabel[i]->setBuddy(webURL[i]);
        auto* textureLabel = new QLabel(tr("Texture:"));
        webFile[i] = Named<QLineEdit>(Indexed("webFile", i));
        webFile[i]->setReadOnly(true);
        textureLabel->setBuddy(webFile[i]);
        webPick[i] = Named<QPushButton>(Indexed("webPick", i), tr("Pick..."));
        slotGrid->addWidget(webLabel[i], i, 0);
        slotGrid->addWidget(webURL[i], i, 1);
        slotGrid->addWidget(textureLabel, i, 2);
        slotGrid->addWidget(webFile[i], i, 3);
        slotGrid->addWidget(webPick[i], i, 4);
        connect(webPick[i], &QPushButton::clicked, this, [this, i] { Pick(i); });
        connect(webURL[i], &QLineEdit::textChanged, this, [this, i] { ClearMark(i); });
        // A long texture name shows from its start, and whole in the tool tip.
        connect(webFile[i], &QLineEdit::textChanged, this, [this, i](const QString& text) {
            webFile[i]->setCursorPosition(0);
            webFile[i]->setToolTip(text);
        });
    }
    slotGrid->setColumnStretch(1, 1);
    slotGrid->setColumnStretch(3, 1);
    webFileFrame->setLayout(slotGrid);

    webTexFrame = Named<ThemedFrame>(QStringLiteral("webTexFrame"), tr("Destination"));
    webCategory = Named<QComboBox>(QStringLiteral("webCategory"));
    webTexture = Named<QComboBox>(QStringLiteral("webTexture"));
    for (QComboBox* list : {webCategory, webTexture})
        list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    auto* categoryLabel = new QLabel(tr("Category:"));
    categoryLabel->setBuddy(webCategory);
    auto* textureLabel = new QLabel(tr("Texture:"));
    textureLabel->setBuddy(webTexture);
    webPickTexture = Named<QPushButton>(QStringLiteral("webPickTexture"), tr("Pick This Texture"));
    webClear = Named<QPushButton>(QStringLiteral("webClear"), tr("Clear Selection"));
    webCancel = Named<QPushButton>(QStringLiteral("webCancel"), tr("Keep Current"));
    auto* pickerGrid = new QGridLayout;
    pickerGrid->addWidget(categoryLabel, 0, 0);
    pickerGrid->addWidget(webCategory, 0, 1);
    pickerGrid->addWidget(textureLabel, 1, 0);
    pickerGrid->addWidget(webTexture, 1, 1);
    auto* pickerButtons = new QHBoxLayout;
    pickerButtons->addStretch(1);
    pickerButtons->addWidget(webPickTexture);
    pickerButtons->addWidget(webClear);
    pickerButtons->addWidget(webCancel);
    pickerGrid->addLayout(pickerButtons, 2, 0, 1, 2);
    pickerGrid->setColumnStretch(1, 1);
    webTexFrame->setLayout(pickerGrid);
    webTexFrame->hide();
    m_catalogue = std::make_unique<CatalogueLists>(m_host, m_environment.dataFolder, webCategory, webTexture);
    auto updatePickButton = [this] { webPickTexture->setEnabled(m_catalogue->CurrentEntry().has_value()); };
    connect(webTexture, &QComboBox::currentIndexChanged, this, updatePickButton);
    connect(m_catalogue.get(), &CatalogueLists::loaded, this, updatePickButton);

    auto* operations = Named<ThemedFrame>(QStringLiteral("webOperationsFrame"), tr("Web Operations"));
    auto* note =
        new QLabel(tr("The textures on this tab are downloaded and applied once a day when the game is "
                      "started through the Randomizer's game shortcut. The buttons apply them at once, "
                      "export them to a file for someone else, or import such a file."));
    note->setWordWrap(true);
    webRegFile = Named<QPushButton>(QStringLiteral("webRegFile"), tr("Export Online Textures to a file "));
    webRegImport =
        Named<QPushButton>(QStringLiteral("webRegImport"), tr("Import Online Textures from a file"));
    webDownload = Named<QPushButton>(QStringLiteral("webDownload"), kDownloadCaption);
    // Wide enough for either caption, so the button keeps its size while downloads run.
    const QFontMetrics metrics = webDownload->fontMetrics();
    const int padding = webDownload->sizeHint().width() - metrics.horizontalAdvance(kDownloadCaption);
    webDownload->setMinimumWidth(padding + std::max(metrics.horizontalAdvance(kDownloadCaption),
                                                    metrics.horizontalAdvance(kAbortCaption)));
    auto* operationButtons = new QVBoxLayout;
    operationButtons->addWidget(webDownload);
    operationButtons->addWidget(webRegFile);
    operationButtons->addWidget(webRegImport);
    operationButtons->addStretch(1);
    auto* operationBox = new QHBoxLayout;
    operationBox->addWidget(note, 1, Qt::AlignTop);
    operationBox->addLayout(operationButtons);
    operations->setLayout(operationBox);

    auto* page = new QVBoxLayout(this);
    page->addWidget(webFileFrame);
    page->addWidget(webTexFrame);
    page->addWidget(operations);
    page->addStretch(1);

    connect(webPickTexture, &QPushButton::clicked, this, &OnlineTab::PickTexture);
    connect(webClear, &QPushButton::clicked, this, &OnlineTab::ClearTexture);
    connect(webCancel, &QPushButton::clicked, this, &OnlineTab::CloseTexturePicker);
    connect(webRegFile, &QPushButton::clicked, this, &OnlineTab::ExportFile);
    connect(webRegImport, &QPushButton::clicked, this, &OnlineTab::ImportFile);
    connect(webDownload, &QPushButton::clicked, this, &OnlineTab::DownloadOrAbort);
    SetDownloadOptions(DownloadOptions());
}

OnlineTab::~OnlineTab() = default;

void OnlineTab::SetDownloadOptions(const DownloadOptions& options)
{
    if (m_batch && m_batch->AnyDownloading())
        return;
    m_batch = std::make_unique<DownloadBatch>(m_environment.workFolder, options);
    connect(m_batch.get(), &DownloadBatch::slotEnded, this, &OnlineTab::OnSlotEnded);
    connect(m_batch.get(), &DownloadBatch::finished, this, &OnlineTab::ApplyBatch);
}

void OnlineTab::ShowSettings(const OnlineSettings& settings)
{
    m_settings = settings;
    for (int i = 0; i < kSlots; ++i) {
        webFile[i]->setText(settings.entries[std::size_t(i)].name);
        webURL[i]->setText(settings.entries[std::size_t(i)].link);
        webURL[i]->setCursorPosition(0);
    }
}

OnlineSettings OnlineTab::Settings() const
{
    OnlineSettings settings = m_settings;
    for (int i = 0; i < kSlots; ++i)
        settings.entries[std::size_t(i)].link = webURL[i]->text();
    return settings;
}

void OnlineTab::Pick(int slot)
{
    m_catalogue->Load(0);
    m_pickSlot = slot;
    webTexFrame->show();
    // No other slot can be picked meanwhile.
    webFileFrame->SetEnabled(false);
    webTexture->setFocus();
}

void OnlineTab::CloseTexturePicker()
{
    webTexFrame->hide();
    webFileFrame->SetEnabled(true);
    m_pickSlot = -1;
}

void OnlineTab::PickTexture()
{
    const std::optional<CatalogueEntry> entry = m_catalogue->CurrentEntry();
    if (m_pickSlot < 0 || !entry)
        return;
    const int slot = m_pickSlot;
    const QString text = webTexture->currentText();
    webFile[slot]->setText(text);
    OnlineSlotSettings& stored = m_settings.entries[std::size_t(slot)];
    stored.name = text;
    stored.path = entry->gamePath;
    stored.file = entry->fileName;
    stored.width = CheckValueToText(entry->width);
    stored.height = CheckValueToText(entry->height);
    if (!SaveOnlinePick(m_store, slot, text, entry->width, entry->height, entry->gamePath, entry->fileName))
        m_host.ShowMessage(Message{tr("The texture could not be stored in the settings."),
                                   MessageIcon::Exclamation, m_store.FilePath()});
    CloseTexturePicker();
}

void OnlineTab::ClearTexture()
{
    if (m_pickSlot < 0)
        return;
    const int slot = m_pickSlot;
    webFile[slot]->clear();
    const QString link = m_settings.entries[std::size_t(slot)].link;
    m_settings.entries[std::size_t(slot)] = OnlineSlotSettings();
    m_settings.entries[std::size_t(slot)].link = link;
    if (!ClearOnlinePick(m_store, slot))
        m_host.ShowMessage(Message{tr("The texture could not be removed from the settings."),
                                   MessageIcon::Exclamation, m_store.FilePath()});
    CloseTexturePicker();
}

void OnlineTab::ExportFile()
{
    const QString file = m_saveFile(
        this, OpenFileRequest{tr("Export Online Textures"), QString(), kExportFileName, kExportFilter});
    if (file.isEmpty())
        return; // cancelled: nothing is written
    std::array<QString, kSlots> links;
    for (int i = 0; i < kSlots; ++i)
        links[std::size_t(i)] = webURL[i]->text();
    if (const Result<> written =
            WriteOnlineExport(file, OnlineExportText(OnlineSettings::Load(m_store), links));
        !written)
        m_host.ShowMessage(Message{tr("The online textures could not be exported to %1.").arg(file),
                                   MessageIcon::Exclamation, written.error().Reason()});
}

void OnlineTab::ImportFile()
{
    const QString file =
        m_openFile(this, OpenFileRequest{tr("Import Online Textures"), QString(), QString(), kExportFilter});
    if (file.isEmpty())
        return;
    const Result<OnlineImport> imported = ImportOnlineFile(file, m_store);
    if (!imported) {
        m_host.ShowMessage(Message{tr("The online textures could not be imported from %1.").arg(file),
                                   MessageIcon::Exclamation, imported.error().Reason()});
        return;
    }
    // The imported assignments show at once; addresses typed but not saved in other slots stay.
    const OnlineSettings stored = OnlineSettings::Load(m_store);
    for (int i = 0; i < kSlots; ++i) {
        const QString link = m_settings.entries[std::size_t(i)].link;
        m_settings.entries[std::size_t(i)] = stored.entries[std::size_t(i)];
        m_settings.entries[std::size_t(i)].link = link;
        webFile[i]->setText(stored.entries[std::size_t(i)].name);
    }
    for (const auto& [name, value] : imported->values) {
        if (name.startsWith(setting::kWebLink)) {
            const int slot = name.back().digitValue();
            webURL[slot]->setText(value);
            webURL[slot]->setCursorPosition(0);
            m_settings.entries[std::size_t(slot)].link = value;
        }
    }
    if (!imported->refused.isEmpty())
        m_host.ShowMessage(Message{tr("Some values of %1 were not imported:").arg(file),
                                   MessageIcon::Exclamation, imported->refused.join(QLatin1Char('\n'))});
}

bool OnlineTab::Downloading() const
{
    return m_batch->AnyDownloading();
}

void OnlineTab::DownloadOrAbort()
{
    if (Downloading()) {
        // Nothing of an aborted batch is applied; its pictures are deleted.
        m_batch->Abort();
        for (int i = 0; i < kSlots; ++i)
            SetSlotEditable(i, true);
        SetDownloadCaption(false);
        return;
    }
    const std::array<OnlineSlot, kSlots> records = OnlineSlots(Settings());
    for (int i = 0; i < kSlots; ++i) {
        const OnlineSlot& slot = records[std::size_t(i)];
        switch (m_batch->StartDownload(slot)) {
        case SlotStart::NotInUse:
            break;
        case SlotStart::Refused:
            if (!slot.address)
                MarkRefused(i, slot.address.error().Reason());
            else
                m_host.ShowFailure(Failure(slot.texture.error())
                                       .Retitle(tr("The online texture of slot %1 was skipped: its settings "
                                                   "are not valid.")
                                                    .arg(i),
                                                MessageIcon::Exclamation));
            break;
        case SlotStart::Started:
            ClearMark(i);
            SetSlotEditable(i, false);
            break;
        }
    }
    if (Downloading())
        SetDownloadCaption(true);
}

void OnlineTab::OnSlotEnded(int slot)
{
    SetSlotEditable(slot, true);
    if (m_batch->Slot(slot).CurrentState() == DownloadSlot::State::Failed)
        MarkRefused(slot, m_batch->Slot(slot).Reason());
}

void OnlineTab::ApplyBatch()
{
    StoredPictures pictures = m_batch->TakeStored();
    QList<AppliedSlot> applied;
    {
        BusyScope busy(m_host, false, 0, tr("Applying online textures..."));
        TextureWriter writer(m_host, TextureWriterOptions::From(m_environment, m_session.Compress()));
        // The textures the settings name now, whatever the window shows.
        applied = ApplyDownloads(m_host, writer, m_session.GameFolder(),
                                 OnlineSlots(OnlineSettings::Load(m_store)), std::move(pictures));
    }
    SetDownloadCaption(false);
    for (const AppliedSlot& slot : std::as_const(applied)) {
        if (!slot.written)
            m_host.ShowFailure(slot.written.error());
    }
    emit downloadsApplied();
}

void OnlineTab::MarkRefused(int slot, const QString& reason)
{
    for (QWidget* w : {static_cast<QWidget*>(webURL[slot]), static_cast<QWidget*>(webLabel[slot])}) {
        QPalette red = w->palette();
        red.setColor(QPalette::Text, Qt::red);
        red.setColor(QPalette::WindowText, Qt::red);
        w->setPalette(red);
        w->setToolTip(reason);
    }
}

void OnlineTab::ClearMark(int slot)
{
    for (QWidget* w : {static_cast<QWidget*>(webURL[slot]), static_cast<QWidget*>(webLabel[slot])}) {
        w->setPalette(QPalette());
        w->setToolTip(QString());
    }
}

void OnlineTab::SetSlotEditable(int slot, bool editable)
{
    webFile[slot]->setEnabled(editable);
    webPick[slot]->setEnabled(editable);
    webURL[slot]->setEnabled(editable);
}

void OnlineTab::SetDownloadCaption(bool downloading)
{
    webDownload->setText(downloading ? kAbortCaption : kDownloadCaption);
}
