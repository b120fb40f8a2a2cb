#include "app/GameFileWriter.h"

#include "RecordingBusyHost.h"
#include "TestTools.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QIODevice>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class GameFileWriterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        game = QFileInfo(m_dir.path()).canonicalFilePath() + QStringLiteral("/game");
        outside = QFileInfo(m_dir.path()).canonicalFilePath() + QStringLiteral("/outside");
        ASSERT_TRUE(QDir().mkpath(game + QStringLiteral("/data")));
        ASSERT_TRUE(QDir().mkpath(outside));
    }

    static WriteBody Bytes(const QByteArray& bytes)
    {
        return [bytes](QIODevice& out) -> Result<> {
            if (out.write(bytes) != bytes.size())
                return Fail(out.errorString(), MessageIcon::Exclamation);
            return {};
        };
    }

    QStringList Entries(const QString& folder) const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    QTemporaryDir m_dir;
    QString game;
    QString outside;
};

TEST_F(GameFileWriterTest, WritesBelowTheRootMatchingExistingFoldersInCase)
{
    ASSERT_TRUE(QDir().mkpath(game + QStringLiteral("/data/Texture_Library")));
    const Result<QString> written =
        WriteFileAtomically(game, QStringLiteral("data\\texture_library/GUI/x.texture"), Bytes("new"));
    ASSERT_TRUE(written) << qPrintable(written.error().Text());
    EXPECT_EQ(*written, game + QStringLiteral("/data/Texture_Library/GUI/x.texture"));
    EXPECT_EQ(ReadAll(*written), QByteArray("new"));
    // ".." never climbs out.
    const Result<QString> climbed =
        WriteFileAtomically(game, QStringLiteral("data/../../escape.txt"), Bytes("x"));
    ASSERT_TRUE(climbed);
    EXPECT_TRUE(climbed->startsWith(game + QLatin1Char('/')));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(game).path() + QStringLiteral("/escape.txt")));
    // No root, no write: a missing game folder is never created.
    EXPECT_FALSE(WriteFileAtomically(game + QStringLiteral("/none"), QStringLiteral("a.txt"), Bytes("x")));
    EXPECT_FALSE(QFileInfo::exists(game + QStringLiteral("/none")));
}

// Symlinks are input: a write never follows one out of the root, and a file
// that is a symlink is replaced, not written through.
TEST_F(GameFileWriterTest, SymlinksNeverLeadAWriteOutOfTheRoot)
{
    // The texture file is a link to a file elsewhere.
    ASSERT_TRUE(WriteBytes(outside + QStringLiteral("/victim.txt"), "precious"));
    ASSERT_TRUE(
        QFile::link(outside + QStringLiteral("/victim.txt"), game + QStringLiteral("/data/a.texture")));
    ASSERT_TRUE(WriteFileAtomically(game, QStringLiteral("data/a.texture"), Bytes("new")));
    EXPECT_EQ(ReadAll(outside + QStringLiteral("/victim.txt")), QByteArray("precious"));
    EXPECT_FALSE(QFileInfo(game + QStringLiteral("/data/a.texture")).isSymLink());
    EXPECT_EQ(ReadAll(game + QStringLiteral("/data/a.texture")), QByteArray("new"));

    // A dangling link creates nothing where it points.
    ASSERT_TRUE(
        QFile::link(outside + QStringLiteral("/created.txt"), game + QStringLiteral("/data/b.texture")));
    ASSERT_TRUE(WriteFileAtomically(game, QStringLiteral("data/b.texture"), Bytes("new")));
    EXPECT_FALSE(QFileInfo::exists(outside + QStringLiteral("/created.txt")));

    // A folder that is a link out of the game folder stops the write, naming the path.
    ASSERT_TRUE(QFile::link(outside, game + QStringLiteral("/data/texture_library")));
    const Result<QString> refused =
        WriteFileAtomically(game, QStringLiteral("data/texture_library/GUI/c.texture"), Bytes("new"));
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.error().Headline().detail.contains(game + QStringLiteral("/data/texture_library")))
        << qPrintable(refused.error().Text());
    EXPECT_TRUE(Entries(outside).contains(QStringLiteral("victim.txt")));
    EXPECT_EQ(Entries(outside).size(), 1);

    // A link that stays inside the game folder is fine.
    ASSERT_TRUE(QDir().mkpath(game + QStringLiteral("/real")));
    ASSERT_TRUE(QFile::link(game + QStringLiteral("/real"), game + QStringLiteral("/data/inside")));
    const Result<QString> inside =
        WriteFileAtomically(game, QStringLiteral("data/inside/d.texture"), Bytes("ok"));
    ASSERT_TRUE(inside);
    EXPECT_EQ(ReadAll(game + QStringLiteral("/real/d.texture")), QByteArray("ok"));

    // The game folder itself may be a link: the root is where it leads.
    ASSERT_TRUE(QFile::link(game, outside + QStringLiteral("/game-link")));
    EXPECT_TRUE(WriteFileAtomically(outside + QStringLiteral("/game-link"), QStringLiteral("data/e.texture"),
                                    Bytes("e")));
    EXPECT_EQ(ReadAll(game + QStringLiteral("/data/e.texture")), QByteArray("e"));
}

TEST_F(GameFileWriterTest, AFailedBodyOrAFolderInTheWayKeepsTheOldFile)
{
    ASSERT_TRUE(WriteBytes(game + QStringLiteral("/data/x.texture"), "old"));
    const Result<QString> failed =
        WriteFileAtomically(game, QStringLiteral("data/x.texture"), [](QIODevice& out) -> Result<> {
            out.write("half");
            return Fail(Failure::Cancelled());
        });
    ASSERT_FALSE(failed);
    EXPECT_TRUE(failed.error().IsCancel());
    EXPECT_EQ(ReadAll(game + QStringLiteral("/data/x.texture")), QByteArray("old"));
    EXPECT_EQ(Entries(game + QStringLiteral("/data")), QStringList{QStringLiteral("x.texture")});

    ASSERT_TRUE(QDir().mkpath(game + QStringLiteral("/data/folder.texture")));
    EXPECT_FALSE(WriteFileAtomically(game, QStringLiteral("data/folder.texture"), Bytes("x")));
}

// Temporaries of killed runs go at the next write into their folder; those of
// a run that still lives stay.
TEST_F(GameFileWriterTest, LeftoversOfKilledRunsAreRemoved)
{
    QProcess sleeper;
    sleeper.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(sleeper.waitForStarted());
    const QString data = game + QStringLiteral("/data/");
    const QString alive = QStringLiteral(".x.texture.lumivale-%1-1.tmp").arg(sleeper.processId());
    ASSERT_TRUE(WriteBytes(data + alive, "writing"));
    ASSERT_TRUE(WriteBytes(data + QStringLiteral(".x.texture.lumivale-999999999-4.tmp"), "killed"));
    ASSERT_TRUE(WriteBytes(data + QStringLiteral("x.texture.Ab12Cd"), "qsavefile leftover"));
    ASSERT_TRUE(WriteBytes(data + QStringLiteral("x.texture.notes"), "somebody's"));
    ASSERT_TRUE(WriteFileAtomically(game, QStringLiteral("data/x.texture"), Bytes("new")));
    EXPECT_EQ(Entries(data),
              (QStringList{alive, QStringLiteral("x.texture"), QStringLiteral("x.texture.notes")}));
    sleeper.kill();
    sleeper.waitForFinished();
}

TEST_F(GameFileWriterTest, PrivateWorkFoldersAreSeparateAndCleanedUp)
{
    const QString work = m_dir.filePath(QStringLiteral("work"));
    QString first, second;
    {
        PrivateWorkFolder a(work);
        PrivateWorkFolder b(work);
        ASSERT_TRUE(a.IsValid());
        ASSERT_TRUE(b.IsValid());
        EXPECT_NE(a.Path(), b.Path());
        ASSERT_TRUE(WriteBytes(a.FilePath(QStringLiteral("temp_tga.tga")), "a"));
        ASSERT_TRUE(WriteBytes(a.FilePath(QStringLiteral("nvcompress.log")), "log"));
        a.Keep(QStringLiteral("nvcompress.log"));
        first = a.Path();
        second = b.Path();
    }
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_FALSE(QFileInfo::exists(second));
    EXPECT_EQ(ReadAll(work + QStringLiteral("/nvcompress.log")), QByteArray("log"));

    // A folder of a killed run and the files of earlier versions go when the next one is made.
    ASSERT_TRUE(QDir().mkpath(work + QStringLiteral("/job-999999999-3")));
    ASSERT_TRUE(WriteBytes(work + QStringLiteral("/temp_dds.dds"), "stale"));
    PrivateWorkFolder next(work);
    EXPECT_EQ(Entries(work),
              (QStringList{QFileInfo(next.Path()).fileName(), QStringLiteral("nvcompress.log")}));
}

// A loose file of another mod is kept before the program first replaces it,
// and comes back byte for byte when the program's file is restored.
TEST_F(GameFileWriterTest, ForeignFilesAreKeptAndPutBack)
{
    const QString relative = QStringLiteral("data/texture_library/GUI/x.texture");
    ASSERT_TRUE(QDir().mkpath(game + QStringLiteral("/data/texture_library/GUI")));
    const QString file = game + QLatin1Char('/') + relative;
    QByteArray foreign(100000, 'm');
    foreign[7] = '\x01';
    ASSERT_TRUE(WriteBytes(file, foreign));

    ASSERT_TRUE(WriteGameFile(game, relative, Bytes("first")));
    const QString backup = game + QStringLiteral("/Lumivale/Backup/") + relative.toLower();
    EXPECT_EQ(ReadAll(backup), foreign);
    EXPECT_EQ(ReadAll(backup + QStringLiteral(".sha256")).left(71),
              "sha256 " + QCryptographicHash::hash("first", QCryptographicHash::Sha256).toHex());
    // A second replace of the program's own file keeps the first backup.
    ASSERT_TRUE(WriteGameFile(game, relative, Bytes("second")));
    EXPECT_EQ(ReadAll(backup), foreign);
    // Another mod's file put there since is kept beside it, never over it.
    ASSERT_TRUE(WriteBytes(file, "another mod"));
    ASSERT_TRUE(WriteGameFile(game, relative, Bytes("third")));
    EXPECT_EQ(ReadAll(backup), foreign);
    EXPECT_EQ(ReadAll(backup + QStringLiteral(".kept-2")), QByteArray("another mod"));

    Result<RestoreOutcome> restored = RestoreGameFile(game, relative);
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->kind, RestoreOutcome::BackupPutBack);
    EXPECT_EQ(ReadAll(file), foreign);
    EXPECT_FALSE(QFileInfo::exists(backup));
    // The foreign file is not the program's: a second restore leaves it alone.
    restored = RestoreGameFile(game, relative);
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->kind, RestoreOutcome::LeftAlone);
    EXPECT_EQ(ReadAll(file), foreign);

    // A mod linked in from elsewhere is kept as the link itself and linked in again by restore.
    const QString linked = QStringLiteral("data/texture_library/GUI/linked.texture");
    ASSERT_TRUE(WriteBytes(outside + QStringLiteral("/mod.texture"), "mod"));
    ASSERT_TRUE(
        QFile::link(QStringLiteral("../../../../outside/mod.texture"), game + QLatin1Char('/') + linked));
    EXPECT_EQ(OwnerOfGameFile(game, linked), GameFileOwner::Other);
    ASSERT_TRUE(WriteGameFile(game, linked, Bytes("ours")));
    EXPECT_EQ(OwnerOfGameFile(game, linked), GameFileOwner::Program);
    EXPECT_FALSE(QFileInfo(game + QLatin1Char('/') + linked).isSymLink());
    EXPECT_EQ(ReadAll(outside + QStringLiteral("/mod.texture")), QByteArray("mod"));
    restored = RestoreGameFile(game, linked);
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->kind, RestoreOutcome::BackupPutBack);
    EXPECT_TRUE(QFileInfo(game + QLatin1Char('/') + linked).isSymLink());
    EXPECT_EQ(ReadAll(game + QLatin1Char('/') + linked), QByteArray("mod"));
    EXPECT_EQ(RestoreGameFile(game, linked)->kind, RestoreOutcome::LeftAlone);
}

TEST_F(GameFileWriterTest, RestoreTouchesOnlyWhatTheProgramWrote)
{
    const QString relative = QStringLiteral("data/a.texture");
    // Nothing there: nothing to do.
    Result<RestoreOutcome> restored = RestoreGameFile(game, relative);
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->kind, RestoreOutcome::NotThere);
    EXPECT_EQ(RestoreGameFile(game, QStringLiteral("data/no/such/folder.texture"))->kind,
              RestoreOutcome::NotThere);
    EXPECT_FALSE(QFileInfo::exists(game + QStringLiteral("/data/no")));

    // The program's own file without a file before it: restore deletes it.
    ASSERT_TRUE(WriteGameFile(game, relative, Bytes("mine")));
    EXPECT_FALSE(QFileInfo::exists(game + QStringLiteral("/Lumivale/Backup/data/a.texture")));
    restored = RestoreGameFile(game, relative);
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->kind, RestoreOutcome::Deleted);
    EXPECT_FALSE(QFileInfo::exists(game + QLatin1Char('/') + relative));

    // Changed by something else since: left alone, and said so.
    ASSERT_TRUE(WriteGameFile(game, relative, Bytes("mine")));
    ASSERT_TRUE(WriteBytes(game + QLatin1Char('/') + relative, "theirs"));
    restored = RestoreGameFile(game, relative);
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->kind, RestoreOutcome::LeftAlone);
    EXPECT_EQ(ReadAll(game + QLatin1Char('/') + relative), QByteArray("theirs"));

    // Same size, same time stamp faked, other bytes: the contents decide.
    ASSERT_TRUE(WriteGameFile(game, relative, Bytes("mine")));
    const QString path = game + QLatin1Char('/') + relative;
    const QDateTime when = QFileInfo(path).lastModified();
    ASSERT_TRUE(WriteBytes(path, "Mine"));
    QFile touched(path);
    ASSERT_TRUE(touched.open(QIODevice::ReadWrite));
    touched.setFileTime(when, QFileDevice::FileModificationTime);
    touched.close();
    EXPECT_EQ(RestoreGameFile(game, relative)->kind, RestoreOutcome::LeftAlone);

    // A record an earlier version wrote (no pending line) still names the file.
    ASSERT_TRUE(WriteBytes(path, "old version's"));
    ASSERT_TRUE(WriteBytes(game + QStringLiteral("/Lumivale/Backup/data/a.texture.sha256"),
                           "sha256 " +
                               QCryptographicHash::hash("old version's", QCryptographicHash::Sha256).toHex() +
                               "\nsize 13\nmtime 1 2\n"));
    EXPECT_EQ(OwnerOfGameFile(game, relative), GameFileOwner::Program);
    EXPECT_NE(RestoreGameFile(game, relative)->kind, RestoreOutcome::LeftAlone);

    // Files outside data are the program's own folders: no backups, no records.
    ASSERT_TRUE(WriteBytes(game + QStringLiteral("/other.txt"), "x"));
    ASSERT_TRUE(WriteGameFile(game, QStringLiteral("other.txt"), Bytes("y")));
    EXPECT_FALSE(QFileInfo::exists(game + QStringLiteral("/Lumivale/Backup/other.txt")));
}

// A kill after any step of a write or a restore, and then the next write and
// a restore, still give back the foreign file byte for byte; no file of the
// program's is ever taken for a foreign one and kept.
TEST_F(GameFileWriterTest, AKillAtAnyStepNeverLosesTheForeignFile)
{
    const QStringList files = {QStringLiteral("data/texture_library/GUI/a.texture"),
                               QStringLiteral("data/texture_library/GUI/b.texture"),
                               QStringLiteral("data/sound/ogg/c.ogg")};
    const auto writeAll = [&](const QStringList& relatives, const QByteArray& bytes) {
        std::vector<GameFileWrite> writes;
        for (const QString& relative : relatives)
            writes.push_back({relative, Bytes(bytes + relative.toUtf8())});
        return bool(WriteGameFiles(game, writes));
    };
    struct Case
    {
        const char* name;
        QStringList relatives;
        bool writtenBefore; // the program's file is already over the foreign one
        std::function<bool()> killed;
    };
    const Case cases[] = {
        {"first write", {files[0]}, false, [&] { return bool(WriteGameFile(game, files[0], Bytes("p1"))); }},
        {"second write", {files[0]}, true, [&] { return bool(WriteGameFile(game, files[0], Bytes("p2"))); }},
        {"three files", files, false, [&] { return writeAll(files, "p1"); }},
        {"three files again", files, true, [&] { return writeAll(files, "p2"); }},
        {"restore", {files[0]}, true, [&] { return bool(RestoreGameFile(game, files[0])); }},
    };
    for (const Case& c : cases) {
        for (int step = 1;; ++step) {
            SCOPED_TRACE(testing::Message() << c.name << ", killed after step " << step);
            QDir(game).removeRecursively();
            for (const QString& relative : c.relatives) {
                ASSERT_TRUE(QDir().mkpath(QFileInfo(game + QLatin1Char('/') + relative).path()));
                ASSERT_TRUE(WriteBytes(game + QLatin1Char('/') + relative, "foreign " + relative.toUtf8()));
            }
            if (c.writtenBefore) {
                ASSERT_TRUE(writeAll(c.relatives, "p0"));
            }
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                GameFileWriterFaults::SetStepHook([step](int done) {
                    if (done == step)
                        ::_exit(9);
                });
                ::_exit(c.killed() ? 0 : 1);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status));
            if (WEXITSTATUS(status) == 0)
                break; // the job had fewer steps: every one was tried
            ASSERT_EQ(WEXITSTATUS(status), 9);

            ASSERT_TRUE(writeAll(c.relatives, "next"));
            for (const QString& relative : c.relatives) {
                const Result<RestoreOutcome> restored = RestoreGameFile(game, relative);
                ASSERT_TRUE(restored);
                EXPECT_EQ(restored->kind, RestoreOutcome::BackupPutBack);
                EXPECT_EQ(ReadAll(game + QLatin1Char('/') + relative), "foreign " + relative.toUtf8());
            }
            QDirIterator kept(game + QStringLiteral("/Lumivale"), QDir::Files | QDir::Hidden,
                              QDirIterator::Subdirectories);
            EXPECT_FALSE(kept.hasNext()) << qPrintable(kept.next());
        }
    }
}

// The files of one target are staged before any replaces its old one.
TEST_F(GameFileWriterTest, AFailedFileLeavesTheWholeTargetOld)
{
    ASSERT_TRUE(WriteBytes(game + QStringLiteral("/data/a.ogg"), "old a"));
    const Result<QStringList> written =
        WriteGameFiles(game, {{QStringLiteral("data/a.ogg"), Bytes("new a")},
                              {QStringLiteral("data/b.ogg"), Bytes("new b")},
                              {QStringLiteral("data/c.ogg"), [](QIODevice&) -> Result<> {
                                   return Fail(Failure::Because(QStringLiteral("No space left on device")));
                               }}});
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().Reason(), QStringLiteral("No space left on device"));
    EXPECT_EQ(ReadAll(game + QStringLiteral("/data/a.ogg")), QByteArray("old a"));
    EXPECT_EQ(Entries(game + QStringLiteral("/data")), QStringList{QStringLiteral("a.ogg")});
    EXPECT_EQ(OwnerOfGameFile(game, QStringLiteral("data/a.ogg")), GameFileOwner::Other);
}

// Another process waits for the holder, whether it lets go or is killed; a
// cancel through the host ends the wait after it has said why it waits.
TEST_F(GameFileWriterTest, TheLockWaitsForTheHolderInAnotherProcess)
{
    const auto holdInChild = [&](int holdMs) {
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            const Result<GameFolderLock> lock = GameFolderLock::Acquire(game, nullptr);
            (void)!::write(ready[1], lock ? "1" : "0", 1);
            if (holdMs < 0)
                ::pause();
            ::usleep(useconds_t(holdMs) * 1000);
            ::_exit(0);
        }
        char got = 0;
        EXPECT_EQ(::read(ready[0], &got, 1), 1);
        EXPECT_EQ(got, '1');
        ::close(ready[0]);
        ::close(ready[1]);
        return child;
    };
    using Clock = std::chrono::steady_clock;
    pid_t child = holdInChild(400);
    auto started = Clock::now();
    {
        const Result<GameFolderLock> lock = GameFolderLock::Acquire(game, nullptr);
        ASSERT_TRUE(lock);
        EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(300));
        // Within the process a second hold shares the first.
        started = Clock::now();
        EXPECT_TRUE(GameFolderLock::Acquire(game + QStringLiteral("/data/.."), nullptr));
        EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(100));
    }
    ::waitpid(child, nullptr, 0);

    child = holdInChild(-1);
    RecordingBusyHost host;
    host.onProgress = [&](qint32) {
        if (host.StatusText().startsWith(
                QStringLiteral("Another Lumivale run is writing to this game folder.")))
            host.RequestCancel();
    };
    {
        BusyScope job(host, true, 1, QStringLiteral("Writing..."));
        const Result<GameFolderLock> cancelled = GameFolderLock::Acquire(game, &host);
        ASSERT_FALSE(cancelled);
        EXPECT_TRUE(cancelled.error().IsCancel());
    }
    EXPECT_TRUE(host.Statuses().contains(
        QStringLiteral("Another Lumivale run is writing to this game folder. Waiting for it to finish...")));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    started = Clock::now();
    EXPECT_TRUE(GameFolderLock::Acquire(game, &host));
    EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(200));
}

} // namespace
