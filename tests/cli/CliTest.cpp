#include "TestTools.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utility>

namespace {

class CliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("game"))));
        QImage grey(400, 300, QImage::Format_RGB888);
        grey.fill(QColor(128, 128, 128));
        ASSERT_TRUE(grey.save(Path(QStringLiteral("grey.png"))));
    }

    QString Path(const QString& relative) const { return m_dir.filePath(relative); }

    // The tool's environment: the work folder in the test's own folder, never
    // the real home; a folder of stand-in programs first on PATH when asked.
    QProcessEnvironment CliEnvironment(const QString& standIns = QString()) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), Path(QStringLiteral("cache")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), Path(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), Path(QStringLiteral("share")));
        // Without --game the tool looks for games below the home folder.
        environment.insert(QStringLiteral("HOME"), Path(QStringLiteral("home")));
        environment.remove(QStringLiteral("WINEPREFIX"));
        if (!standIns.isEmpty())
            environment.insert(QStringLiteral("PATH"),
                               standIns + QLatin1Char(':') + environment.value("PATH"));
        return environment;
    }

    ProcessResult Cli(const QStringList& arguments, const QString& standIns = QString()) const
    {
        return RunTool(QStringLiteral(LUMIVALE_BIN_DIR "/lumivale-cli"), arguments, 120000,
                       CliEnvironment(standIns));
    }

    // The tool run through the shell, whose printf makes argument bytes that
    // are not UTF-8 (QProcess would encode them as text).
    ProcessResult CliShell(const QByteArray& arguments) const
    {
        return RunTool(QStringLiteral("/bin/sh"),
                       {QStringLiteral("-c"), QString::fromUtf8("exec \"$0\" " + arguments),
                        QStringLiteral(LUMIVALE_BIN_DIR "/lumivale-cli")},
                       120000, CliEnvironment());
    }

    QString LoginFile(const QString& game) const
    {
        return Path(game + QStringLiteral("/data/texture_library/GUI/CREATION/HybridUI/LoginScreen/"
                                          "COH_LogInScreen_Background.texture"));
    }

    QStringList Screen(const QString& screen, const QStringList& extra = {}) const
    {
        return QStringList{QStringLiteral("screen"), screen, Path(QStringLiteral("grey.png")),
                           QStringLiteral("--game"), Path(QStringLiteral("game"))} +
               extra;
    }

    // Blue, green, red of a pixel of the written character screen (y from the top).
    QByteArray CharacterPixel(int x, int y) const
    {
        const QByteArray bytes = ReadAll(Path(QStringLiteral(
            "game/data/texture_library/GUI/CREATION/HybridUI/CharacterCreationUI/background.texture")));
        return bytes.mid(105 + 128 + (qsizetype(y) * 1024 + x) * 4, 3);
    }

    QTemporaryDir m_dir;
};

TEST_F(CliTest, RefusesBadCommandLinesWithUsage)
{
    const QString picture = Path(QStringLiteral("grey.png"));
    const QString game = Path(QStringLiteral("game"));
    const QList<QStringList> bad = {
        {},
        {QStringLiteral("frobnicate")},
        {QStringLiteral("-randomizer")},
        {QStringLiteral("screen"), QStringLiteral("login")},
        {QStringLiteral("screen"), QStringLiteral("lobby"), picture, QStringLiteral("--game"), game},
        {QStringLiteral("screen"), QStringLiteral("login"), picture},
        Screen(QStringLiteral("login"), {QStringLiteral("--black"), QStringLiteral("300")}),
        Screen(QStringLiteral("login"), {QStringLiteral("--white"), QStringLiteral("x")}),
        Screen(QStringLiteral("login"), {QStringLiteral("--black"), QStringLiteral("200"),
                                         QStringLiteral("--white"), QStringLiteral("100")}),
    };
    for (const QStringList& arguments : bad) {
        const ProcessResult r = Cli(arguments);
        EXPECT_EQ(r.exitCode, 2) << qPrintable(arguments.join(u' '));
        EXPECT_TRUE(r.err.contains("screen login|character")) << qPrintable(arguments.join(u' '));
    }
    EXPECT_TRUE(QDir(game).isEmpty());

    const ProcessResult help = Cli({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("screen login|character PICTURE [--game DIR]"));
}

TEST_F(CliTest, FailuresExitNonZeroWithTheMessage)
{
    ProcessResult r =
        Cli({QStringLiteral("screen"), QStringLiteral("login"), Path(QStringLiteral("missing.jpg")),
             QStringLiteral("--game"), Path(QStringLiteral("game"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Image could not be loaded.")) << r.err.constData();

    r = Cli({QStringLiteral("screen"), QStringLiteral("login"), Path(QStringLiteral("grey.png")),
             QStringLiteral("--game"), Path(QStringLiteral("nowhere"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("nowhere"))));

    // The login folder is blocked by a file of that name.
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("game/data/texture_library/GUI/CREATION/HybridUI"))));
    ASSERT_TRUE(
        WriteBytes(Path(QStringLiteral("game/data/texture_library/GUI/CREATION/HybridUI/LoginScreen")), "x"));
    r = Cli(Screen(QStringLiteral("login")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Error writing image. Please check file permissions."));
}

TEST_F(CliTest, WritesTheScreenWithLevelsAndFrame)
{
    ProcessResult r = Cli(Screen(QStringLiteral("character")));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.err.contains("Writing background...")) << r.err.constData();
    EXPECT_EQ(CharacterPixel(0, 0), QByteArray(3, char(128)));
    EXPECT_EQ(CharacterPixel(1023, 1023), QByteArray(3, char(128)));

    // 128 stretched between 50 and 200: (128 - 50) * 255 / 150 = 132.6.
    r = Cli(Screen(QStringLiteral("character"), {QStringLiteral("--black"), QStringLiteral("50"),
                                                 QStringLiteral("--white"), QStringLiteral("200")}));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(CharacterPixel(10, 10), QByteArray(3, char(133)));

    // The picture shows where the frame is magenta; elsewhere the frame's green.
    QImage frame(1024, 768, QImage::Format_RGB888);
    frame.fill(QColor(0, 255, 0));
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 512; ++x)
            frame.setPixelColor(x, y, QColor(255, 0, 255));
    ASSERT_TRUE(frame.save(Path(QStringLiteral("frame.png"))));
    r = Cli(
        Screen(QStringLiteral("character"), {QStringLiteral("--frame"), Path(QStringLiteral("frame.png"))}));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(CharacterPixel(100, 100), QByteArray(3, char(128)));
    EXPECT_EQ(CharacterPixel(900, 100), QByteArray::fromHex("00ff00"));
}

// A compressor that fails: its message and the write message, once each, a
// non-zero exit, and the old game file as it was.
TEST_F(CliTest, FailingCompressorIsReportedOnceAndTheOldFileStays)
{
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("fake"))));
    ASSERT_TRUE(
        WriteScript(Path(QStringLiteral("fake/nvcompress")), "printf 'DDS junk' > temp_dds.dds\nexit 1\n"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(LoginFile(QStringLiteral("game"))).path()));
    ASSERT_TRUE(WriteBytes(LoginFile(QStringLiteral("game")), "old"));
    const ProcessResult r =
        Cli(Screen(QStringLiteral("login"), {QStringLiteral("--compress")}), Path(QStringLiteral("fake")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.count("Error calling the NVIDIA tool!"), 1) << r.err.constData();
    EXPECT_EQ(r.err.count("Please disable Texture Compression."), 1);
    EXPECT_EQ(r.err.count("Error writing image. Please check file permissions."), 1);
    EXPECT_EQ(ReadAll(LoginFile(QStringLiteral("game"))), QByteArray("old"));
}

// Two compressed writes at once, each with its own picture and game folder:
// each game gets its own picture, complete, every time.
TEST_F(CliTest, TwoCompressedWritesAtOnceKeepTheirOwnPictures)
{
    if (QStandardPaths::findExecutable(QStringLiteral("nvcompress")).isEmpty())
        GTEST_SKIP() << "nvcompress is not installed";
    for (const auto& [name, colour] :
         {std::pair{"red.png", QColor(255, 0, 0)}, std::pair{"blue.png", QColor(0, 0, 255)}}) {
        QImage picture(1024, 768, QImage::Format_RGB888);
        picture.fill(colour);
        ASSERT_TRUE(picture.save(Path(QString::fromLatin1(name))));
    }
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("gA"))));
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("gB"))));
    const auto start = [&](QProcess& p, const char* picture, const char* game) {
        p.setProcessEnvironment(CliEnvironment());
        p.start(QStringLiteral(LUMIVALE_BIN_DIR "/lumivale-cli"),
                {QStringLiteral("screen"), QStringLiteral("login"), Path(QString::fromLatin1(picture)),
                 QStringLiteral("--game"), Path(QString::fromLatin1(game)), QStringLiteral("--compress")});
    };
    // The first colour of the first BC1 block: 5-6-5 bits, red F800, blue 001F.
    const auto firstColour = [&](const char* game) {
        const QByteArray bytes = ReadAll(LoginFile(QString::fromLatin1(game)));
        if (bytes.size() != 113 + 128 + 524288)
            return -1;
        return int(quint8(bytes[113 + 128])) | (int(quint8(bytes[113 + 129])) << 8);
    };
    for (int pair = 0; pair < 12; ++pair) {
        SCOPED_TRACE(pair);
        QProcess a, b;
        start(a, "red.png", "gA");
        start(b, "blue.png", "gB");
        ASSERT_TRUE(a.waitForFinished(60000));
        ASSERT_TRUE(b.waitForFinished(60000));
        EXPECT_EQ(a.exitCode(), 0) << a.readAllStandardError().constData();
        EXPECT_EQ(b.exitCode(), 0) << b.readAllStandardError().constData();
        EXPECT_EQ(firstColour("gA"), 0xF800);
        EXPECT_EQ(firstColour("gB"), 0x001F);
    }
    // Nothing of either run is left in the work folder but the last log.
    EXPECT_EQ(QDir(Path(QStringLiteral("cache/Lumivale"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("nvcompress.log")});
}

// FIFOs never hang the tool, as a picture or as a frame.
TEST_F(CliTest, FifosAreRefusedAtOnce)
{
    const QString fifo = Path(QStringLiteral("p.jpg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ProcessResult r = Cli({QStringLiteral("screen"), QStringLiteral("login"), fifo, QStringLiteral("--game"),
                           Path(QStringLiteral("game"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Image could not be loaded.")) << r.err.constData();
    r = Cli(Screen(QStringLiteral("login"), {QStringLiteral("--frame"), fifo}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Image could not be loaded.")) << r.err.constData();
    EXPECT_FALSE(QFileInfo::exists(LoginFile(QStringLiteral("game"))));
}

// A frame that is given but cannot serve says why and writes nothing.
TEST_F(CliTest, UnusableFrameFailsWithItsReason)
{
    QImage small(640, 480, QImage::Format_RGB888);
    small.fill(Qt::magenta);
    ASSERT_TRUE(small.save(Path(QStringLiteral("small.png"))));
    ProcessResult r =
        Cli(Screen(QStringLiteral("login"), {QStringLiteral("--frame"), Path(QStringLiteral("small.png"))}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Image is not 1024x768 pixels in size.")) << r.err.constData();
    r = Cli(Screen(QStringLiteral("login"), {QStringLiteral("--frame"), Path(QStringLiteral("gone.png"))}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Image could not be loaded.")) << r.err.constData();
    EXPECT_FALSE(QFileInfo::exists(LoginFile(QStringLiteral("game"))));
}

// The game's texture is a symlink to a file elsewhere: that file stays as it
// was, and the game gets a regular file of its own.
TEST_F(CliTest, SymlinkedTextureIsReplacedNotWrittenThrough)
{
    ASSERT_TRUE(WriteBytes(Path(QStringLiteral("victim")), "precious"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(LoginFile(QStringLiteral("game"))).path()));
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("victim")), LoginFile(QStringLiteral("game"))));
    const ProcessResult r = Cli(Screen(QStringLiteral("login")));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(ReadAll(Path(QStringLiteral("victim"))), QByteArray("precious"));
    EXPECT_FALSE(QFileInfo(LoginFile(QStringLiteral("game"))).isSymLink());
    EXPECT_EQ(ReadAll(LoginFile(QStringLiteral("game"))).size(), 113 + 4194432);

    // A data folder that leads out of the game folder stops the write and names it.
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("elsewhere"))));
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("game2"))));
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("elsewhere")), Path(QStringLiteral("game2/data"))));
    const ProcessResult out =
        Cli({QStringLiteral("screen"), QStringLiteral("login"), Path(QStringLiteral("grey.png")),
             QStringLiteral("--game"), Path(QStringLiteral("game2"))});
    EXPECT_EQ(out.exitCode, 1);
    EXPECT_TRUE(out.err.contains("Error writing image. Please check file permissions."))
        << out.err.constData();
    EXPECT_TRUE(out.err.contains("game2/data")) << out.err.constData();
    EXPECT_TRUE(QDir(Path(QStringLiteral("elsewhere"))).isEmpty());
}

// A full disk says so: the program's message and the system's reason.
TEST_F(CliTest, FullDiskGivesTheReasonOnASecondLine)
{
    const QString mount = Path(QStringLiteral("tiny"));
    ASSERT_TRUE(QDir().mkpath(mount));
    if (RunTool(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                          QStringLiteral("size=1m"), QStringLiteral("tmpfs"), mount})
            .exitCode != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    const ProcessResult r = Cli({QStringLiteral("screen"), QStringLiteral("login"),
                                 Path(QStringLiteral("grey.png")), QStringLiteral("--game"), mount});
    const QStringList left =
        QDir(mount + QStringLiteral("/data/texture_library/GUI/CREATION/HybridUI/LoginScreen"))
            .entryList(QDir::Files | QDir::Hidden);
    RunTool(QStringLiteral("umount"), {mount});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(
        r.err.contains("Error writing image. Please check file permissions.\nNo space left on device"))
        << r.err.constData();
    EXPECT_TRUE(left.isEmpty()) << qPrintable(left.join(u' '));
}

TEST_F(CliTest, PoolAddRandomizeAndShortcut)
{
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("pictures"))));
    QImage red(64, 48, QImage::Format_RGB888);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(Path(QStringLiteral("pictures/a.png"))));
    ASSERT_TRUE(red.save(Path(QStringLiteral("pictures/c.png"))));
    ASSERT_TRUE(WriteBytes(Path(QStringLiteral("pictures/b.jpg")), "broken"));
    const QString game = Path(QStringLiteral("game"));

    ProcessResult r = Cli({QStringLiteral("pool"), QStringLiteral("add"), QStringLiteral("login"),
                           Path(QStringLiteral("grey.png")), QStringLiteral("--game"), game});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out.trimmed(), Path(QStringLiteral("game/Lumivale/RandomHL/grey.png.dds")).toUtf8());

    // A pass with a picture that cannot be used: the others go in, it is named, exit 1.
    r = Cli({QStringLiteral("pool"), QStringLiteral("add"), QStringLiteral("character"),
             Path(QStringLiteral("pictures")), QStringLiteral("--game"), game});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.count('\n'), 2) << r.out.constData();
    EXPECT_TRUE(r.err.contains("Skipped b.jpg: Image could not be loaded.")) << r.err.constData();

    r = Cli({QStringLiteral("randomize"), QStringLiteral("--game"), game, QStringLiteral("--no-launch")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.contains("login: grey.png.dds -> ")) << r.out.constData();
    EXPECT_TRUE(r.out.contains("character: ")) << r.out.constData();
    // Without --no-launch and without paragonchat.exe: the launcher's message, exit 1.
    r = Cli({QStringLiteral("randomize"), QStringLiteral("--game"), game});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Unable to locate Paragon Chat in this folder.")) << r.err.constData();

    r = Cli({QStringLiteral("shortcut"), QStringLiteral("--game"), game});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(ReadAll(QString::fromUtf8(r.out.split('\n').first())).contains("-randomizer"));

    for (const QStringList& bad :
         {QStringList{QStringLiteral("pool"), QStringLiteral("add"), QStringLiteral("lobby"),
                      Path(QStringLiteral("grey.png")), QStringLiteral("--game"), game},
          QStringList{QStringLiteral("pool"), QStringLiteral("remove")},
          QStringList{QStringLiteral("randomize")}, QStringList{QStringLiteral("shortcut")}})
        EXPECT_EQ(Cli(bad).exitCode, 2) << qPrintable(bad.join(u' '));
}

// A game folder reached through the prefix's dosdevices/c: runs in that prefix
// (not the inherited one), and the launcher gets its arguments as they came.
TEST_F(CliTest, RandomizeAndShortcutUseThePrefixOfTheGameFolder)
{
    const QString prefix = QFileInfo(m_dir.path()).canonicalFilePath() + QStringLiteral("/prefix");
    ASSERT_TRUE(QDir().mkpath(prefix + QStringLiteral("/drive_c/Games/City of Heroes")));
    ASSERT_TRUE(QDir().mkpath(prefix + QStringLiteral("/dosdevices")));
    ASSERT_TRUE(QFile::link(QStringLiteral("../drive_c"), prefix + QStringLiteral("/dosdevices/c:")));
    ASSERT_TRUE(WriteBytes(prefix + QStringLiteral("/drive_c/Games/City of Heroes/paragonchat.exe"), "MZ"));
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("bin"))));
    const QByteArray seen = Path(QStringLiteral("seen")).toUtf8();
    ASSERT_TRUE(WriteScript(Path(QStringLiteral("bin/wine")),
                            "{ echo \"$WINEPREFIX\"; for a in \"$@\"; do echo \"$a\"; done; } > \"" + seen +
                                ".tmp\"\nmv \"" + seen + ".tmp\" \"" + seen + "\"\n"));
    const QString game = prefix + QStringLiteral("/dosdevices/c:/Games/City of Heroes");
    QProcessEnvironment environment = CliEnvironment(Path(QStringLiteral("bin")));
    environment.remove(QStringLiteral("WINEPREFIX"));

    ProcessResult r =
        RunTool(QStringLiteral(LUMIVALE_BIN_DIR "/lumivale-cli"),
                {QStringLiteral("randomize"), QStringLiteral("--game"), game, QStringLiteral("--"),
                 QStringLiteral("-project"), QStringLiteral("x"), QStringLiteral("two words")},
                60000, environment);
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    for (int i = 0; i < 100 && !QFileInfo::exists(QString::fromUtf8(seen)); ++i)
        QThread::msleep(20);
    EXPECT_EQ(ReadAll(QString::fromUtf8(seen)), (prefix + QLatin1Char('\n') + game +
                                                 QStringLiteral("/paragonchat.exe\n-project\nx\ntwo words\n"))
                                                    .toUtf8());

    r = RunTool(QStringLiteral(LUMIVALE_BIN_DIR "/lumivale-cli"),
                {QStringLiteral("shortcut"), QStringLiteral("--game"), game}, 60000, environment);
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(ReadAll(QString::fromUtf8(r.out.split('\n').first()))
                    .contains("Exec=env WINEPREFIX=" + prefix.toUtf8() + ' '))
        << r.out.constData();
}

// games lists what is found; without --game a subcommand takes the configured
// folder, else the one game found, and stops when there are several or none.
TEST_F(CliTest, GamesAndTheGameFolderWithoutGame)
{
    const QString home = QFileInfo(m_dir.path()).canonicalFilePath() + QStringLiteral("/home");
    const QString first = home + QStringLiteral("/.wine/drive_c/Games/City of Heroes");
    const QString second = home + QStringLiteral("/.wine/drive_c/Games/Paragon");
    const QString configured = Path(QStringLiteral("game"));
    const QString ini = Path(QStringLiteral("config/Lumivale/Lumivale.ini"));
    const QStringList screen{QStringLiteral("screen"), QStringLiteral("login"),
                             Path(QStringLiteral("grey.png"))};
    const struct
    {
        const char* step;
        std::function<void()> setUp;
        QStringList arguments;
        int exitCode;
        QByteArray out, err; // err: a part of it
        QString written;     // the game folder the screen went into
    } steps[] = {
        {"none found", [] {}, screen, 2, "", "--game DIR is required.", QString()},
        {"one found",
         [&] {
             ASSERT_TRUE(QDir().mkpath(first) && QDir().mkpath(second));
             ASSERT_TRUE(WriteBytes(first + QStringLiteral("/cityofheroes.exe"), "MZ"));
         },
         {QStringLiteral("games")},
         0,
         (first + '\t' + home + "/.wine\tWine\n").toUtf8(),
         "",
         QString()},
        {"the one found is used", [] {}, screen, 0, "", "", first},
        {"several found", [&] { ASSERT_TRUE(WriteBytes(second + QStringLiteral("/ParagonChat.exe"), "MZ")); },
         screen, 2, "",
         (first + '\t' + home + "/.wine\tWine\n" + second + '\t' + home + "/.wine\tWine\n").toUtf8(),
         QString()},
        {"the configured folder comes first",
         [&] {
             ASSERT_TRUE(QDir().mkpath(QFileInfo(ini).path()) &&
                         WriteBytes(ini, "[Software]\nCohLumivale\\CohPath=" + configured.toUtf8() + "\n"));
         },
         screen, 0, "", "", configured},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        s.setUp();
        const ProcessResult r = Cli(s.arguments);
        EXPECT_EQ(r.exitCode, s.exitCode) << r.err.constData();
        if (s.written.isEmpty())
            EXPECT_EQ(r.out, s.out);
        else
            EXPECT_TRUE(QFileInfo::exists(LoginFile(QDir(m_dir.path()).relativeFilePath(s.written))));
        EXPECT_TRUE(r.err.contains(s.err)) << r.err.constData();
    }
}

// A picture whose name is not UTF-8 is named on the command line, found in a
// folder and written as a pool file or a texture.
TEST_F(CliTest, NamesThatAreNotUtf8PassThrough)
{
    const QByteArray dir = QFile::encodeName(m_dir.path());
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("pictures"))));
    ASSERT_EQ(std::rename(QFile::encodeName(Path(QStringLiteral("grey.png"))).constData(),
                          dir + "/pictures/caf\xe9.png"),
              0);
    const QByteArray picture = "\"$(printf '" + dir + "/pictures/caf\\351.png')\"";
    const QByteArray game = " --game " + dir + "/game";

    ProcessResult r = CliShell("pool add login " + picture + game);
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out.trimmed(), Path(QStringLiteral("game/Lumivale/RandomHL/caf\uFFFD.png.dds")).toUtf8());
    r = CliShell("pool add character " + dir + "/pictures" + game);
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.err.contains("1 of 1 pictures added")) << r.err.constData();
    r = CliShell("texture set city_01_01 " + picture + game);
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    // QTemporaryDir cannot remove what Qt cannot name.
    std::remove(dir + "/pictures/caf\xe9.png");
}

} // namespace
