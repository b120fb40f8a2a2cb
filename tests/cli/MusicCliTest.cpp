#include "SoundTools.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class MusicCliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(Path("game")));
        ASSERT_TRUE(QDir().mkpath(Path("sounds")));
    }
    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    QString Game(const QString& relative) const { return Path("game/" + relative); }

    ProcessResult Cli(const QStringList& arguments) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), Path("cache"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), Path("config"));
        return RunTool(QStringLiteral(LUMIVALE_BIN_DIR "/lumivale-cli"), arguments, 120000, environment);
    }
    QStringList Music(const QString& source, const QStringList& targets) const
    {
        return QStringList{QStringLiteral("music"), source, QStringLiteral("--game"), Path("game")} + targets;
    }
    QString Song(const QString& name, double seconds = 1.0)
    {
        const QString path = Path("sounds/" + name);
        EXPECT_TRUE(MakeSound(path, seconds, 44100, 2, {"-c:a", "libmp3lame", "-f", "mp3"}));
        return path;
    }

    QTemporaryDir m_dir;
};

TEST_F(MusicCliTest, RefusesBadCommandLinesWithUsage)
{
    const QString song = Path("sounds/none.mp3");
    const QList<QStringList> bad = {
        {QStringLiteral("music")},
        Music(song, {}),
        Music(song, {"--boombox", "26"}),
        Music(song, {"--boombox", "0"}),
        Music(song, {"--boombox", "one"}),
        Music(song, {"--boombox"}),
        Music(song, {"--hero-login", "--lobby"}),
        {QStringLiteral("music"), song, QStringLiteral("--all")},
        Music(song, {"--all", "extra"}),
        Music("restore", {}),
        Music("restore", {"--random", "--hero-login"}),
        {QStringLiteral("music"), QStringLiteral("restore"), QStringLiteral("--praetorian-login")},
    };
    for (const QStringList& arguments : bad) {
        const ProcessResult r = Cli(arguments);
        EXPECT_EQ(r.exitCode, 2) << qPrintable(arguments.join(u' '));
        EXPECT_TRUE(r.err.contains("music SOURCE [--game DIR]")) << qPrintable(arguments.join(u' '));
    }
    EXPECT_TRUE(QDir(Path("game")).isEmpty());
}

TEST_F(MusicCliTest, WritesEveryTargetAndNamesWhatFailed)
{
    const QString song = Song("song.mp3");
    ProcessResult r = Cli(Music(song, {"--boombox", "1", "--boombox", "25", "--hero-login"}));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.err.contains("Converting song.mp3...")) << r.err.constData();
    const QStringList written = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(written.size(), 5) << r.out.constData();
    EXPECT_TRUE(written[0].endsWith("data/sound/Ogg/BoomBox/Track1_loop.ogg"));
    EXPECT_TRUE(written[1].endsWith("data/sound/Ogg/BoomBox/Track25_loop.ogg"));
    EXPECT_TRUE(written[2].endsWith("data/sound/Ogg/FrontEnd/H_MenuMusic_loop.ogg"));
    EXPECT_TRUE(written[4].endsWith("data/sound/Ogg/FrontEnd/H_music2_loop.ogg"));
    EXPECT_EQ(CheckConverted(written[0], song), QString());
    // The command line leaves no temporary behind.
    EXPECT_FALSE(QFileInfo::exists(Path("cache/Lumivale/converted.ogg")));

    // One file blocked: the rest is written, the blocked one named, exit 1.
    ASSERT_TRUE(QDir().mkpath(Game("data/sound/Ogg/Rave/NewRave5_loop.ogg")));
    r = Cli(Music(song, {"--dance-floor", "--red-side"}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Not written: data/sound/Ogg/Rave/NewRave5_loop.ogg")) << r.err.constData();
    EXPECT_TRUE(OggInfoClean(Game("data/sound/Ogg/Rave/NewRave4_loop.ogg")));

    // Sources that are no sound: words, the start of an Ogg Vorbis file then zeros.
    ASSERT_TRUE(WriteBytes(Path("sounds/text.mp3"), "just words"));
    ASSERT_TRUE(MakeSound(Path("sounds/good.ogg"), 1.0, 44100, 2, {"-c:a", "libvorbis", "-f", "ogg"}));
    ASSERT_TRUE(WriteBytes(Path("sounds/bad.ogg"),
                           ReadAll(Path("sounds/good.ogg")).left(200) + QByteArray(1000, '\0')));
    for (const char* name : {"text.mp3", "bad.ogg"}) {
        r = Cli(Music(Path("sounds/") + name, {"--villain-login"}));
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_TRUE(r.err.contains("Sound file conversion failed.")) << r.err.constData();
        EXPECT_FALSE(QFileInfo::exists(Game("data/sound/Ogg/V_FrontEnd"))) << name;
    }
}

TEST_F(MusicCliTest, RandomModeFillsEveryTrackFromTheFolder)
{
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
        Song(QString::fromLatin1(name), 0.5);
    const ProcessResult r = Cli(Music(Path("sounds"), {"--random", "--blue-side", "--boombox", "7"}));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QStringList written = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(written.size(), 7);
    for (const QString& file : written)
        EXPECT_TRUE(OggInfoClean(file)) << qPrintable(file);

    const ProcessResult notFolder = Cli(Music(Path("sounds/a.mp3"), {"--random", "--all"}));
    EXPECT_EQ(notFolder.exitCode, 1);
    EXPECT_TRUE(notFolder.err.contains("is not a folder.")) << notFolder.err.constData();
}

TEST_F(MusicCliTest, PraetorianLoginIsWrittenAndRestored)
{
    const QString tune = Path("sounds/tune.ogg");
    ASSERT_TRUE(MakeSound(tune, 0.5, 44100, 2, {"-c:a", "libvorbis", "-f", "ogg"}));
    const QString track = Game("data/sound/Ogg/FrontEnd/N_MenuMusic_loop.ogg");
    ProcessResult r = Cli(Music(tune, {"--praetorian-login"}));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QString::fromUtf8(r.out).trimmed(), QFileInfo(track).canonicalFilePath());
    EXPECT_EQ(ReadAll(track), ReadAll(tune));

    r = Cli(Music("restore", {"--praetorian-login"}));
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.startsWith("deleted ") && r.out.trimmed().endsWith("FrontEnd/N_MenuMusic_loop.ogg"))
        << r.out.constData();
    EXPECT_FALSE(QFileInfo::exists(track));

    // A track Lumivale did not write is left alone and named; exit 1.
    ASSERT_TRUE(WriteBytes(track, "another mod's track"));
    r = Cli(Music("restore", {"--all"}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("N_MenuMusic_loop.ogg: This track was left as it is")) << r.err.constData();
    EXPECT_EQ(ReadAll(track), "another mod's track");
}

} // namespace
