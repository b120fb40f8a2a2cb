#include "TestTools.h"
#include "randomizer/GameLauncher.h"
#include "randomizer/GameShortcut.h"
#include "randomizer/Pools.h"
#include "randomizer/RandomPick.h"
#include "randomizer/RandomizerSettings.h"
#include "randomizer/RunRandomizer.h"
#include "texture/TextureFormat.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

namespace {

TEST(ForwardedArgumentsTest, SwitchesAreTakenOutAndBoundariesKept)
{
    const struct
    {
        QStringList given, forwarded;
    } cases[] = {
        {{"-randomizer", "-project", "x"}, {"-project", "x"}},
        {{"-randomizer", "-skipupdate"}, {}},
        {{"-randomizer", "two words", ""}, {"two words", ""}},
        // Only the first of each, case-sensitive, also inside a word.
        {{"a", "-randomizer", "b", "-randomizer", "-SkipUpdate"}, {"a", "b", "-randomizer", "-SkipUpdate"}},
        {{"x-randomizerx", "-skipupdate-skipupdate"}, {"xx", "-skipupdate"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ForwardedArguments(c.given), c.forwarded) << qPrintable(c.given.join(u'|'));
}

class RandomizerRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_game = QFileInfo(m_dir.path()).canonicalFilePath() +
                 QStringLiteral("/wine/drive_c/Games/City of Heroes");
        ASSERT_TRUE(QDir().mkpath(m_game));
        m_environment = SystemEnvironment();
        m_environment.workFolder = Path("work");
        m_environment.random = [this] { return std::uniform_real_distribution<double>(0, 1)(m_rng); };
    }
    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    QString Pool(LoadingScreen screen) const { return m_game + QLatin1Char('/') + PoolFolder(screen); }
    // A pool file: a small surface whose first data byte tells which it is.
    void AddPoolFile(LoadingScreen screen, const QString& name, char mark = 'x')
    {
        ASSERT_TRUE(QDir().mkpath(Pool(screen)));
        ASSERT_TRUE(WriteBytes(Pool(screen) + QLatin1Char('/') + name,
                               DdsHeaderUncompressed(4, 4) + QByteArray(64, mark)));
    }
    QByteArray Installed(LoadingScreen screen) const
    {
        const LoadingScreenTarget target = TargetFor(screen);
        return ReadAll(m_game + QLatin1Char('/') + target.folder + QLatin1Char('/') + target.name +
                       QStringLiteral(".texture"));
    }
    RandomizerRunOutcome Run(GameLauncher* launcher = nullptr, bool noRepeat = false,
                             const QStringList& arguments = {QStringLiteral("-randomizer")})
    {
        RandomizerRunRequest request;
        request.gameFolder = m_game;
        request.arguments = arguments;
        request.noRepeat = noRepeat;
        request.launcher = launcher;
        return RunRandomizer(m_environment, m_store, request);
    }

    QTemporaryDir m_dir;
    QString m_game;
    Environment m_environment;
    std::mt19937 m_rng{42};
    SettingsStore m_store{m_dir.filePath(QStringLiteral("config/Lumivale.ini"))};
};

TEST_F(RandomizerRunTest, OnlyTheLoginPoolChangesOnlyTheLoginScreen)
{
    AddPoolFile(LoadingScreen::Login, QStringLiteral("only.jpg.dds"), 'L');
    const LoadingScreenTarget character = TargetFor(LoadingScreen::Character);
    ASSERT_TRUE(QDir().mkpath(m_game + QLatin1Char('/') + character.folder));
    ASSERT_TRUE(WriteBytes(
        m_game + QLatin1Char('/') + character.folder + QStringLiteral("/background.texture"), "old"));
    for (int run = 0; run < 3; ++run) {
        const RandomizerRunOutcome outcome = Run();
        ASSERT_EQ(outcome.screens.size(), 2);
        EXPECT_EQ(outcome.screens[0].pick, QStringLiteral("only.jpg.dds"));
        EXPECT_FALSE(outcome.screens[1].poolFound);
    }
    // The game's texture: the wrapped pool file, declared 1024 x 768.
    const QByteArray login = Installed(LoadingScreen::Login);
    ASSERT_EQ(login.size(), 113 + 128 + 64);
    EXPECT_EQ(U32At(login, 8), 1024u);
    EXPECT_EQ(U32At(login, 12), 768u);
    EXPECT_EQ(login.back(), 'L');
    EXPECT_EQ(Installed(LoadingScreen::Character), QByteArray("old"));
    EXPECT_EQ(m_store.Read(setting::kRandomHL), QStringLiteral("only.jpg.dds"));
}

TEST_F(RandomizerRunTest, TwoFilesAlternateAndAnEmptyPoolForgetsItsPick)
{
    AddPoolFile(LoadingScreen::Login, QStringLiteral("a.dds"), 'a');
    AddPoolFile(LoadingScreen::Login, QStringLiteral("b.dds"), 'b');
    QString previous;
    int changes = 0;
    for (int run = 0; run < 40; ++run) {
        const QString pick = Run().screens[0].pick;
        changes += pick != previous;
        previous = pick;
    }
    // A repeat needs ten draws in a row on the last pick: about once in a thousand runs.
    EXPECT_GE(changes, 39);

    QFile::remove(Pool(LoadingScreen::Login) + QStringLiteral("/a.dds"));
    QFile::remove(Pool(LoadingScreen::Login) + QStringLiteral("/b.dds"));
    const RandomizerRunOutcome empty = Run();
    EXPECT_TRUE(empty.screens[0].poolFound);
    EXPECT_TRUE(empty.screens[0].pick.isEmpty());
    EXPECT_TRUE(m_store.Read(setting::kRandomHL).isEmpty());
    EXPECT_EQ(Installed(LoadingScreen::Login).back(), previous == QStringLiteral("a.dds") ? 'a' : 'b');
}

// Every picture once before any repeats, also with files added between starts,
// and a new round never starts with the last file of the one before.
TEST_F(RandomizerRunTest, NoRepeatRoundsShowEveryFileOnce)
{
    for (const char* name : {"1.dds", "2.dds", "3.dds"})
        AddPoolFile(LoadingScreen::Login, QString::fromLatin1(name));
    QStringList picks;
    for (int run = 0; run < 2; ++run)
        picks << Run(nullptr, true).screens[0].pick;
    AddPoolFile(LoadingScreen::Login, QStringLiteral("4.dds"));
    AddPoolFile(LoadingScreen::Login, QStringLiteral("5.dds"));
    for (int run = 0; run < 3; ++run)
        picks << Run(nullptr, true).screens[0].pick;
    EXPECT_EQ(QSet<QString>(picks.cbegin(), picks.cend()).size(), 5) << qPrintable(picks.join(u' '));
    // Removed files drop out of the round.
    for (int round = 0; round < 10; ++round) {
        QStringList roundPicks;
        for (int run = 0; run < 5; ++run)
            roundPicks << Run(nullptr, true).screens[0].pick;
        EXPECT_EQ(QSet<QString>(roundPicks.cbegin(), roundPicks.cend()).size(), 5);
        EXPECT_NE(roundPicks.first(), picks.last());
        picks = roundPicks;
    }
    QFile::remove(Pool(LoadingScreen::Login) + QStringLiteral("/5.dds"));
    QStringList afterRemoval;
    for (int run = 0; run < 4; ++run)
        afterRemoval << Run(nullptr, true).screens[0].pick;
    EXPECT_FALSE(afterRemoval.contains(QStringLiteral("5.dds")));
}

class LauncherTest : public RandomizerRunTest
{
protected:
    void SetUp() override
    {
        RandomizerRunTest::SetUp();
        ASSERT_TRUE(QDir().mkpath(Path("bin")));
        // Records its arguments, folder and prefix, then stays a while like a real launcher.
        ASSERT_TRUE(WriteScript(Path("bin/wine"),
                                "{ pwd; echo \"$WINEPREFIX\"; for a in \"$@\"; do echo \"[$a]\"; done; } "
                                "> \"" +
                                    Path("seen").toUtf8() +
                                    ".tmp\"\n"
                                    "mv \"" +
                                    Path("seen").toUtf8() + ".tmp\" \"" + Path("seen").toUtf8() +
                                    "\"\necho $$ > \"" + Path("pid").toUtf8() + "\"\nexec sleep 5\n"));
        m_path = QProcessEnvironment::systemEnvironment();
        m_path.insert(QStringLiteral("PATH"), Path("bin") + QStringLiteral(":/usr/bin:/bin"));
    }
    QByteArray WaitFor(const QString& file)
    {
        for (int i = 0; i < 100 && !QFileInfo::exists(file); ++i)
            QThread::msleep(20);
        return ReadAll(file);
    }
    QProcessEnvironment m_path;
};

TEST_F(LauncherTest, StartsParagonChatThroughWineWithoutWaiting)
{
    ASSERT_TRUE(WriteBytes(m_game + QStringLiteral("/ParagonChat.exe"), "MZ"));
    WineLauncher launcher(m_path);
    QElapsedTimer timer;
    timer.start();
    const RandomizerRunOutcome outcome =
        Run(&launcher, false, {"-randomizer", "-project", "x y", "-skipupdate"});
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_FALSE(outcome.launchFailure);
    const QList<QByteArray> seen = WaitFor(Path("seen")).split('\n');
    ASSERT_GE(seen.size(), 5);
    EXPECT_EQ(seen[0], m_game.toUtf8()); // the game folder, blanks and all
    EXPECT_EQ(seen[1], QFileInfo(Path("wine")).canonicalFilePath().toUtf8()); // the prefix above drive_c
    EXPECT_EQ(seen[2], "[" + m_game.toUtf8() + "/ParagonChat.exe]");
    EXPECT_EQ(seen[3], "[-project]");
    EXPECT_EQ(seen[4], "[x y]");
    EXPECT_EQ(seen.size(), 6); // and nothing else
    // The launcher still runs: nobody waited for it.
    const qint64 pid = WaitFor(Path("pid")).trimmed().toLongLong();
    ASSERT_GT(pid, 0);
    EXPECT_EQ(::kill(pid_t(pid), 0), 0);
    ::kill(pid_t(pid), SIGKILL);
}

TEST_F(LauncherTest, MissingLauncherOrWineIsToldWithTheStopIcon)
{
    WineLauncher launcher(m_path);
    const Result<> noFolder = launcher.Start(QString(), {});
    ASSERT_FALSE(noFolder);
    EXPECT_EQ(noFolder.error().Headline().text,
              QStringLiteral("Unable to start Paragon Chat: no game folder is set."));
    EXPECT_TRUE(noFolder.error().Reason().contains(QStringLiteral("Settings tab")));

    RandomizerRunOutcome outcome = Run(&launcher);
    ASSERT_TRUE(outcome.launchFailure);
    EXPECT_EQ(outcome.launchFailure->Headline().text,
              QStringLiteral("Unable to locate Paragon Chat in this folder.\n") + m_game);
    EXPECT_EQ(outcome.launchFailure->Headline().icon, MessageIcon::Critical);

    ASSERT_TRUE(WriteBytes(m_game + QStringLiteral("/paragonchat.exe"), "MZ"));
    QProcessEnvironment noWine = m_path;
    noWine.insert(QStringLiteral("PATH"), Path("empty"));
    WineLauncher without(noWine);
    outcome = Run(&without);
    ASSERT_TRUE(outcome.launchFailure);
    EXPECT_TRUE(outcome.launchFailure->Headline().text.contains(QStringLiteral("\"wine\"")));
    EXPECT_EQ(outcome.launchFailure->Headline().icon, MessageIcon::Critical);
}

// The Wine that starts the launcher: the setting, else the inherited $WINE,
// else the runner Lutris records for the prefix, else wine on PATH.
TEST_F(LauncherTest, StartsThroughTheChosenWine)
{
    ASSERT_TRUE(WriteBytes(m_game + QStringLiteral("/paragonchat.exe"), "MZ"));
    const QString runner = Path("home/.local/share/lutris/runners/wine/lutris-8.0/bin/wine");
    const QString other = Path("other/wine");
    for (const QString& script : {runner, other, Path("bin/wine")}) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(script).path()));
        ASSERT_TRUE(WriteScript(script, "{ echo \"$0\"; echo \"$WINEPREFIX\"; } > \"" + Path("ran").toUtf8() +
                                            ".tmp\"; mv \"" + Path("ran").toUtf8() + ".tmp\" \"" +
                                            Path("ran").toUtf8() + "\"\n"));
    }
    ASSERT_TRUE(QDir().mkpath(Path("home/.config/lutris/games")));
    ASSERT_TRUE(WriteBytes(Path("home/.config/lutris/games/coh.yml"),
                           "game:\n  prefix: " + Path("wine").toUtf8() + "\nwine:\n  version: lutris-8.0\n"));
    DiscoveryPlaces places;
    places.home = Path("home");
    places.configHome = Path("home/.config");
    places.dataHome = Path("home/.local/share");

    const struct
    {
        QString setting, inherited, ran; // ran "" = refused
        DiscoveryPlaces places;
    } cases[] = {
        {QString(), QString(), runner, places},
        {QString(), other, other, places},
        {QStringLiteral("wine"), other, Path("bin/wine"), places}, // a name is looked up on PATH
        {QString(), QString(), Path("bin/wine"), DiscoveryPlaces()},
        {Path("nowhere/wine"), QString(), QString(), places},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.setting + QLatin1Char('|') + c.inherited));
        QFile::remove(Path("ran"));
        QProcessEnvironment environment = m_path;
        if (!c.inherited.isEmpty())
            environment.insert(QStringLiteral("WINE"), c.inherited);
        WineLauncher launcher(environment, c.setting, c.places);
        const Result<> started = launcher.Start(m_game, {});
        if (c.ran.isEmpty()) {
            ASSERT_FALSE(started);
            EXPECT_TRUE(started.error().Headline().text.contains(c.setting))
                << qPrintable(started.error().Text());
            EXPECT_TRUE(started.error().Reason().contains(QStringLiteral("\"Wine program\"")));
            continue;
        }
        ASSERT_TRUE(started) << qPrintable(started.error().Text());
        const QList<QByteArray> seen = WaitFor(Path("ran")).split('\n');
        ASSERT_GE(seen.size(), 2);
        EXPECT_EQ(QFileInfo(QString::fromUtf8(seen[0])).canonicalFilePath(),
                  QFileInfo(c.ran).canonicalFilePath());
        EXPECT_EQ(seen[1], QFileInfo(Path("wine")).canonicalFilePath().toUtf8());
    }
}

// The prefix of the folder as it is on disk, however it was reached; the
// shortcut names the same one the launcher uses.
TEST(WinePrefixTest, ThePrefixIsFoundAfterSymlinksAndThroughDosdevices)
{
    QTemporaryDir dir;
    const QString real = QFileInfo(dir.path()).canonicalFilePath() + QStringLiteral("/real");
    ASSERT_TRUE(QDir().mkpath(real + QStringLiteral("/drive_c/Games/City of Heroes")));
    ASSERT_TRUE(QDir().mkpath(real + QStringLiteral("/dosdevices")));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("elsewhere/COH"))));
    ASSERT_TRUE(QFile::link(QStringLiteral("../drive_c"), real + QStringLiteral("/dosdevices/c:")));
    ASSERT_TRUE(
        QFile::link(dir.filePath(QStringLiteral("elsewhere")), real + QStringLiteral("/dosdevices/d:")));
    ASSERT_TRUE(QFile::link(real, dir.filePath(QStringLiteral("linked"))));
    const struct
    {
        QString game, prefix;
    } cases[] = {
        {real + QStringLiteral("/dosdevices/c:/Games/City of Heroes"), real},
        {dir.filePath(QStringLiteral("linked/dosdevices/c:/Games/City of Heroes")), real},
        {dir.filePath(QStringLiteral("linked/drive_c/Games/City of Heroes")), real},
        {real + QStringLiteral("/dosdevices/d:/COH"), real},
        // Folders that do not exist (yet) go by their spelling.
        {QStringLiteral("/home/u/.wine/Drive_C/CoH"), QStringLiteral("/home/u/.wine")},
        {QStringLiteral("/opt/coh"), QString()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WinePrefixOf(c.game), c.prefix) << qPrintable(c.game);
        EXPECT_EQ(ShortcutWinePrefix(c.game, QString()), c.prefix) << qPrintable(c.game);
    }
}

TEST(GameShortcutTest, EntryQuotesByTheDesktopRulesAndValidates)
{
    EXPECT_EQ(DesktopExecArgument(QStringLiteral("/usr/bin/lumivale")), QStringLiteral("/usr/bin/lumivale"));
    EXPECT_EQ(DesktopExecArgument(QStringLiteral("/home/u/My Games/lumivale")),
              QStringLiteral("\"/home/u/My Games/lumivale\""));
    EXPECT_EQ(DesktopExecArgument(QStringLiteral("a\"b$c`d\\e 100%")),
              QStringLiteral("\"a\\\"b\\$c\\`d\\\\e 100%%\""));

    QTemporaryDir dir;
    Environment environment = SystemEnvironment();
    environment.windowProgram = dir.filePath(QStringLiteral("My Programs/lumivale"));
    environment.applicationsFolder = dir.filePath(QStringLiteral("share/applications"));
    const QString desktop = dir.filePath(QStringLiteral("Desktop"));
    ASSERT_TRUE(QDir().mkpath(desktop));
    environment.desktopFolder = [desktop] { return desktop; };
    const QString game = dir.filePath(QStringLiteral("prefix $x/drive_c/Games/City of Heroes"));
    const Result<QStringList> written = CreateGameShortcut(environment, game);
    ASSERT_TRUE(written) << qPrintable(written.error().Text());
    ASSERT_EQ(written->size(), 2);
    EXPECT_TRUE(QFileInfo(written->at(1)).isExecutable());
    const QByteArray entry = ReadAll(written->at(0));
    EXPECT_EQ(entry, ReadAll(written->at(1)));
    const QString prefix = dir.filePath(QStringLiteral("prefix $x"));
    EXPECT_TRUE(entry.contains(
        ("Exec=env \"WINEPREFIX=" + QString(prefix).replace(QStringLiteral("$"), QStringLiteral("\\\\$")) +
         "\" \"" + environment.windowProgram + "\" -randomizer\n")
            .toUtf8()))
        << entry.constData();

    // A FIFO where the entry goes is left as it is.
    Environment fifo = environment;
    fifo.applicationsFolder = dir.filePath(QStringLiteral("fifo"));
    ASSERT_TRUE(QDir().mkpath(fifo.applicationsFolder));
    const QByteArray node = QFile::encodeName(fifo.applicationsFolder + QLatin1Char('/') + kShortcutFileName);
    ASSERT_EQ(::mkfifo(node.constData(), 0600), 0);
    const Result<QStringList> refused = CreateGameShortcut(fifo, game);
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.error().Reason().startsWith(QLatin1String("It is a FIFO")))
        << qPrintable(refused.error().Text());
    struct stat info = {};
    EXPECT_TRUE(::lstat(node.constData(), &info) == 0 && S_ISFIFO(info.st_mode));

    if (QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    const ProcessResult validated = RunTool(QStringLiteral("desktop-file-validate"), {written->at(0)});
    EXPECT_EQ(validated.exitCode, 0) << validated.out.constData() << validated.err.constData();
    EXPECT_TRUE(validated.out.isEmpty()) << validated.out.constData();

    // Wine's default prefix needs no WINEPREFIX in the entry.
    EXPECT_EQ(ShortcutWinePrefix(QStringLiteral("/opt/coh"), QString()), QString());
    EXPECT_FALSE(GameShortcutEntry(QStringLiteral("/usr/bin/lumivale"), QString(), QStringLiteral("/opt/coh"))
                     .contains("WINEPREFIX"));
    // The Wine the launcher would choose goes with it.
    EXPECT_TRUE(GameShortcutEntry(QStringLiteral("/usr/bin/lumivale"), QString(), QStringLiteral("/opt/coh"),
                                  QStringLiteral("/opt/wine 8/bin/wine"))
                    .contains("Exec=env \"WINE=/opt/wine 8/bin/wine\" /usr/bin/lumivale -randomizer\n"));
}

} // namespace
