#include "window/MainWindow.h"

#include "app/Credits.h"
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
    : QWidget(parent), m_store(store), m_environment(environment), m_prefix(std::move(prefix))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Lumivale"));

    SSTab1 = new QTabWidget;
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    XPProgressBar1 = new ThemedProgressBar;
    XPProgressBar1->setObjectName(QStringLiteral("XPProgressBar1"));
    XPProgressBar1->ApplyStatusLook();
    XPProgressBar1->setVisible(false);
    Quit = new QPushButton(tr("Close"));
    Quit->setObjectName(QStringLiteral("Quit"));

    m_host = std::make_unique<WidgetBusyHost>(this, XPProgressBar1, SSTab1, Quit, [this] { return Now(); });

    const OpenFileFunction openFile = &ShowOpenFileDialog;
    settingsTab =
        new SettingsTab(*m_host, m_prefix, m_environment.dataFolder, openFile, m_environment.winePlaces);
    ScreensContext context;
    context.gameFolder = [this] { return settingsTab->setCohPath->text(); };
    context.screenWidth = [this] { return settingsTab->setWidth->text(); };
    context.screenHeight = [this] { return settingsTab->setHeight->text(); };
    context.frameHL = [this] { return settingsTab->FrameHL->text(); };
    context.frameHC = [this] { return settingsTab->FrameHC->text(); };
    context.compress = [this] { return settingsTab->setCompression->isChecked(); };
    screensTab = new ScreensTab(*m_host, m_store, m_environment, context, openFile);
    RandomizerContext randomizer;
    randomizer.gameFolder = [this] { return settingsTab->setCohPath->text(); };
    randomizer.frames = [this] { return screensTab->scrFrames->isChecked(); };
    randomizer.frame = [this](LoadingScreen screen) {
        return screen == LoadingScreen::Login ? settingsTab->FrameHL->text() : settingsTab->FrameHC->text();
    };
    randomizer.compress = [this] { return settingsTab->setCompression->isChecked(); };
    randomizer.sourceImage = [this] { return screensTab->Pictures().SourceImage; };
    randomizer.usePicture = [this](const QString& file) { screensTab->UsePicture(file); };
    randomizer.wineProgram = [this] { return settingsTab->foundGames->WineProgram(); };
    randomizerTab = new RandomizerTab(*m_host, m_environment, randomizer);
    MusicContext music;
    music.gameFolder = [this] { return settingsTab->setCohPath->text(); };
    musicTab = new MusicTab(*m_host, m_store, m_environment, music, openFile);
    TexturesContext textures;
    textures.gameFolder = [this] { return settingsTab->setCohPath->text(); };
    textures.compress = [this] { return settingsTab->setCompression->isChecked(); };
    texturesTab = new TexturesTab(*m_host, m_store, m_environment, textures, openFile);
    OnlineContext online;
    online.gameFolder = [this] { return settingsTab->setCohPath->text(); };
    online.compress = [this] { return settingsTab->setCompression->isChecked(); };
    onlineTab = new OnlineTab(*m_host, m_store, m_environment, online);
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

    connect(Quit, &QPushButton::clicked, this, &MainWindow::OnQuitClicked);
    connect(SSTab1, &QTabWidget::currentChanged, this,
            [this](int index) { texturesTab->TabChanged(SSTab1->widget(index) == texturesTab); });
    connect(texturesTab, &TexturesTab::catalogueTaken, this, &MainWindow::textureCatalogueTaken);
    // Entering the Textures tab cancels a pick left open in the Online tab.
    connect(this, &MainWindow::textureCatalogueTaken, onlineTab, &OnlineTab::CloseTexturePicker);
    connect(settingsTab, &SettingsTab::gameFolderChosen, this, &MainWindow::UpdateEnabledControls);
    connect(randomizerTab->rndBrowse, &QPushButton::clicked, screensTab, &ScreensTab::Browse);
    connect(screensTab, &ScreensTab::pictureChosen, this, [this](const QString& path) {
        randomizerTab->SetChosenPicture(path);
        UpdateEnabledControls();
    });
    connect(musicTab, &MusicTab::enabledStateChanged, this, &MainWindow::UpdateEnabledControls);
}

MainWindow::~MainWindow() = default;

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
    creditsTab->crdVersion->setText(GetVersionText());
    // The credits lines are joined with CR LF; a label wants bare line feeds.
    creditsTab->crdText->setText(CreditsText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

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
    frames.frameHL = settingsTab->FrameHL->text();
    frames.frameHC = settingsTab->FrameHC->text();
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
    const bool haveGame = !settingsTab->setCohPath->text().isEmpty();
    screensTab->scrSaveHL->setEnabled(haveGame && screensTab->HasPicture());
    screensTab->scrSaveHC->setEnabled(haveGame && screensTab->HasPicture());
    const bool haveChoice = !randomizerTab->ChosenPicture().isEmpty();
    randomizerTab->rndSaveHL->setEnabled(haveGame && haveChoice);
    randomizerTab->rndSaveHC->setEnabled(haveGame && haveChoice);
    musicTab->sndSave->setEnabled(musicTab->CanSave());
}
