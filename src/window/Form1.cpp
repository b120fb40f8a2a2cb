#include "window/Form1.h"

#include "app/AppPaths.h"
#include "app/Credits.h"
#include "app/GameLocation.h"
#include "app/Startup.h"
#include "app/ui/CreditsTab.h"
#include "app/ui/SettingsTab.h"
#include "controls/XPProgressBar.h"
#include "image/ui/ScreensTab.h"
#include "music/ui/MusicTab.h"
#include "online/ui/OnlineTab.h"
#include "randomizer/ui/RandomizerTab.h"
#include "window/WidgetBusyHost.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kTemporaryMusic = QStringLiteral("converted.ogg");

void SetCheck(QCheckBox* box, const QString& stored)
{
    box->setChecked(CheckValueFromText(stored) != 0);
}

QString CheckText(const QCheckBox* box)
{
    return CheckValueToText(box->isChecked() ? 1 : 0);
}

} // namespace

Form1::Form1(SettingsStore& store, WinePrefix prefix, QWidget* parent)
    : QWidget(parent), m_store(store), m_prefix(std::move(prefix)),
      m_clock([] { return SecondsSinceMidnight(QTime::currentTime()); })
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Lumivale"));

    SSTab1 = new QTabWidget;
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    XPProgressBar1 = new XPProgressBar;
    XPProgressBar1->setObjectName(QStringLiteral("XPProgressBar1"));
    XPProgressBar1->ApplyStatusLook();
    XPProgressBar1->setVisible(false);
    Quit = new QPushButton(tr("Close"));
    Quit->setObjectName(QStringLiteral("Quit"));
    rndTimeout = new QTimer(this);
    rndTimeout->setObjectName(QStringLiteral("rndTimeout"));
    rndTimeout->setInterval(1000);

    m_host = std::make_unique<WidgetBusyHost>(this, XPProgressBar1, SSTab1, Quit, [this] { return Now(); });

    const OpenFileFunction openFile = &ShowOpenFileDialog;
    settingsTab = new SettingsTab(*m_host, m_prefix, openFile);
    ScreensContext context;
    context.gameFolder = [this] { return settingsTab->setCohPath->text(); };
    context.screenWidth = [this] { return settingsTab->setWidth->text(); };
    context.screenHeight = [this] { return settingsTab->setHeight->text(); };
    context.frameHL = [this] { return settingsTab->FrameHL->text(); };
    context.frameHC = [this] { return settingsTab->FrameHC->text(); };
    context.compress = [this] { return settingsTab->setCompression->isChecked(); };
    screensTab = new ScreensTab(*m_host, m_store, context, openFile);
    randomizerTab = new RandomizerTab;
    musicTab = new MusicTab;
    texturesTab = new QWidget;
    texturesTab->setObjectName(QStringLiteral("TexturesTab"));
    onlineTab = new OnlineTab;
    creditsTab = new CreditsTab(*m_host);

    SSTab1->addTab(screensTab, tr("Screens"));
    SSTab1->addTab(randomizerTab, tr("Randomizer"));
    SSTab1->addTab(musicTab, tr("Music"));
    SSTab1->addTab(texturesTab, tr("Textures"));
    SSTab1->addTab(onlineTab, tr("Online"));
    SSTab1->addTab(settingsTab, tr("Settings"));
    SSTab1->addTab(creditsTab, tr("Credits"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(XPProgressBar1, 1);
    bottom->addStretch(0);
    bottom->addWidget(Quit, 0, Qt::AlignRight);
    auto* page = new QVBoxLayout(this);
    page->addWidget(SSTab1, 1);
    page->addLayout(bottom);

    connect(Quit, &QPushButton::clicked, this, &Form1::OnQuitClicked);
    connect(rndTimeout, &QTimer::timeout, this, &Form1::OnRandomizerTick);
    connect(settingsTab, &SettingsTab::gameFolderChosen, this, &Form1::UpdateEnabledControls);
    connect(randomizerTab->rndBrowse, &QPushButton::clicked, screensTab, &ScreensTab::Browse);
    connect(screensTab, &ScreensTab::pictureChosen, this, [this](const QString& path) {
        randomizerTab->SetChosenPicture(path);
        UpdateEnabledControls();
    });
}

Form1::~Form1() = default;

bool Form1::RandomizerMode() const
{
    return m_host->RandomizerMode();
}

void Form1::SetClock(Clock clock)
{
    m_clock = std::move(clock);
}

void Form1::SetOpenFileFunction(const OpenFileFunction& openFile)
{
    settingsTab->SetOpenFileFunction(openFile);
    screensTab->SetOpenFileFunction(openFile);
}

Form1::StartResult Form1::Startup(const QStringList& argumentsAfterProgram)
{
    if (m_started)
        return RandomizerMode() ? StartResult::RandomizerDone : StartResult::Interactive;
    m_started = true;

    // Values both modes need.
    settingsTab->setCohPath->setText(StartupGameFolder(m_store, m_prefix));
    for (int i = 0; i < OnlineTab::kSlots; ++i) {
        onlineTab->webFile[i]->setText(m_store.Read(QStringLiteral("webName%1").arg(i)));
        onlineTab->webURL[i]->setText(m_store.Read(QStringLiteral("webLink%1").arg(i)));
    }

    if (!IsRandomizerCommandLine(argumentsAfterProgram)) {
        LoadInteractiveSettings();
        return StartResult::Interactive;
    }

    m_host->SetRandomizerMode(true);
    m_lastActivityTime = Now();
    // Daily update: only a day without a finished update downloads.
    const bool updateDue =
        m_store.Read(QStringLiteral("LastOnlineUpdate")) != TodayText(QDate::currentDate());
    if (!updateDue || !StartDownloads()) {
        close();
        QCoreApplication::processEvents();
        return StartResult::RandomizerDone;
    }
    rndTimeout->start();
    return StartResult::RandomizerWaiting;
}

bool Form1::StartDownloads()
{
    // The online slots have no downloader yet: nothing starts, so the run ends.
    return false;
}

void Form1::LoadInteractiveSettings()
{
    setWindowTitle(QStringLiteral("Lumivale ") + GetVersionText());
    creditsTab->crdVersion->setText(GetVersionText());
    // The credits lines are joined with CR LF; a label wants bare line feeds.
    creditsTab->crdText->setText(CreditsText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    const QString keyName = m_store.Read(QStringLiteral("CohRegKey"));
    settingsTab->SetGameKeyName(keyName.isEmpty() ? QStringLiteral("Coh") : keyName);
    settingsTab->setWidth->setText(m_store.Read(QStringLiteral("CohWidth")));
    settingsTab->setHeight->setText(m_store.Read(QStringLiteral("CohHeight")));

    SetCheck(screensTab->scrFrames, m_store.Read(QStringLiteral("Frames")));
    screensTab->scrFramesPreview->setEnabled(screensTab->scrFrames->isChecked());
    SetCheck(screensTab->scrFramesPreview, m_store.Read(QStringLiteral("FramesPreview")));
    SetCheck(settingsTab->setCompression, m_store.Read(QStringLiteral("TextureCompression")));

    SetCheck(settingsTab->setAuto, m_store.Read(QStringLiteral("CohAuto")));
    if (settingsTab->setAuto->isChecked())
        settingsTab->OnAutoClicked();

    settingsTab->FrameHL->setText(m_store.Read(QStringLiteral("FrameHL")));
    settingsTab->FrameHC->setText(m_store.Read(QStringLiteral("FrameHC")));
    SetCheck(randomizerTab->rndFolder, m_store.Read(QStringLiteral("RandomFolder")));
    SetCheck(musicTab->sndFolder, m_store.Read(QStringLiteral("SoundFolder")));
}

void Form1::SaveSettings()
{
    m_store.Write(QStringLiteral("CohAuto"), CheckText(settingsTab->setAuto));
    m_store.Write(QStringLiteral("CohRegKey"), settingsTab->GameKeyName());
    m_store.Write(QStringLiteral("CohPath"), settingsTab->setCohPath->text());
    m_store.Write(QStringLiteral("CohWidth"), settingsTab->setWidth->text());
    m_store.Write(QStringLiteral("CohHeight"), settingsTab->setHeight->text());
    m_store.Write(QStringLiteral("RandomFolder"), CheckText(randomizerTab->rndFolder));
    m_store.Write(QStringLiteral("SoundFolder"), CheckText(musicTab->sndFolder));
    m_store.Write(QStringLiteral("Frames"), CheckText(screensTab->scrFrames));
    m_store.Write(QStringLiteral("FramesPreview"), CheckText(screensTab->scrFramesPreview));
    m_store.Write(QStringLiteral("FrameHL"), settingsTab->FrameHL->text());
    m_store.Write(QStringLiteral("FrameHC"), settingsTab->FrameHC->text());
    m_store.Write(QStringLiteral("TextureCompression"), CheckText(settingsTab->setCompression));
    for (int i = 0; i < OnlineTab::kSlots; ++i)
        m_store.Write(QStringLiteral("webLink%1").arg(i), onlineTab->webURL[i]->text());
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (m_host->Busy()) {
        event->ignore();
        return;
    }
    if (!RandomizerMode()) {
        QFile::remove(QDir(WorkFolder()).filePath(kTemporaryMusic));
        SaveSettings();
    }
    event->accept();
}

void Form1::OnQuitClicked()
{
    if (m_host->Busy()) {
        m_host->RequestCancel();
        return;
    }
    // A click that lands just after an operation ended (or after a Cancel
    // click) does not close the program.
    if (QuitClickCloses(Now(), m_host->LastIdleTime()))
        close();
}

void Form1::OnRandomizerTick()
{
    if (RandomizerSilenceExpired(Now(), m_lastActivityTime))
        close();
}

void Form1::UpdateEnabledControls()
{
    const bool haveGame = !settingsTab->setCohPath->text().isEmpty();
    const bool havePicture = !screensTab->scrImage->text().isEmpty();
    screensTab->scrSaveHL->setEnabled(haveGame && havePicture);
    screensTab->scrSaveHC->setEnabled(haveGame && havePicture);
}
