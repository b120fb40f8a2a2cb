#include "Controls.h"
#include "TestTools.h"
#include "WindowFixture.h"
#include "app/Credits.h"
#include "controls/ThemedProgressBar.h"
#include "music/ui/MusicTab.h"
#include "online/ui/OnlineTab.h"
#include "randomizer/ui/RandomizerTab.h"
#include "texture/ui/ScreensTab.h"
#include "window/CreditsTab.h"
#include "window/FoundGamesBox.h"
#include "window/SettingsTab.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QThread>
#include <optional>
#include <sys/stat.h>

namespace {

using MainWindowTest = WindowFixture;

TEST_F(MainWindowTest, TabsAndControlsCarryTheirNames)
{
    Start();
    QTabWidget* tabs = Find<QTabWidget>("SSTab1");
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    EXPECT_EQ(titles,
              (QStringList{"Screens", "Randomizer", "Music", "Textures", "Online", "Settings", "Credits"}));
    for (const char* name :
         {"SSTab1",    "XPProgressBar1", "Quit",      "scrFrames",  "scrFramesPreview", "rndFolder",
          "sndFolder", "setCompression", "FrameHL",   "FrameHC",    "setCohPath",       "setCohRegKey",
          "setBrowse", "setWidth",       "setHeight", "setAuto",    "crdVersion",       "crdText",
          "crdMail",   "webURL(0)",      "webURL(4)", "webFile(0)", "webFile(4)",       "webLabel(2)"})
        EXPECT_NE(m_window->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_FALSE(Find<ThemedProgressBar>("XPProgressBar1")->isVisibleTo(m_window.get()));
    EXPECT_EQ(Find<QPushButton>("Quit")->text(), "Close");
    EXPECT_EQ(m_window->windowTitle(), "Lumivale " + GetVersionText());
    EXPECT_EQ(Control<QLabel>(Find<CreditsTab>(), "crdVersion")->text(), GetVersionText());
}

TEST_F(MainWindowTest, SettingsRoundTripThroughTheWindow)
{
    const QString game = Path(QStringLiteral("game"));
    m_store->Write("CohPath", game);
    m_store->Write("CohRegKey", "CohBeta");
    m_store->Write("CohWidth", "1920");
    m_store->Write("CohHeight", "1080");
    m_store->Write("Frames", " 1");
    m_store->Write("FramesPreview", " 1");
    m_store->Write("TextureCompression", " 1");
    m_store->Write("CohAuto", " 0");
    m_store->Write("FrameHL", "/frames/login.png");
    m_store->Write("FrameHC", "/frames/chars.png");
    m_store->Write("RandomFolder", " 1");
    m_store->Write("SoundFolder", " 1");
    m_store->Write("WineProgram", "/opt/wine/bin/wine");
    m_store->Write("WinePrefixes", "/p/one:/p/two");
    for (int i = 0; i < 5; ++i) {
        m_store->Write(QStringLiteral("webName%1").arg(i), QStringLiteral("Sky %1").arg(i));
        m_store->Write(QStringLiteral("webLink%1").arg(i),
                       QStringLiteral("http://example.org/%1.jpg").arg(i));
    }
    Start();

    SettingsTab* s = Find<SettingsTab>();
    EXPECT_EQ(Control<QLineEdit>(s, "setCohPath")->text(), game);
    EXPECT_EQ(s->GameKeyName(), "CohBeta");
    EXPECT_EQ(Control<QLineEdit>(s, "setWidth")->text(), "1920");
    EXPECT_EQ(Control<QLineEdit>(s, "setHeight")->text(), "1080");
    EXPECT_TRUE(Control<QCheckBox>(Find<ScreensTab>(), "scrFrames")->isChecked());
    EXPECT_TRUE(Control<QCheckBox>(Find<ScreensTab>(), "scrFramesPreview")->isChecked());
    EXPECT_TRUE(Control<QCheckBox>(Find<ScreensTab>(), "scrFramesPreview")->isEnabled());
    EXPECT_TRUE(Control<QCheckBox>(s, "setCompression")->isChecked());
    EXPECT_FALSE(Control<QCheckBox>(s, "setAuto")->isChecked());
    EXPECT_EQ(Control<QLineEdit>(s, "FrameHL")->text(), "/frames/login.png");
    EXPECT_EQ(Control<QLineEdit>(s, "FrameHC")->text(), "/frames/chars.png");
    EXPECT_TRUE(Control<QCheckBox>(Find<RandomizerTab>(), "rndFolder")->isChecked());
    EXPECT_TRUE(Control<QCheckBox>(Find<MusicTab>(), "sndFolder")->isChecked());
    EXPECT_EQ(Control<QLineEdit>(s, "setWineProgram")->text(), "/opt/wine/bin/wine");
    EXPECT_EQ(Control<QLineEdit>(s, "setWinePrefixes")->text(), "/p/one:/p/two");
    EXPECT_EQ(Control<QLineEdit>(Find<OnlineTab>(), "webFile", 3)->text(), "Sky 3");
    EXPECT_EQ(Control<QLineEdit>(Find<OnlineTab>(), "webURL", 4)->text(), "http://example.org/4.jpg");

    // Change things and close: blanks delete, check boxes are written as " 0"/" 1".
    Control<QLineEdit>(s, "setWidth")->setText("   ");
    Control<QLineEdit>(s, "FrameHC")->clear();
    Control<QCheckBox>(s, "setAuto")->setChecked(true);
    Control<QCheckBox>(Find<ScreensTab>(), "scrFrames")->setChecked(false);
    Control<QLineEdit>(Find<OnlineTab>(), "webURL", 2)->clear();
    Control<QLineEdit>(Find<OnlineTab>(), "webFile", 1)->setText("changed");
    Control<QLineEdit>(s, "setWinePrefixes")->setText(" /p/one : : /p/three ");
    ASSERT_TRUE(m_window->close());

    QSettings raw(m_store->FilePath(), QSettings::IniFormat);
    const QStringList keys = raw.allKeys();
    auto stored = [&](const char* name) { return m_store->Read(QString::fromLatin1(name)); };
    EXPECT_EQ(stored("CohAuto"), " 1");
    EXPECT_EQ(stored("CohRegKey"), "CohBeta");
    EXPECT_EQ(stored("CohPath"), game);
    EXPECT_TRUE(stored("CohWidth").isEmpty());
    EXPECT_EQ(stored("CohHeight"), "1080");
    EXPECT_EQ(stored("Frames"), " 0");
    EXPECT_EQ(stored("FramesPreview"), " 1");
    EXPECT_EQ(stored("TextureCompression"), " 1");
    EXPECT_EQ(stored("FrameHL"), "/frames/login.png");
    EXPECT_TRUE(stored("FrameHC").isEmpty());
    EXPECT_EQ(stored("RandomFolder"), " 1");
    EXPECT_EQ(stored("SoundFolder"), " 1");
    EXPECT_EQ(stored("WineProgram"), "/opt/wine/bin/wine");
    EXPECT_EQ(stored("WinePrefixes"), "/p/one:/p/three");
    EXPECT_TRUE(stored("webLink2").isEmpty());
    EXPECT_EQ(stored("webLink0"), "http://example.org/0.jpg");
    // The slot's texture name is not the window's to save.
    EXPECT_EQ(stored("webName1"), "Sky 1");
    for (const QString& key : keys)
        EXPECT_FALSE(key.contains("CohWidth") || key.contains("FrameHC") || key.contains("webLink2"))
            << key.toStdString();
}

TEST_F(MainWindowTest, FramesPreviewStartsDisabledWhenFramesAreOff)
{
    m_store->Write("Frames", " 0");
    m_store->Write("FramesPreview", " 1");
    m_store->Write("CohAuto", "abc");
    Start();
    EXPECT_FALSE(Control<QCheckBox>(Find<ScreensTab>(), "scrFramesPreview")->isEnabled());
    EXPECT_TRUE(
        Control<QCheckBox>(Find<ScreensTab>(), "scrFramesPreview")->isChecked()); // loaded even when disabled
    EXPECT_FALSE(Control<QCheckBox>(Find<SettingsTab>(), "setAuto")->isChecked());
}

TEST_F(MainWindowTest, EmptyStoreStartsWithDefaults)
{
    Start();
    EXPECT_EQ(Find<SettingsTab>()->GameKeyName(), "Coh");
    EXPECT_TRUE(Control<QLineEdit>(Find<SettingsTab>(), "setCohPath")->text().isEmpty());
    EXPECT_FALSE(Control<QPushButton>(Find<ScreensTab>(), "scrSaveHL")->isEnabled());
    EXPECT_FALSE(Control<QPushButton>(Find<ScreensTab>(), "scrSaveHC")->isEnabled());
}

TEST_F(MainWindowTest, GameFolderFallsBackToTheFixedKeyWhateverCohRegKeyNames)
{
    QDir().mkpath(Path("wine/drive_c/Games/City of Heroes"));
    WriteGameKey("Coh", "C:\\GAMES\\city of heroes", "1600", "900");
    m_store->Write("CohRegKey", "CohTest");
    Start();
    EXPECT_EQ(Control<QLineEdit>(Find<SettingsTab>(), "setCohPath")->text(),
              Path("wine/drive_c/Games/City of Heroes"));
}

TEST_F(MainWindowTest, CloseIsRefusedWhileBusyAndSavesNothing)
{
    Start();
    m_window->show();
    Control<QLineEdit>(Find<SettingsTab>(), "setWidth")->setText("1280");
    auto busy = std::make_optional<BusyScope>(m_window->Host(), true, 10, "Working...");
    EXPECT_FALSE(m_window->close());
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_TRUE(m_store->Read("CohWidth").isEmpty());
    busy.reset();
    EXPECT_TRUE(m_window->close());
    EXPECT_EQ(m_store->Read("CohWidth"), "1280");
}

TEST_F(MainWindowTest, CloseDeletesTheConvertedMusic)
{
    Start();
    const QString work = qEnvironmentVariable("XDG_CACHE_HOME") + "/Lumivale";
    QDir().mkpath(work);
    QFile f(work + "/converted.ogg");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    ASSERT_TRUE(m_window->close());
    EXPECT_FALSE(QFile::exists(work + "/converted.ogg"));
}

TEST_F(MainWindowTest, QuitClickWithinATenthOfASecondOfTheBusyEndIsIgnored)
{
    Start();
    m_window->show();
    WidgetBusyHost& host = m_window->Host();
    auto busy = std::make_optional<BusyScope>(host, true, 100, "Converting x...");
    EXPECT_EQ(Find<QPushButton>("Quit")->text(), "Cancel");
    Find<QPushButton>("Quit")->click(); // Cancel
    EXPECT_TRUE(host.CancelRequested());
    EXPECT_TRUE(m_window->isVisible());
    m_now += 0.02;
    busy.reset();
    EXPECT_TRUE(host.CancelRequested()); // stays set until the next operation starts
    m_now += 0.05;
    Find<QPushButton>("Quit")->click(); // too soon: ignored
    EXPECT_TRUE(m_window->isVisible());
    m_now += 0.2;
    Find<QPushButton>("Quit")->click();
    EXPECT_FALSE(m_window->isVisible());
    busy.emplace(host, true, 0, QString());
    EXPECT_FALSE(host.CancelRequested());
    busy.reset();
}

TEST_F(MainWindowTest, BusyProtocolDrivesTheControls)
{
    Start();
    m_window->show();
    WidgetBusyHost& host = m_window->Host();
    auto busy = std::make_optional<BusyScope>(host, false, 200, "Writing background...");
    EXPECT_TRUE(host.Busy());
    EXPECT_TRUE(Find<ThemedProgressBar>("XPProgressBar1")->isVisible());
    EXPECT_FALSE(Find<QTabWidget>("SSTab1")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>("Quit")->isEnabled());
    EXPECT_EQ(Find<QPushButton>("Quit")->text(), "Cancel");
    EXPECT_EQ(Find<ThemedProgressBar>("XPProgressBar1")->CustomText(), "Writing background...");
    host.ReportProgress(100, {});
    EXPECT_EQ(Find<ThemedProgressBar>("XPProgressBar1")->CustomText(), "Writing background...");
    EXPECT_EQ(Find<ThemedProgressBar>("XPProgressBar1")->Percent(), 50);
    // A maximum of 0 keeps the previous one; an empty text shows a blank.
    busy->Restart(false, 0, {});
    EXPECT_EQ(Find<ThemedProgressBar>("XPProgressBar1")->Max(), 200);
    EXPECT_EQ(Find<ThemedProgressBar>("XPProgressBar1")->CustomText(), " ");
    busy.reset();
    EXPECT_FALSE(host.Busy());
    EXPECT_FALSE(Find<ThemedProgressBar>("XPProgressBar1")->isVisible());
    EXPECT_TRUE(Find<QTabWidget>("SSTab1")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>("Quit")->isEnabled());
    EXPECT_EQ(Find<QPushButton>("Quit")->text(), "Close");
}

// The busy protocol nests: a load or a write inside a longer operation shows
// its own text and range, then hands the outer ones back, and never unlocks
// the window before the outer operation ends. Its cancel reaches the inner work.
TEST_F(MainWindowTest, InnerBusyScopesKeepTheWindowLocked)
{
    Start();
    m_window->show();
    WidgetBusyHost& host = m_window->Host();
    auto pass = std::make_optional<BusyScope>(host, true, 3, "Image 1 of 3");
    EXPECT_TRUE(Find<QPushButton>("Quit")->isEnabled());
    {
        BusyScope load(host, false, 10, "Loading a.jpg...");
        EXPECT_EQ(Find<ThemedProgressBar>("XPProgressBar1")->CustomText(), "Loading a.jpg...");
        EXPECT_EQ(Find<ThemedProgressBar>("XPProgressBar1")->Max(), 10);
        // Cancel stays offered for the pass around it.
        EXPECT_TRUE(Find<QPushButton>("Quit")->isEnabled());
        Find<QPushButton>("Quit")->click();
        EXPECT_TRUE(load.Cancelled());
    }
    EXPECT_TRUE(host.Busy());
    EXPECT_FALSE(Find<QTabWidget>("SSTab1")->isEnabled());
    EXPECT_EQ(Find<QPushButton>("Quit")->text(), "Cancel");
    EXPECT_EQ(Find<ThemedProgressBar>("XPProgressBar1")->CustomText(), "Image 1 of 3");
    EXPECT_EQ(Find<ThemedProgressBar>("XPProgressBar1")->Max(), 3);
    {
        // An inner scope does not clear the cancel of the outer one.
        BusyScope write(host, false, 1024, "Writing a.jpg...");
        EXPECT_TRUE(write.Cancelled());
    }
    pass.reset();
    EXPECT_FALSE(host.Busy());
    EXPECT_TRUE(Find<QTabWidget>("SSTab1")->isEnabled());
    EXPECT_EQ(Find<QPushButton>("Quit")->text(), "Close");
    EXPECT_FALSE(Find<ThemedProgressBar>("XPProgressBar1")->isVisible());
}

TEST_F(MainWindowTest, SizeBoxesNormaliseWhenTheFocusLeaves)
{
    Start();
    m_window->show();
    Find<QTabWidget>("SSTab1")->setCurrentWidget(Find<SettingsTab>());
    QApplication::setActiveWindow(m_window.get());
    struct Case
    {
        const char* typed;
        const char* shown;
    };
    for (const Case& c :
         {Case{"1280 px", "1280"}, Case{"", "0"}, Case{"-800", "800"}, Case{"1024x768", "1024"}}) {
        QLineEdit* width = Control<QLineEdit>(Find<SettingsTab>(), "setWidth");
        width->setFocus();
        QApplication::processEvents();
        width->setText(QString::fromLatin1(c.typed));
        Control<QLineEdit>(Find<SettingsTab>(), "setHeight")->setFocus();
        QApplication::processEvents();
        EXPECT_EQ(width->text(), QString::fromLatin1(c.shown)) << c.typed;
    }
}

TEST_F(MainWindowTest, AutodetectFillsFolderAndKeepsHeightWithoutScreenY)
{
    QDir().mkpath(Path("wine/drive_c/Games/CoH"));
    WriteGameKey("Coh", "C:\\Games\\CoH", "1920", QString());
    m_store->Write("CohHeight", "900");
    m_store->Write("CohAuto", " 1");
    Start();
    SettingsTab* s = Find<SettingsTab>();
    EXPECT_EQ(Control<QLineEdit>(s, "setCohPath")->text(), Path("wine/drive_c/Games/CoH"));
    EXPECT_EQ(Control<QLineEdit>(s, "setWidth")->text(), "1920");
    EXPECT_EQ(Control<QLineEdit>(s, "setHeight")->text(), "900");
    EXPECT_FALSE(Control<QLineEdit>(s, "setCohPath")->isEnabled());
    EXPECT_FALSE(Control<QPushButton>(s, "setBrowse")->isEnabled());
    // Unticking keeps what was detected and gives the controls back.
    Control<QCheckBox>(s, "setAuto")->click();
    EXPECT_TRUE(Control<QLineEdit>(s, "setCohPath")->isEnabled());
    EXPECT_EQ(Control<QLineEdit>(s, "setCohPath")->text(), Path("wine/drive_c/Games/CoH"));
}

TEST_F(MainWindowTest, AutodetectWithoutTheKeyForcesManualEntry)
{
    m_store->Write("CohAuto", " 1");
    Start();
    SettingsTab* s = Find<SettingsTab>();
    EXPECT_FALSE(Control<QCheckBox>(s, "setAuto")->isEnabled());
    EXPECT_TRUE(Control<QLineEdit>(s, "setCohPath")->isEnabled());
    EXPECT_TRUE(Control<QLineEdit>(s, "setWidth")->isEnabled());
}

TEST_F(MainWindowTest, BrowseSetsTheFolderOfTheChosenClientOrNothingWhenCancelled)
{
    Start();
    SettingsTab* s = Find<SettingsTab>();
    m_nextFile.clear();
    Control<QPushButton>(s, "setBrowse")->click();
    EXPECT_TRUE(Control<QLineEdit>(s, "setCohPath")->text().isEmpty());
    EXPECT_EQ(m_lastRequest.fileName, "cityofheroes.exe");
    m_nextFile = Path("game/cityofvillains.exe");
    Control<QPushButton>(s, "setBrowse")->click();
    EXPECT_EQ(Control<QLineEdit>(s, "setCohPath")->text(), Path("game"));
}

// A home with a game installed in a Wine prefix (the game's key names its
// folder, where paragonchat.exe is) and a stand-in "wine" on PATH that
// records how it was started and ends at once.
QProcessEnvironment HomeWithGame(const QTemporaryDir& home)
{
    QDir().mkpath(home.filePath("wine/drive_c/Games/CoH"));
    QDir().mkpath(home.filePath("wine/dosdevices"));
    QFile::link("../drive_c", home.filePath("wine/dosdevices/c:"));
    WriteBytes(home.filePath("wine/drive_c/Games/CoH/paragonchat.exe"), "MZ");
    WriteBytes(home.filePath("wine/user.reg"), "WINE REGISTRY Version 2\n\n[Software\\\\Cryptic\\\\Coh] 1\n"
                                               "\"Installation Directory\"=\"C:\\\\Games\\\\CoH\"\n");
    QDir().mkpath(home.filePath("bin"));
    WriteScript(home.filePath("bin/wine"), "echo \"$@\" > \"$(dirname \"$0\")/started\"\n");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_CACHE_HOME", home.filePath("cache"));
    env.insert("WINEPREFIX", home.filePath("wine"));
    env.insert("PATH", home.filePath("bin") + ":" + env.value("PATH"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

TEST(MainWindowProcess, RandomizerRunWithoutPoolsStartsTheLauncherAndExitsAtOnceWithoutAWindow)
{
    QTemporaryDir home;
    QProcess p;
    p.setProcessEnvironment(HomeWithGame(home));
    QElapsedTimer timer;
    timer.start();
    p.start(QStringLiteral(LUMIVALE_BIN_DIR "/lumivale"), {"-randomizer"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    // Generous for sanitizer builds; the release build takes a small fraction of this.
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_FALSE(QFile::exists(home.filePath("config/Lumivale/Lumivale.ini")));
    for (int i = 0; i < 50 && !QFile::exists(home.filePath("bin/started")); ++i)
        QThread::msleep(50);
    EXPECT_TRUE(ReadAll(home.filePath("bin/started")).endsWith("paragonchat.exe\n"));
}

// A settings file that is a FIFO (or anything but a regular file) gives the
// defaults with a warning, for the window and the randomizer alike, and is
// never waited on or rewritten.
TEST(MainWindowProcess, FifoSettingsFileGivesDefaultsWithAWarning)
{
    QTemporaryDir home;
    QProcessEnvironment env = HomeWithGame(home);
    QDir().mkpath(home.filePath("config/Lumivale"));
    const QString ini = home.filePath("config/Lumivale/Lumivale.ini");
    ASSERT_EQ(::mkfifo(QFile::encodeName(ini).constData(), 0600), 0);
    for (const QStringList& arguments : {QStringList{"-randomizer"}, QStringList{}}) {
        QProcess p;
        QProcessEnvironment withExit = env;
        withExit.insert("LUMIVALE_EXIT_WHEN_SHOWN", "1");
        p.setProcessEnvironment(withExit);
        p.start(QStringLiteral(LUMIVALE_BIN_DIR "/lumivale"), arguments);
        ASSERT_TRUE(p.waitForFinished(10000)) << qPrintable(arguments.join(' '));
        EXPECT_EQ(p.exitCode(), 0);
        EXPECT_TRUE(p.readAllStandardError().contains("not a regular file"));
        EXPECT_FALSE(QFileInfo(ini).isFile());
    }
}

// The window's side: defaults at start, and the close check leaves the file alone.
TEST_F(MainWindowTest, FifoSettingsFileIsNeverRewritten)
{
    const QString ini = Path("fifo/Lumivale.ini");
    QDir().mkpath(Path("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(ini).constData(), 0600), 0);
    m_store = std::make_unique<SettingsStore>(ini);
    Start();
    EXPECT_TRUE(Control<QLineEdit>(Find<SettingsTab>(), "setCohPath")->text().isEmpty());
    Control<QLineEdit>(Find<SettingsTab>(), "setWidth")->setText("1280");
    EXPECT_TRUE(m_window->close());
    EXPECT_FALSE(QFileInfo(ini).isFile());
}

} // namespace
