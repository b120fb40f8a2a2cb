#include "texture/ui/ScreensTab.h"

#include "app/BusyHost.h"
#include "app/FileAccess.h"
#include "app/GameSession.h"
#include "app/GameSettings.h"
#include "app/SettingsStore.h"
#include "controls/ThemedFrame.h"
#include "image/Levels.h"
#include "texture/LoadingScreen.h"
#include "texture/TextureWriter.h"
#include "texture/ui/PreviewBox.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

// Width of the preview box in pixels; the preview (at most 425 wide) is centred in it.
constexpr int kPreviewBoxWidth = 440;

// A size text read as a number, the way the Settings boxes show it once edited.
double SizeNumber(const QString& text)
{
    return NormalizeSizeText(text).toDouble();
}

QScrollBar* LevelBar(const char* name, int value)
{
    auto* bar = new QScrollBar(Qt::Horizontal);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setRange(0, 255);
    bar->setPageStep(16);
    bar->setValue(value);
    bar->setMinimumWidth(256);
    return bar;
}

QLineEdit* LevelDisplay(const char* name, const QString& text)
{
    auto* box = new QLineEdit(text);
    box->setObjectName(QString::fromLatin1(name));
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignRight);
    box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 16);
    return box;
}

QPushButton* Button(const char* name, const QString& caption)
{
    auto* b = new QPushButton(caption);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

} // namespace

ScreensTab::ScreensTab(BusyHost& host, SettingsStore& store, const Environment& environment,
                       GameSession& session, OpenFileFunction openFile, QWidget* parent)
    : QWidget(parent), m_host(host), m_store(store), m_environment(environment), m_session(session),
      m_openFile(std::move(openFile))
{
    setObjectName(QStringLiteral("ScreensTab"));

    auto* sourceGroup = new ThemedFrame(tr("Source image"));
    sourceGroup->setObjectName(QStringLiteral("scrFrame"));
    auto* inputLabel = new QLabel(tr("Input file:"));
    scrImage = new QLineEdit;
    scrImage->setObjectName(QStringLiteral("scrImage"));
    scrImage->setReadOnly(true);
    inputLabel->setBuddy(scrImage);
    scrBrowse = Button("scrBrowse", tr("Browse..."));
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(inputLabel);
    sourceRow->addWidget(scrImage, 1);
    sourceRow->addWidget(scrBrowse);
    sourceGroup->setLayout(sourceRow);

    previewGroup = new ThemedFrame(tr("Screen preview (click for options)"));
    previewGroup->setObjectName(QStringLiteral("scrPreviewFrame"));
    scrPreview = new PreviewBox;
    scrPreview->setFixedSize(kPreviewBoxWidth, ScreenPictures::kPreviewHeight);
    scrPreview->setToolTip(tr("Click to adjust the black and white levels"));
    auto* previewBox = new QVBoxLayout;
    previewBox->addWidget(scrPreview, 0, Qt::AlignHCenter);
    previewGroup->setLayout(previewBox);

    auto* framesGroup = new ThemedFrame(tr("Frames"));
    framesGroup->setObjectName(QStringLiteral("scrFramesFrame"));
    scrFrames = new QCheckBox(tr("Overlay image frames"));
    scrFrames->setObjectName(QStringLiteral("scrFrames"));
    scrFramesPreview = new QCheckBox(tr("Display frames in preview"));
    scrFramesPreview->setObjectName(QStringLiteral("scrFramesPreview"));
    auto* framesBox = new QVBoxLayout;
    framesBox->addWidget(scrFrames);
    framesBox->addWidget(scrFramesPreview);
    framesGroup->setLayout(framesBox);

    auto* destinationGroup = new ThemedFrame(tr("Destination texture"));
    destinationGroup->setObjectName(QStringLiteral("scrDestinationFrame"));
    scrSaveHL = Button("scrSaveHL", tr("Save as login screen"));
    scrSaveHC = Button("scrSaveHC", tr("Save as character selection screen"));
    for (QPushButton* b : {scrSaveHL, scrSaveHC}) {
        // Room for the longer caption with a comfortable margin.
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(scrSaveHC->text()) + 32);
        b->setEnabled(false);
        b->setMouseTracking(true);
        b->installEventFilter(this);
    }
    auto* destinationBox = new QVBoxLayout;
    destinationBox->addWidget(scrSaveHL);
    destinationBox->addWidget(scrSaveHC);
    destinationGroup->setLayout(destinationBox);

    adjFrame = new ThemedFrame(tr("Image adjustment"));
    adjFrame->setObjectName(QStringLiteral("adjFrame"));
    adjBlack = LevelBar("adjBlack", 0);
    adjWhite = LevelBar("adjWhite", 255);
    adjBlackDisplay = LevelDisplay("adjBlackDisplay", QStringLiteral("0"));
    adjWhiteDisplay = LevelDisplay("adjWhiteDisplay", QStringLiteral("255"));
    adjApply = Button("adjApply", tr("Apply"));
    adjRevert = Button("adjRevert", tr("Reload"));
    adjCancel = Button("adjCancel", tr("Cancel"));
    auto* blackLabel = new QLabel(tr("Black level:"));
    auto* whiteLabel = new QLabel(tr("White level:"));
    blackLabel->setBuddy(adjBlack);
    whiteLabel->setBuddy(adjWhite);
    auto* adjGrid = new QGridLayout;
    adjGrid->addWidget(blackLabel, 0, 0);
    adjGrid->addWidget(adjBlack, 0, 1);
    adjGrid->addWidget(adjBlackDisplay, 0, 2);
    adjGrid->addWidget(whiteLabel, 1, 0);
    adjGrid->addWidget(adjWhite, 1, 1);
    adjGrid->addWidget(adjWhiteDisplay, 1, 2);
    auto* adjButtons = new QHBoxLayout;
    adjButtons->addStretch(1);
    adjButtons->addWidget(adjApply);
    adjButtons->addWidget(adjRevert);
    adjButtons->addWidget(adjCancel);
    adjGrid->addLayout(adjButtons, 2, 0, 1, 3);
    adjGrid->setColumnStretch(1, 1);
    adjFrame->setLayout(adjGrid);
    // The tab keeps room for the group, so opening it never squeezes the rest.
    QSizePolicy keepRoom = adjFrame->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    adjFrame->setSizePolicy(keepRoom);
    adjFrame->setVisible(false);

    auto* side = new QVBoxLayout;
    side->addWidget(framesGroup);
    side->addWidget(destinationGroup);
    side->addStretch(1);
    auto* middle = new QHBoxLayout;
    middle->addWidget(previewGroup, 0, Qt::AlignTop);
    middle->addLayout(side, 1);

    auto* page = new QVBoxLayout(this);
    page->addWidget(sourceGroup);
    page->addLayout(middle);
    page->addWidget(adjFrame);
    page->addStretch(1);

    connect(scrBrowse, &QPushButton::clicked, this, &ScreensTab::Browse);
    connect(scrPreview, &PreviewBox::clicked, this, &ScreensTab::DisplayImageControls);
    connect(adjBlack, &QScrollBar::valueChanged, this, &ScreensTab::OnBlackChanged);
    connect(adjWhite, &QScrollBar::valueChanged, this, &ScreensTab::OnWhiteChanged);
    connect(adjApply, &QPushButton::clicked, this, &ScreensTab::OnApply);
    connect(adjRevert, &QPushButton::clicked, this, &ScreensTab::OnReload);
    connect(adjCancel, &QPushButton::clicked, this, &ScreensTab::OnCancel);
    connect(scrFrames, &QCheckBox::clicked, this, &ScreensTab::OnFramesClicked);
    connect(scrFramesPreview, &QCheckBox::clicked, this, &ScreensTab::OnFramesPreviewClicked);
    connect(scrSaveHL, &QPushButton::clicked, this, [this] { SaveLoadingScreen(true); });
    connect(scrSaveHC, &QPushButton::clicked, this, [this] { SaveLoadingScreen(false); });
    connect(scrFrames, &QCheckBox::toggled, &m_session, &GameSession::SetFrames);
}

void ScreensTab::UpdateEnabled()
{
    const bool enabled = !m_session.GameFolder().isEmpty() && HasPicture();
    scrSaveHL->setEnabled(enabled);
    scrSaveHC->setEnabled(enabled);
}

void ScreensTab::ShowFrameSwitches(const FrameSettings& frames)
{
    scrFrames->setChecked(frames.frames);
    scrFramesPreview->setEnabled(frames.frames);
    // Loaded even when disabled.
    scrFramesPreview->setChecked(frames.framesPreview);
}

FrameSettings ScreensTab::FrameSwitches() const
{
    FrameSettings frames;
    frames.frames = scrFrames->isChecked();
    frames.framesPreview = scrFramesPreview->isChecked();
    return frames;
}

void ScreensTab::ShowDisplayedPreview()
{
    scrPreview->Show(m_pictures.DisplayedPreview, m_pictures.PreviewLeft);
}

void ScreensTab::CloseAdjustment()
{
    adjFrame->setVisible(false);
}

void ScreensTab::Browse()
{
    if (adjFrame->isVisible()) {
        // A new picture discards the pending, unapplied adjustment.
        CloseAdjustment();
        m_pictures.ResetDisplayedPreview();
        ShowDisplayedPreview();
    }
    OpenFileRequest request;
    request.title = tr("Choose a picture");
    request.initialFolder = ReadLastImageDir(m_store);
    request.filter = kImageFilesFilter;
    const QString chosen = m_openFile ? m_openFile(this, request) : QString();
    if (chosen.isEmpty())
        return;
    if (UsePicture(chosen))
        WriteLastImageDir(m_store, ReturnPath(chosen));
}

bool ScreensTab::UsePicture(const QString& file)
{
    if (!LoadPicture(file))
        return false;
    RebuildFramePreviews();
    ShowDisplayedPreview();
    scrImage->setText(file);
    m_pictureFile = file;
    m_session.SetPictureFile(file);
    emit pictureChosen(file);
    return true;
}

bool ScreensTab::LoadPicture(const QString& file)
{
    const Result<> loaded = m_pictures.Load(m_host, file, SizeNumber(m_session.ScreenWidth()),
                                            SizeNumber(m_session.ScreenHeight()), scrPreview->width(), true);
    if (!loaded) {
        m_host.ShowFailure(loaded.error());
        return false;
    }
    m_session.SetSourcePicture(m_pictures.SourceImage);
    ShowDisplayedPreview();
    return true;
}

void ScreensTab::RebuildFramePreviews()
{
    m_pictures.RebuildFramePreviews(m_host, scrFrames->isChecked(), scrFramesPreview->isChecked(),
                                    m_session.LoginFrame(), m_session.CharacterFrame());
}

void ScreensTab::DisplayImageControls()
{
    if (!HasPicture() || adjFrame->isVisible())
        return;
    m_pictures.ResetDisplayedPreview();
    ShowDisplayedPreview();
    const QSignalBlocker blockBlack(adjBlack);
    const QSignalBlocker blockWhite(adjWhite);
    adjBlack->setValue(0);
    adjBlackDisplay->setText(QStringLiteral("0"));
    adjWhite->setValue(255);
    adjWhiteDisplay->setText(QStringLiteral("255"));
    adjFrame->setVisible(true);
}

void ScreensTab::OnBlackChanged(int value)
{
    const int pushed = PushBackBlack(value, adjWhite->value());
    if (pushed != value) {
        adjBlack->setValue(pushed); // raises the change once more with the value in force
        return;
    }
    adjBlackDisplay->setText(QString::number(value));
    m_pictures.PreviewLevels(value, adjWhite->value());
    ShowDisplayedPreview();
}

void ScreensTab::OnWhiteChanged(int value)
{
    const int pushed = PushBackWhite(adjBlack->value(), value);
    if (pushed != value) {
        adjWhite->setValue(pushed);
        return;
    }
    adjWhiteDisplay->setText(QString::number(value));
    m_pictures.PreviewLevels(adjBlack->value(), value);
    ShowDisplayedPreview();
}

void ScreensTab::OnApply()
{
    m_pictures.ApplyLevels(m_host, adjBlack->value(), adjWhite->value(), scrFrames->isChecked(),
                           scrFramesPreview->isChecked(), m_session.LoginFrame(), m_session.CharacterFrame());
    ShowDisplayedPreview();
    CloseAdjustment();
}

void ScreensTab::OnReload()
{
    if (LoadPicture(scrImage->text()))
        RebuildFramePreviews();
    else
        m_pictures.ResetDisplayedPreview(); // the picture a save writes, without the live adjustment
    ShowDisplayedPreview();
    CloseAdjustment();
}

void ScreensTab::OnCancel()
{
    m_pictures.ResetDisplayedPreview();
    ShowDisplayedPreview();
    CloseAdjustment();
}

void ScreensTab::OnFramesClicked()
{
    if (HasPicture()) {
        RebuildFramePreviews();
        ShowDisplayedPreview();
    }
    scrFramesPreview->setEnabled(scrFrames->isChecked());
}

void ScreensTab::OnFramesPreviewClicked()
{
    if (HasPicture()) {
        RebuildFramePreviews();
        ShowDisplayedPreview();
    }
}

void ScreensTab::SaveLoadingScreen(bool login)
{
    QPushButton* button = login ? scrSaveHL : scrSaveHC;
    button->setEnabled(false);
    LoadingScreenJob job;
    job.screen = login ? LoadingScreen::Login : LoadingScreen::Character;
    job.gameFolder = m_session.GameFolder();
    // Applied levels are already part of the source picture.
    job.picture = m_pictures.SourceImage;
    job.frame = m_session.FrameFor(login);
    job.compress = m_session.Compress();
    if (const Result<QString> written = ::SaveLoadingScreen(m_host, m_environment, job); !written)
        m_host.ShowFailure(written.error());
    button->setEnabled(true);
}

bool ScreensTab::eventFilter(QObject* watched, QEvent* event)
{
    // Pointing at a save button shows the preview with that button's frame.
    if ((watched == scrSaveHL || watched == scrSaveHC) &&
        (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove)) {
        if (m_pictures.ShowFramedPreview(watched == scrSaveHL ? 1 : 2))
            ShowDisplayedPreview();
    }
    return QWidget::eventFilter(watched, event);
}
