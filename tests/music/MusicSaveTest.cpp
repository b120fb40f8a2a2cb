#include "music/MusicSave.h"

#include "RecordingBusyHost.h"
#include "SoundTools.h"
#include "music/SoundConversion.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class MusicSaveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(Path("game")));
        ASSERT_TRUE(QDir().mkpath(Path("sounds")));
        m_environment.workFolder = Path("work");
        m_environment.pluginFolder = QStringLiteral(LUMIVALE_BIN_DIR);
        m_environment.random = [this] { return m_draws.isEmpty() ? 0.0 : m_draws.takeFirst(); };
    }
    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    QString Game(const QString& relative) const { return Path("game/" + relative); }
    QString Sound(const QString& name, double seconds, int rate, int channels, const QStringList& output)
    {
        const QString path = Path("sounds/" + name);
        EXPECT_TRUE(MakeSound(path, seconds, rate, channels, output)) << qPrintable(name);
        return path;
    }
    QString Mp3(const QString& name = QStringLiteral("song.mp3"))
    {
        return Sound(name, 1.5, 44100, 2, {"-c:a", "libmp3lame", "-f", "mp3"});
    }

    MusicSaveOutcome Save(const QString& source, std::initializer_list<int> ticked, bool random = false)
    {
        MusicSaveRequest request;
        request.gameFolder = Path("game");
        request.source = source;
        request.randomFolder = random;
        request.keepConverted = true;
        for (int t : ticked)
            request.states[std::size_t(t)] = TargetState::Ticked;
        return SaveSelectedTracks(m_host, m_environment, request);
    }
    // Every file below a folder, relative to it, sorted.
    QStringList Files(const QString& folder) const
    {
        QStringList files;
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(folder).relativeFilePath(it.next());
        files.sort();
        return files;
    }

    QTemporaryDir m_dir;
    RecordingBusyHost m_host;
    Environment m_environment;
    QList<double> m_draws;
};

TEST_F(MusicSaveTest, AConvertedSourceMatchesItsSourceInEveryTarget)
{
    const QString source = Mp3();
    const MusicSaveOutcome outcome = Save(source, {3, 21, kHeroLogin});
    ASSERT_FALSE(outcome.failure.has_value()) << qPrintable(outcome.failure->Text());
    EXPECT_EQ(m_host.Statuses().value(0), "Converting song.mp3...");
    EXPECT_GE(m_host.Maximum(), 1);
    // Box 3 ("Dance") is track 1, box 21 ("Venus") track 25.
    EXPECT_EQ(outcome.states[3], TargetState::Done);
    EXPECT_EQ(outcome.states[21], TargetState::Done);
    EXPECT_EQ(outcome.states[kHeroLogin], TargetState::Done);
    EXPECT_EQ(outcome.states[0], TargetState::Unticked);
    const QString track1 = Game("data/sound/Ogg/BoomBox/Track1_loop.ogg");
    EXPECT_EQ(CheckConverted(track1, source), QString());
    for (const char* file :
         {"data/sound/Ogg/BoomBox/Track25_loop.ogg", "data/sound/Ogg/FrontEnd/H_music1_loop.ogg",
          "data/sound/Ogg/FrontEnd/H_music2_loop.ogg"})
        EXPECT_EQ(ReadAll(Game(file)), ReadAll(track1)) << file;
    EXPECT_EQ(outcome.tracks.size(), 4);
    // converted.ogg stays in the work folder (the window deletes it when it closes).
    EXPECT_EQ(Files(Path("work")), QStringList{"converted.ogg"});
    EXPECT_EQ(ReadAll(Path("work/converted.ogg")), ReadAll(track1));

    // A 5.1 source at 48 kHz becomes stereo at 48 kHz; the old track is replaced.
    const QString surround =
        Sound("surround.wav", 1.0, 48000, 6, {"-c:a", "pcm_s16le", "-channel_layout", "5.1", "-f", "wav"});
    ASSERT_FALSE(Save(surround, {3}).failure.has_value());
    const StreamFacts facts = Probe(track1);
    EXPECT_EQ(facts.rate, 48000);
    EXPECT_EQ(facts.channels, 2);
    EXPECT_TRUE(OggInfoClean(track1));
    EXPECT_NEAR(facts.seconds, 1.0, 0.05);
}

TEST_F(MusicSaveTest, AnOggVorbisSourceIsCopiedUnchangedWhateverTheCaseOfItsName)
{
    const QString vorbis = Sound("LOUD.OGG", 1.0, 44100, 2, {"-c:a", "libvorbis", "-f", "ogg"});
    const MusicSaveOutcome outcome = Save(vorbis, {kBlueSide});
    ASSERT_FALSE(outcome.failure.has_value());
    EXPECT_EQ(outcome.states[kBlueSide], TargetState::Done);
    for (const char* file : {"NewRave1_loop.ogg", "NewRave2_loop.ogg", "NewRave6_loop.ogg"})
        EXPECT_EQ(ReadAll(Game(QStringLiteral("data/sound/Ogg/Rave/") + file)), ReadAll(vorbis)) << file;
    // The BoomBox and Rave folders are made whatever is ticked; the FrontEnd ones only for their targets.
    EXPECT_TRUE(QFileInfo(Game("data/sound/Ogg/BoomBox")).isDir());
    EXPECT_TRUE(QDir(Game("data/sound/Ogg/BoomBox")).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(Game("data/sound/Ogg/FrontEnd")));
    EXPECT_FALSE(QFileInfo::exists(Game("data/sound/Ogg/V_FrontEnd")));
    EXPECT_FALSE(QFileInfo::exists(Path("work/converted.ogg")));

    // An ".ogg" holding Opus is converted to Vorbis like any other source.
    const QString opus = Sound("voice.ogg", 1.0, 48000, 2, {"-c:a", "libopus", "-f", "ogg"});
    ASSERT_FALSE(Save(opus, {kRedSide}).failure.has_value());
    EXPECT_EQ(CheckConverted(Game("data/sound/Ogg/Rave/NewRave3_loop.ogg"), opus), QString());
}

TEST_F(MusicSaveTest, FilesMatchFoldersOfAnyCaseAndForeignTracksAreKept)
{
    // The game already has loose tracks, spelled its own way.
    ASSERT_TRUE(QDir().mkpath(Game("DATA/Sound/ogg/boombox")));
    ASSERT_TRUE(WriteBytes(Game("DATA/Sound/ogg/boombox/TRACK9_LOOP.OGG"), "the game's own"));
    ASSERT_FALSE(Save(Mp3(), {0}).failure.has_value());
    EXPECT_EQ(Files(Game("DATA")), QStringList{"Sound/ogg/boombox/TRACK9_LOOP.OGG"});
    EXPECT_TRUE(OggInfoClean(Game("DATA/Sound/ogg/boombox/TRACK9_LOOP.OGG")));
    EXPECT_EQ(ReadAll(Game("Lumivale/Backup/data/sound/ogg/boombox/track9_loop.ogg")), "the game's own");
}

TEST_F(MusicSaveTest, FailedWritesLeaveTheirTargetsTickedAndOthersAreWritten)
{
    // One of the two login files cannot be replaced (a folder stands in its place).
    ASSERT_TRUE(QDir().mkpath(Game("data/sound/Ogg/FrontEnd/H_music2_loop.ogg")));
    ASSERT_TRUE(QDir().mkpath(Game("data/sound/Ogg/V_FrontEnd")));
    ASSERT_TRUE(WriteBytes(Game("data/sound/Ogg/V_FrontEnd/V_Music1_loop.ogg"), "old villain track"));
    ASSERT_TRUE(WriteBytes(Game("data/sound/Ogg/Rave"), "a file where the folder goes"));
    const MusicSaveOutcome outcome = Save(Mp3(), {kHeroLogin, kVillainLogin, kDanceFloor});
    // Copy failures are no message; their targets stay ticked for the next save.
    EXPECT_FALSE(outcome.failure.has_value());
    EXPECT_EQ(outcome.states[kHeroLogin], TargetState::Ticked);
    EXPECT_EQ(outcome.states[kVillainLogin], TargetState::Done);
    EXPECT_EQ(outcome.states[kDanceFloor], TargetState::Ticked);
    EXPECT_TRUE(OggInfoClean(Game("data/sound/Ogg/FrontEnd/H_music1_loop.ogg")));
    int failed = 0;
    for (const TrackWrite& track : outcome.tracks)
        failed += track.written ? 0 : 1;
    EXPECT_EQ(failed, 3); // H_music2, ExtendedRave, NewRave5

    // A game folder that does not exist: nothing anywhere, everything stays ticked.
    MusicSaveRequest request;
    request.gameFolder = Path("no-game");
    request.source = Path("sounds/song.mp3");
    request.states[5] = TargetState::Ticked;
    const MusicSaveOutcome none = SaveSelectedTracks(m_host, m_environment, request);
    EXPECT_EQ(none.states[5], TargetState::Ticked);
    EXPECT_FALSE(QFileInfo::exists(Path("no-game")));
}

TEST_F(MusicSaveTest, BrokenSourcesFailTheConversionAndWriteNothing)
{
    QByteArray noise(32 * 1024, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 2654435761u) >> 11);
    ASSERT_TRUE(WriteBytes(Path("sounds/noise.mp3"), noise));
    ASSERT_TRUE(WriteBytes(Path("sounds/empty.mp3"), QByteArray()));
    ASSERT_TRUE(QDir().mkpath(Path("sounds/folder.mp3")));
    for (const char* name : {"noise.mp3", "empty.mp3", "folder.mp3", "missing.mp3"}) {
        const MusicSaveOutcome outcome = Save(Path(QStringLiteral("sounds/") + name), {0, kRedSide});
        ASSERT_TRUE(outcome.failure.has_value()) << name;
        EXPECT_EQ(outcome.failure->Headline().text, kConversionFailedMessage) << name;
        EXPECT_FALSE(outcome.failure->Reason().isEmpty()) << name;
        EXPECT_EQ(outcome.states[0], TargetState::Ticked) << name;
        EXPECT_TRUE(outcome.tracks.isEmpty()) << name;
    }
    EXPECT_EQ(Files(Path("game")), QStringList());
    // A conversion whose output cannot be written completely fails.
    std::atomic<bool> cancel{false};
    ConversionProgress progress;
    const Result<> full = ConvertSoundFile(QStringLiteral(LUMIVALE_BIN_DIR), Mp3(),
                                           QStringLiteral("/dev/full"), 0.5, cancel, progress);
    ASSERT_FALSE(full.has_value());
    EXPECT_TRUE(full.error().Reason().contains("No space left on device"));
}

TEST_F(MusicSaveTest, CancelDuringTheConversionWritesNoTarget)
{
    const QString source = Sound("long.wav", 20.0, 44100, 2, {"-c:a", "pcm_s16le", "-f", "wav"});
    m_host.onProgress = [this](qint32) {
        if (m_host.Busy() && m_host.ReportCount() >= 2)
            m_host.RequestCancel();
    };
    const MusicSaveOutcome outcome = Save(source, {0, 1, kHeroLogin});
    ASSERT_TRUE(outcome.failure.has_value());
    EXPECT_TRUE(outcome.failure->IsCancel());
    EXPECT_EQ(outcome.states[0], TargetState::Ticked);
    EXPECT_TRUE(outcome.tracks.isEmpty());
    EXPECT_TRUE(Files(Path("game")).isEmpty());
    EXPECT_TRUE(m_host.Messages().isEmpty());
}

TEST_F(MusicSaveTest, RandomModeGivesEveryTrackItsOwnPickAndConvertsEachOnce)
{
    // Picks go round the folder: no file twice while unused ones remain.
    m_draws = {0.9, 0.0, 0.5, 0.2, 0.99, 0.4, 0.1};
    EXPECT_EQ(PlanRandomPicks(3, 7, m_environment.random), (QList<int>{2, 0, 1, 0, 2, 1, 0}));
    EXPECT_TRUE(PlanRandomPicks(0, 4, m_environment.random).isEmpty());

    Sound("a.mp3", 1.0, 44100, 2, {"-c:a", "libmp3lame", "-f", "mp3"});
    Sound("B.wav", 0.6, 22050, 1, {"-c:a", "pcm_s16le", "-f", "wav"});
    Sound("c.ogg", 0.8, 48000, 2, {"-c:a", "libvorbis", "-f", "ogg"});
    ASSERT_TRUE(WriteBytes(Path("sounds/notes.txt"), "not a sound"));
    EXPECT_EQ(ListSoundFiles(Path("sounds")), (QStringList{"a.mp3", "B.wav", "c.ogg"}));

    // Boxes 0 and 1 and the two villain files: four places, three files.
    m_draws = {0.0, 0.0, 0.0, 0.0, 0.25, 0.75};
    const MusicSaveOutcome outcome = Save(Path("sounds"), {0, 1, kVillainLogin}, true);
    ASSERT_FALSE(outcome.failure.has_value()) << qPrintable(outcome.failure->Text());
    EXPECT_EQ(m_host.Statuses().value(0), "Converting sounds...");
    ASSERT_EQ(outcome.tracks.size(), 4);
    QStringList sources;
    for (const TrackWrite& track : outcome.tracks) {
        ASSERT_TRUE(track.written.has_value()) << qPrintable(track.file);
        sources << QFileInfo(track.source).fileName();
        EXPECT_EQ(CheckConverted(*track.written, track.source), QString()) << qPrintable(track.file);
    }
    EXPECT_EQ(sources, (QStringList{"a.mp3", "B.wav", "c.ogg", "a.mp3"}));
    // The Vorbis pick is copied as it is; the conversions left nothing behind.
    EXPECT_EQ(ReadAll(Game("data/sound/Ogg/V_FrontEnd/V_Music1_loop.ogg")), ReadAll(Path("sounds/c.ogg")));
    EXPECT_TRUE(Files(Path("work")).isEmpty());

    const MusicSaveOutcome empty = Save(Path("game"), {0}, true);
    ASSERT_TRUE(empty.failure.has_value());
    EXPECT_EQ(empty.failure->Headline().text, kConversionFailedMessage);
}

} // namespace
