#include "window/MainWindow.h"

#include "app/Credits.h"
#include "app/GameSession.h"
#include "app/GameSettings.h"
#include "app/Startup.h"
#include "controls/ThemedProgressBar.h"
#include "image/ImageSettings.h"
#include "music/MusicSettings.h"
#include "music/ui/MusicTab.h"
#include "online/OnlineSettings.h"
#include "online/ui/OnlineTab.h"
#include "randomizer/RandomizerSettings.h"
#include "randomizer/ui/RandomizerTab.h"
#include "texture/TextureSettings.h"
#include "texture/ui/ScreensTab.h"
#include "texture/ui/TexturesTab.h"
#include "window/CreditsTab.h"
#include "window/FoundGamesBox.h"
#include "window/SettingsTab.h"
#include "window/WidgetBusyHost.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const QString kTemporaryMusic = QStringLiteral("converted.ogg");

} // namespace

MainWindow::MainWindow(SettingsStore& store, const Environment& environment, WinePrefix prefix,
                       QWidget* parent)
    : QWidget(parent), m_store(store), m_environment(environment), m_prefix(std::move(prefix)),
      m_session(new GameSession(this))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Lumivale"));

    tabs = new QTabWidget;
    tabs->setObjectName(QStringLiteral("SSTab1"));
    progressBar = new ThemedProgressBar;
    progressBar->setObjectName(QStringLiteral("XPProgressBar1"));
    progressBar->ApplyStatusLook();
    progressBar->setVisible(false);
    quitButton = new QPushButton(tr("Close"));
    quitButton->setObjectName(QStringLiteral("Quit"));

    m_host = std::make_unique<WidgetBusyHost>(this, progressBar, tabs, quitButton, [this] { return Now(); });

    const OpenFileFunction openFile = &ShowOpenFileDialog;
    settingsTab = new SettingsTab(*m_host, *m_session, m_prefix, m_environment.dataFolder, openFile,
                                  m_environment.winePlaces);
    screensTab = new ScreensTab(*m_host, m_store, m_environment, *m_session, openFile);
    randomizerTab = new RandomizerTab(*m_host, m_environment, *m_session);
    musicTab = new MusicTab(*m_host, m_store, m_environment, *m_session, openFile);
    texturesTab = new TexturesTab(*m_host, m_store, m_environment, *m_session, openFile);
    onlineTab = new OnlineTab(*m_host, m_store, m_environment, *m_session);
    creditsTab = new CreditsTab(*m_host);

    tabs->addTab(screensTab, tr("Screens"));
    tabs->addTab(randomizerTab, tr("Randomizer"));
    tabs->addTab(musicTab, tr("Music"));
    tabs->addTab(texturesTab, tr("Textures"));
    tabs->addTab(onlineTab, tr("Online"));
    tabs->addTab(settingsTab, tr("Settings"));
    tabs->addTab(creditsTab, tr("Credits"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(progressBar, 1);
    bottom->addStretch(0);
    bottom->addWidget(quitButton, 0, Qt::AlignRight);
    auto* page = new QVBoxLayout(this);
    page->addWidget(tabs, 1);
    page->addLayout(bottom);

    connect(quitButton, &QPushButton::clicked, this, &MainWindow::OnQuitClicked);
    connect(tabs, &QTabWidget::currentChanged, this,
            [this](int index) { texturesTab->TabChanged(tabs->widget(index) == texturesTab); });
    connect(texturesTab, &TexturesTab::catalogueTaken, this, &MainWindow::textureCatalogueTaken);
    // Entering the Textures tab cancels a pick left open in the Online tab.
    connect(this, &MainWindow::textureCatalogueTaken, onlineTab, &OnlineTab::CloseTexturePicker);
    connect(settingsTab, &SettingsTab::gameFolderChosen, this, &MainWindow::UpdateEnabledControls);
    connect(randomizerTab, &RandomizerTab::browseRequested, screensTab, &ScreensTab::Browse);
    connect(randomizerTab, &RandomizerTab::lastPictureOfPass, screensTab, &ScreensTab::UsePicture);
    connect(screensTab, &ScreensTab::pictureChosen, this, &MainWindow::UpdateEnabledControls);
}

// The tabs go first, while the session and the busy host they hold still
// exist, and without telling this window about pages that go away.
MainWindow::~MainWindow()
{
    tabs->disconnect(this);
    delete tabs;
}

void MainWindow::SetOpenFileFunction(const OpenFileFunction& openFile)
{
    settingsTab->SetOpenFileFunction(openFile);
    screensTab->SetOpenFileFunction(openFile);
    texturesTab->SetOpenFileFunction(openFile);
    musicTab->SetOpenFileFunction(openFile);
    onlineTab->SetOpenFileFunction(openFile);
}

void MainWindow::Startup()
{
    if (m_started)
        return;
    m_started = true;

    setWindowTitle(QStringLiteral("Lumivale ") + GetVersionText());
    creditsTab->ShowCredits();

    const FrameSettings frames = FrameSettings::Load(m_store);
    settingsTab->ShowGame(GameSettings::Load(m_store, m_prefix));
    onlineTab->ShowSettings(OnlineSettings::Load(m_store));
    screensTab->ShowFrameSwitches(frames);
    settingsTab->ShowCompression(TextureSettings::Load(m_store));
    settingsTab->ShowFramePictures(frames);
    randomizerTab->ShowSettings(RandomizerSettings::Load(m_store));
    musicTab->ShowSettings(MusicSettings::Load(m_store));
}

FrameSettings MainWindow::Frames() const
{
    FrameSettings frames = screensTab->FrameSwitches();
    frames.frameHL = m_session->LoginFrame();
    frames.frameHC = m_session->CharacterFrame();
    return frames;
}

void MainWindow::SaveSettings()
{
    // The close check's order: game location, the two folder switches, the
    // frames, compression, then the addresses of the online slots.
    settingsTab->Game().Save(m_store);
    randomizerTab->Settings().Save(m_store);
    musicTab->Settings().Save(m_store);
    Frames().Save(m_store);
    settingsTab->Compression().Save(m_store);
    onlineTab->Settings().SaveLinks(m_store);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_host->Busy()) {
        event->ignore();
        return;
    }
    QFile::remove(QDir(m_environment.workFolder).filePath(kTemporaryMusic));
    SaveSettings();
    event->accept();
}

void MainWindow::OnQuitClicked()
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

void MainWindow::UpdateEnabledControls()
{
    screensTab->UpdateEnabled();
    randomizerTab->UpdateEnabled();
}
