#include "music/MusicSave.h"

#include "RecordingBusyHost.h"
#include "SoundTools.h"
#include "app/FileNames.h"
#include "music/OggVorbisCheck.h"
#include "music/SoundConversion.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>

namespace {

// The client's lookup of its sounds: one tree of the packed paths and the
// loose files below data, folders and files matched without regard to case
// (a loose file replaces the packed one at its path), walked depth first with
// each folder's entries sorted without regard to case; the first file of a
// base name wins. For each base name (lower case): the loose file's path, or
// "packed".
QHash<QString, QString> ClientLookup(const QString& dataFolder, const QStringList& packed)
{
    struct Node
    {
        bool file = false;
        QString loose;
        std::map<QString, Node> entries;
    };
    Node root;
    const auto insert = [&](const QString& relative, const QString& loose) {
        Node* node = &root;
        for (const QString& part : relative.split(u'/'))
            node = &node->entries[part.toLower()];
        node->file = true;
        if (!loose.isEmpty())
            node->loose = loose;
    };
    for (const QString& path : packed)
        insert(path, QString());
    QDirIterator it(dataFolder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString loose = it.next();
        insert(QDir(dataFolder).relativeFilePath(loose), loose);
    }
    QHash<QString, QString> found;
    const std::function<void(const Node&)> walk = [&](const Node& folder) {
        for (const auto& [name, entry] : folder.entries) {
            const QString base = name.left(name.lastIndexOf(u'.'));
            if (!entry.file)
                walk(entry);
            else if (!found.contains(base))
                found.insert(base, entry.loose.isEmpty() ? QStringLiteral("packed") : entry.loose);
        }
    };
    walk(root.entries["sound"].entries["ogg"]);
    return found;
}

// Where each Ogg page of a file starts.
QList<qsizetype> PageStarts(const QByteArray& ogg)
{
    QList<qsizetype> starts;
    for (qsizetype at = ogg.indexOf("OggS"); at >= 0; at = ogg.indexOf("OggS", at + 1))
        starts << at;
    return starts;
}

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
         {"data/sound/Ogg/BoomBox/Track25_loop.ogg", "data/sound/Ogg/FrontEnd/H_MenuMusic_loop.ogg",
          "data/sound/Ogg/FrontEnd/H_music1_loop.ogg", "data/sound/Ogg/FrontEnd/H_music2_loop.ogg"})
        EXPECT_EQ(ReadAll(Game(file)), ReadAll(track1)) << file;
    EXPECT_EQ(outcome.tracks.size(), 5);
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
    for (const char* folder : {"data/sound/Ogg/Rave/", "data/sound/Ogg/Music_Source/Rave/"})
        for (const char* file : {"NewRave1_loop.ogg", "NewRave2_loop.ogg", "NewRave6_loop.ogg"})
            EXPECT_EQ(ReadAll(Game(QString::fromLatin1(folder) + file)), ReadAll(vorbis)) << folder << file;
    // The BoomBox and Rave folders are made whatever is ticked; the FrontEnd ones only for their targets.
    EXPECT_TRUE(QFileInfo(Game("data/sound/Ogg/BoomBox")).isDir());
    EXPECT_TRUE(QDir(Game("data/sound/Ogg/BoomBox")).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(Game("data/sound/Ogg/FrontEnd")));
    EXPECT_FALSE(QFileInfo::exists(Game("data/sound/Ogg/V_FrontEnd")));
    EXPECT_FALSE(QFileInfo::exists(Path("work/converted.ogg")));

    // An ".ogg" holding Opus, or Vorbis with a damaged page, is converted
    // like any other source, never copied.
    const QString opus = Sound("voice.ogg", 1.0, 48000, 2, {"-c:a", "libopus", "-f", "ogg"});
    ASSERT_FALSE(Save(opus, {kRedSide}).failure.has_value());
    EXPECT_EQ(CheckConverted(Game("data/sound/Ogg/Rave/NewRave3_loop.ogg"), opus), QString());
    QByteArray damaged = ReadAll(Sound("long.ogg", 4.0, 44100, 2, {"-c:a", "libvorbis", "-f", "ogg"}));
    const QList<qsizetype> pages = PageStarts(damaged);
    ASSERT_GE(pages.size(), 5);
    damaged[pages[pages.size() / 2] + 60] ^= 0x5a;
    ASSERT_TRUE(WriteBytes(Path("sounds/damaged.ogg"), damaged));
    ASSERT_FALSE(Save(Path("sounds/damaged.ogg"), {kPraetorianLogin}).failure.has_value());
    const QString written = Game("data/sound/Ogg/FrontEnd/N_MenuMusic_loop.ogg");
    EXPECT_TRUE(OggInfoClean(written));
    EXPECT_NE(ReadAll(written), damaged);
}

TEST_F(MusicSaveTest, OnlyAWholeSoundOggVorbisStreamPassesTheCheck)
{
    const QByteArray good = ReadAll(Sound("good.ogg", 3.0, 44100, 2, {"-c:a", "libvorbis", "-f", "ogg"}));
    const QList<qsizetype> pages = PageStarts(good);
    ASSERT_GE(pages.size(), 4);
    QByteArray flipped = good;
    flipped[pages[2] + 60] ^= 0x01;
    const struct
    {
        const char* name;
        QByteArray bytes;
        const char* reason; // "" for a sound stream
    } cases[] = {
        {"whole", good, ""},
        {"cut in a page, zeros after", good.left(200) + QByteArray(1000, '\0'), "damaged"},
        {"cut at a page", good.left(pages.last()), "last page is missing"},
        {"a byte changed", flipped, "checksum"},
        {"bytes after the last page", good + "TAG junk", "damaged"},
        {"two streams", good + good, "damaged"},
        {"Opus", ReadAll(Sound("opus.ogg", 0.5, 48000, 2, {"-c:a", "libopus", "-f", "ogg"})), "no Vorbis"},
        {"empty", QByteArray(), "no complete"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(Path("sounds/case.ogg"), c.bytes));
        const Result<> checked = CheckOggVorbis(Path("sounds/case.ogg"));
        EXPECT_EQ(checked.has_value(), *c.reason == 0) << c.name;
        const QString reason = checked ? QString() : checked.error().Reason();
        EXPECT_TRUE(reason.contains(QLatin1String(c.reason))) << c.name << ": " << qPrintable(reason);
    }
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
    // One of the hero login files cannot be replaced (a folder stands in its
    // place): the target is a unit, its other tracks stay as they were.
    ASSERT_TRUE(QDir().mkpath(Game("data/sound/Ogg/FrontEnd/H_MenuMusic_loop.ogg")));
    ASSERT_TRUE(WriteBytes(Game("data/sound/Ogg/FrontEnd/H_music1_loop.ogg"), "old hero track"));
    ASSERT_TRUE(QDir().mkpath(Game("data/sound/Ogg/V_FrontEnd")));
    ASSERT_TRUE(WriteBytes(Game("data/sound/Ogg/V_FrontEnd/V_Music1_loop.ogg"), "old villain track"));
    ASSERT_TRUE(WriteBytes(Game("data/sound/Ogg/Rave"), "a file where the folder goes"));
    const MusicSaveOutcome outcome = Save(Mp3(), {kHeroLogin, kVillainLogin, kDanceFloor});
    // Copy failures are no message; their targets stay ticked for the next save.
    EXPECT_FALSE(outcome.failure.has_value());
    EXPECT_EQ(outcome.states[kHeroLogin], TargetState::Ticked);
    EXPECT_EQ(outcome.states[kVillainLogin], TargetState::Done);
    EXPECT_EQ(outcome.states[kDanceFloor], TargetState::Ticked);
    EXPECT_EQ(ReadAll(Game("data/sound/Ogg/FrontEnd/H_music1_loop.ogg")), "old hero track");
    EXPECT_FALSE(QFileInfo::exists(Game("data/sound/Ogg/FrontEnd/H_music2_loop.ogg")));
    EXPECT_TRUE(OggInfoClean(Game("data/sound/Ogg/FrontEnd/V_MenuMusic_loop.ogg")));
    int failed = 0;
    for (const TrackWrite& track : outcome.tracks)
        failed += track.written ? 0 : 1;
    EXPECT_EQ(failed, 6); // every file of the hero login and of the dance floor

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
    // The first 200 bytes of a sound Ogg Vorbis file, then zeros; a link to a device.
    const QByteArray good = ReadAll(Sound("good.ogg", 1.0, 44100, 2, {"-c:a", "libvorbis", "-f", "ogg"}));
    ASSERT_TRUE(WriteBytes(Path("sounds/bad.ogg"), good.left(200) + QByteArray(1000, '\0')));
    ASSERT_TRUE(QFile::link("/dev/zero", Path("sounds/zero.mp3")));
    for (const char* name : {"noise.mp3", "empty.mp3", "folder.mp3", "missing.mp3", "bad.ogg", "zero.mp3"}) {
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
    EXPECT_EQ(ListSoundFiles(Path("sounds")).files, (QStringList{"a.mp3", "B.wav", "c.ogg"}));

    // Boxes 0 and 1 and the villain login's three names: five places, three files.
    m_draws = {0.0, 0.0, 0.0, 0.0, 0.0, 0.25, 0.75};
    const MusicSaveOutcome outcome = Save(Path("sounds"), {0, 1, kVillainLogin}, true);
    ASSERT_FALSE(outcome.failure.has_value()) << qPrintable(outcome.failure->Text());
    EXPECT_EQ(m_host.Statuses().value(0), "Converting sounds...");
    ASSERT_EQ(outcome.tracks.size(), 5);
    QStringList sources;
    for (const TrackWrite& track : outcome.tracks) {
        ASSERT_TRUE(track.written.has_value()) << qPrintable(track.file);
        sources << QFileInfo(track.source).fileName();
        EXPECT_EQ(CheckConverted(*track.written, track.source), QString()) << qPrintable(track.file);
    }
    EXPECT_EQ(sources, (QStringList{"a.mp3", "B.wav", "c.ogg", "a.mp3", "B.wav"}));
    // The Vorbis pick is copied as it is; the conversions left nothing behind.
    EXPECT_EQ(ReadAll(Game("data/sound/Ogg/FrontEnd/V_MenuMusic_loop.ogg")), ReadAll(Path("sounds/c.ogg")));
    EXPECT_TRUE(Files(Path("work")).isEmpty());

    const MusicSaveOutcome empty = Save(Path("game"), {0}, true);
    ASSERT_TRUE(empty.failure.has_value());
    EXPECT_EQ(empty.failure->Headline().text, kConversionFailedMessage);
}

TEST_F(MusicSaveTest, EveryTargetIsTheTrackTheClientFindsFirst)
{
    // The game's packed copies, and the names the client plays for each target.
    QStringList packed = {"sound/ogg/frontend/H_MenuMusic_loop.ogg",
                          "sound/ogg/music/v_frontend/V_MenuMusic_loop.ogg",
                          "sound/ogg/praetoria_music/N_MenuMusic_loop.ogg"};
    QMap<int, QStringList> played = {{kHeroLogin, {"H_MenuMusic_loop"}},
                                     {kVillainLogin, {"V_MenuMusic_loop"}},
                                     {kPraetorianLogin, {"N_MenuMusic_loop"}},
                                     {kDanceFloor, {"NewRave5_loop"}},
                                     {kBlueSide, {"NewRave1_loop", "NewRave2_loop", "NewRave6_loop"}},
                                     {kRedSide, {"NewRave3_loop", "NewRave4_loop"}}};
    for (int n = 1; n <= 6; ++n)
        packed << QStringLiteral("sound/Ogg/Music_Source/Rave/NewRave%1_loop.ogg").arg(n);
    for (int i = 0; i < kBoomBoxCount; ++i) {
        const int track = kBoomBoxBoxes[std::size_t(i)].track;
        packed << QStringLiteral("sound/Ogg/BoomBox/Track%1_loop.ogg").arg(track);
        played[i] = {QStringLiteral("Track%1_loop").arg(track)};
    }
    // The files earlier client builds played stay written too.
    const QStringList kept = {"FrontEnd/H_music1_loop.ogg",   "FrontEnd/H_music2_loop.ogg",
                              "V_FrontEnd/V_Music1_loop.ogg", "V_FrontEnd/V_Music2_loop.ogg",
                              "Rave/ExtendedRave_loop.ogg",   "Rave/NewRave5_loop.ogg",
                              "Rave/NewRave1_loop.ogg"};
    const QString source = Sound("tune.ogg", 0.5, 44100, 2, {"-c:a", "libvorbis", "-f", "ogg"});

    // A fresh game folder, and one whose folders are spelled in lower case.
    for (const char* existing : {"", "data/sound/ogg/music_source/rave"}) {
        SCOPED_TRACE(existing);
        ASSERT_TRUE(QDir(Game("data")).removeRecursively() || !QFileInfo::exists(Game("data")));
        ASSERT_TRUE(QDir().mkpath(Game(QString::fromLatin1(existing))));
        const QString ogg = *existing ? QStringLiteral("data/sound/ogg/") : QStringLiteral("data/sound/Ogg/");
        for (int t = 0; t < kSoundTargetCount; ++t) {
            const MusicSaveOutcome outcome = Save(source, {t});
            ASSERT_EQ(outcome.states[std::size_t(t)], TargetState::Done) << t;
        }
        const QHash<QString, QString> found = ClientLookup(Game("data"), packed);
        for (auto it = played.cbegin(); it != played.cend(); ++it) {
            for (const QString& name : it.value()) {
                const QString file = found.value(name.toLower());
                EXPECT_TRUE(file.startsWith(Game(ogg)))
                    << it.key() << " " << qPrintable(name) << ": " << qPrintable(file);
                EXPECT_EQ(ReadAll(file), ReadAll(source)) << qPrintable(name);
            }
        }
        for (const QString& file : kept)
            EXPECT_TRUE(QFileInfo::exists(Game(ogg + file))) << qPrintable(file);
        EXPECT_EQ(QDir(Game("data/sound")).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                  QStringList{ogg.section(u'/', 2, 2)});
    }
}

TEST_F(MusicSaveTest, RestoreGivesBackWhatWasThereAndLeavesChangedTracks)
{
    const QString front = QStringLiteral("data/sound/Ogg/FrontEnd/");
    ASSERT_TRUE(QDir().mkpath(Game(front)));
    ASSERT_TRUE(WriteBytes(Game(front + "H_MenuMusic_loop.ogg"), "a mod's menu music"));
    const QString first = Sound("first.ogg", 0.5, 44100, 2, {"-c:a", "libvorbis", "-f", "ogg"});
    const QString second = Sound("second.ogg", 0.7, 44100, 1, {"-c:a", "libvorbis", "-f", "ogg"});
    // Saved twice: the backup keeps the mod's track, not Lumivale's first one.
    ASSERT_FALSE(Save(first, {kHeroLogin, kPraetorianLogin}).failure.has_value());
    ASSERT_FALSE(Save(second, {kHeroLogin}).failure.has_value());
    ASSERT_TRUE(WriteBytes(Game(front + "H_music2_loop.ogg"), "changed since"));

    TargetStates states{};
    states[kHeroLogin] = states[kPraetorianLogin] = TargetState::Ticked;
    states[kVillainLogin] = TargetState::Done;
    const MusicRestoreOutcome outcome = RestoreSelectedTracks(m_host, Path("game"), states);
    ASSERT_FALSE(outcome.failure.has_value());
    const struct
    {
        const char* file;
        RestoreOutcome::Kind kind;
        QByteArray left; // what is there afterwards ("" for nothing)
    } expected[] = {
        {"H_MenuMusic_loop.ogg", RestoreOutcome::BackupPutBack, "a mod's menu music"},
        {"H_music1_loop.ogg", RestoreOutcome::Deleted, ""},
        {"H_music2_loop.ogg", RestoreOutcome::LeftAlone, "changed since"},
        {"N_MenuMusic_loop.ogg", RestoreOutcome::Deleted, ""},
    };
    ASSERT_EQ(outcome.tracks.size(), 4);
    for (qsizetype i = 0; i < outcome.tracks.size(); ++i) {
        const TrackRestore& track = outcome.tracks[i];
        EXPECT_EQ(track.file, front + expected[i].file);
        ASSERT_TRUE(track.restored.has_value()) << expected[i].file;
        EXPECT_EQ(track.restored->kind, expected[i].kind) << expected[i].file;
        EXPECT_EQ(ReadAll(Game(front + expected[i].file)), expected[i].left) << expected[i].file;
    }
    EXPECT_EQ(outcome.LeftAlone(),
              QStringList{QFileInfo(Game(front + "H_music2_loop.ogg")).canonicalFilePath()});
    // The hero login keeps its tick (a track of it is not the game's); the
    // Praetorian one is the game's again; the villain box was not asked.
    EXPECT_EQ(outcome.states[kHeroLogin], TargetState::Ticked);
    EXPECT_EQ(outcome.states[kPraetorianLogin], TargetState::Unticked);
    EXPECT_EQ(outcome.states[kVillainLogin], TargetState::Done);

    const MusicRestoreOutcome noGame = RestoreSelectedTracks(m_host, Path("no-game"), states);
    ASSERT_TRUE(noGame.failure.has_value());
    EXPECT_EQ(noGame.failure->Headline().text, kMusicRestoreErrorMessage);
}

TEST_F(MusicSaveTest, RandomModeSkipsFilesThatFailAndDrawsAgain)
{
    // Sorted: a.mp3, bad.mp3, d.ogg, then the Latin-1 name; dev.mp3 and
    // dir.mp3 are no files and never drawn.
    Sound("a.mp3", 0.5, 44100, 2, {"-c:a", "libmp3lame", "-f", "mp3"});
    ASSERT_TRUE(WriteBytes(Path("sounds/bad.mp3"), QByteArray(8192, 'x')));
    const QByteArray good = ReadAll(Sound("good.tmp", 0.5, 44100, 2, {"-c:a", "libvorbis", "-f", "ogg"}));
    ASSERT_TRUE(WriteBytes(Path("sounds/d.ogg"), good.left(200) + QByteArray(1000, '\0')));
    const QByteArray latin1 = FileNameToBytes(Path("sounds/")) + "\xe9t\xe9.ogg";
    // Qt would encode the name as UTF-8: the bytes go to the system as they are.
    ASSERT_EQ(std::rename(FileNameToBytes(Path("sounds/good.tmp")).constData(), latin1.constData()), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", Path("sounds/dev.mp3")));
    ASSERT_TRUE(QDir().mkpath(Path("sounds/dir.mp3")));
    const SoundFolderListing listing = ListSoundFiles(Path("sounds"));
    ASSERT_EQ(listing.files.size(), 4);
    EXPECT_EQ(FileNameToBytes(listing.files[3]), "\xe9t\xe9.ogg");
    ASSERT_EQ(listing.unusable.size(), 2);
    EXPECT_TRUE(listing.unusable[0].startsWith("dev.mp3: a FIFO, socket or device"));

    // Three places drawn bad.mp3, d.ogg, the Latin-1 one; the first two are drawn again.
    m_draws = {0.3, 0.5, 0.99};
    const MusicSaveOutcome outcome = Save(Path("sounds"), {0, 1, kPraetorianLogin}, true);
    ASSERT_FALSE(outcome.failure.has_value()) << qPrintable(outcome.failure->Text());
    ASSERT_EQ(outcome.tracks.size(), 3);
    for (const TrackWrite& track : outcome.tracks)
        EXPECT_TRUE(track.written.has_value() && OggInfoClean(*track.written)) << qPrintable(track.file);
    EXPECT_EQ(outcome.tracks[2].source, FileNameFromBytes(latin1));
    EXPECT_EQ(ReadAll(Game("data/sound/Ogg/FrontEnd/N_MenuMusic_loop.ogg")), good);
    ASSERT_EQ(outcome.skipped.size(), 4) << qPrintable(outcome.skipped.join(u'\n'));
    EXPECT_TRUE(outcome.skipped[2].startsWith("bad.mp3: "));
    EXPECT_TRUE(outcome.skipped[3].startsWith("d.ogg: The Ogg stream is damaged"))
        << qPrintable(outcome.skipped[3]);
    EXPECT_EQ(SkippedSoundsMessage(outcome.skipped).Reason(), outcome.skipped.join(u'\n'));

    // Nothing usable left: the save fails and names every file.
    ASSERT_TRUE(QFile::remove(Path("sounds/a.mp3")));
    ASSERT_EQ(std::remove(latin1.constData()), 0);
    const MusicSaveOutcome none = Save(Path("sounds"), {5}, true);
    ASSERT_TRUE(none.failure.has_value());
    EXPECT_EQ(none.failure->Headline().text, kConversionFailedMessage);
    EXPECT_EQ(none.skipped.size(), 4);
    EXPECT_TRUE(none.tracks.isEmpty());
}

} // namespace
