#pragma once

#include "app/Failure.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class BusyHost;
class QIODevice;

// Writes the body of a file into an open device; a failure (or a cancel)
// leaves the previous file as it was.
using WriteBody = std::function<Result<>(QIODevice&)>;

// Every write of a file into the game folder (or one of the program's own
// folders there) goes through here. The path is input: root + relative is
// resolved component by component, existing folders and the file matched
// without regard to case, missing folders created with the given spelling,
// symlinks followed only as long as they stay inside root. A write whose
// resolved path leaves root is refused with a reason that names the path. A
// file that is a symlink is replaced by a regular file, never written through.
// The new file is written beside the old one under a temporary name of the
// program's own (".<name>.lumivale-<pid>-<n>.tmp"), synced, and renamed over
// it, so a failure, a cancel, a full disk or a kill at any moment leaves
// either the old file or the complete new one. Temporaries that a killed run
// left in the folder are removed first.
//
// Failures carry the system's reason ("No space left on device") or the
// refused path as their reason; callers retitle them with their own message.
Result<QString> WriteFileAtomically(const QString& root, const QString& relative, const WriteBody& body);

// A write of a game file: relative is below the game folder. For files below
// its data folder (where loose files override the game's packed ones) the
// program keeps track of what it replaces: before it first replaces a loose
// file it did not write, it keeps a copy at Lumivale/Backup/<relative>; for
// every file it writes it records the SHA-256 of what it wrote beside that
// (<relative>.sha256). Other paths are written as WriteFileAtomically does.
Result<QString> WriteGameFile(const QString& gameFolder, const QString& relative, const WriteBody& body);

// How the writes and restores below keep their promise when a run is killed
// at any instant: a foreign file is copied to Lumivale/Backup/<relative> (never
// over an earlier copy of other bytes: those are kept beside it as
// "<relative>.kept-<n>"), the new files are staged beside their targets, the
// record names the new contents as pending (synced) before the renames and as
// written after them. A file that holds either the written or the pending
// contents is the program's. Restore puts the kept file back before it drops
// the record. Each call holds the game folder's lock for its duration unless
// the caller's job holds it already.

// One job's hold on a game folder: the whole check -> backup -> write ->
// record sequence of one job (a texture category, a randomizer run, a music
// save, a batch of online textures) runs under it, so that two runs at once
// (the game shortcut clicked twice, the window beside a randomizer run) never
// interleave. Other processes wait for it; a killed holder releases it. Within
// one process a second hold on the same folder shares the first. While it
// waits longer than a few seconds it says so through host (another run is
// writing to this game folder) and gives up when the host's cancel is asked.
class GameFolderLock
{
public:
    static Result<GameFolderLock> Acquire(const QString& gameFolder, BusyHost* host);
    GameFolderLock(GameFolderLock&&) noexcept;
    GameFolderLock& operator=(GameFolderLock&&) noexcept;
    ~GameFolderLock();

    struct Hold;

private:
    explicit GameFolderLock(std::shared_ptr<Hold> hold);
    std::shared_ptr<Hold> m_hold;
};

// One file of a multi-file write.
struct GameFileWrite
{
    QString relative;
    WriteBody body;
};

// The files of one target (the hero-login tracks, a dance floor side) as a
// unit: every file is staged before any replaces its old one, so a full disk
// or a failed body leaves them all as they were. Returns the written paths in
// the order given.
Result<QStringList> WriteGameFiles(const QString& gameFolder, const std::vector<GameFileWrite>& files);

// The seam the tests stop a write at, as a kill would: hook runs after each
// step of a WriteGameFile, WriteGameFiles or RestoreGameFile call (counted from
// 1 in each call). An empty function removes it.
namespace GameFileWriterFaults {
void SetStepHook(std::function<void(int step)> hook);
}

struct RestoreOutcome
{
    enum Kind
    {
        NotThere,      // no such file: nothing to do
        Deleted,       // the program's file is gone; the game's packed one shows again
        BackupPutBack, // the loose file that was there before is back
        LeftAlone,     // the file is not (or no longer) what the program wrote
    };
    Kind kind = NotThere;
    QString path;
};

// Undoes WriteGameFile for one file, but only while the file still holds what
// the program wrote: then the kept file goes back, or, without one, the file is
// deleted. A file changed since by something else is left alone.
Result<RestoreOutcome> RestoreGameFile(const QString& gameFolder, const QString& relative);
// What to tell of the files a restore left alone: "This file was left as it
// is: ..." for one, "These files were left as they are: ..." for more (one and
// many name the kind of file), with the paths as the detail.
Message LeftAloneMessage(const QStringList& paths, const QString& one = QStringLiteral("file"),
                         const QString& many = QStringLiteral("files"));

// Who wrote the game file at relative: nothing is there, the program (the
// file still holds what it wrote), or something else (the file of another
// mod, or the program's file changed since). Nothing is created.
enum class GameFileOwner
{
    None,
    Program,
    Other,
};
GameFileOwner OwnerOfGameFile(const QString& gameFolder, const QString& relative);

// The path root + relative resolves to, with the folders it needs created,
// under the rules above. Nothing is written.
Result<QString> ResolveWriteTarget(const QString& root, const QString& relative);

// Removes, from folder, the temporaries of writes by runs that no longer
// exist, and leftovers of the earlier QSaveFile writes of fileName.
void RemoveStaleTemporaries(const QString& folder, const QString& fileName);

// A folder of one's own inside the work folder ("job-<pid>-<n>"), for
// temporary files whose names are fixed (the compressor's), so that two writes
// at once, in one process or two, never share them. Removed with everything in
// it when the object goes, also after a failure. Creating one first removes
// the folders of runs that no longer exist and loose temporary files earlier
// versions left in the work folder.
class PrivateWorkFolder
{
public:
    explicit PrivateWorkFolder(const QString& workFolder);
    ~PrivateWorkFolder();
    PrivateWorkFolder(const PrivateWorkFolder&) = delete;
    PrivateWorkFolder& operator=(const PrivateWorkFolder&) = delete;

    // False when the folder could not be made; reason() then says why.
    bool IsValid() const { return !m_path.isEmpty(); }
    const QString& Reason() const { return m_reason; }
    const QString& Path() const { return m_path; }
    QString FilePath(const QString& name) const;
    // Moves name out into the work folder before the folder goes (the
    // compressor's log of the last run stays readable there).
    void Keep(const QString& name);

    // What creating one does first; also run once at the start of a program.
    static void RemoveStale(const QString& workFolder);

private:
    QString m_workFolder;
    QString m_path;
    QString m_reason;
    QStringList m_kept;
};
