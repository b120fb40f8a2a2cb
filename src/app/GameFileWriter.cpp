#include "app/GameFileWriter.h"

#include "app/BusyHost.h"
#include "app/FileAccess.h"
#include "app/FileNames.h"
#include "app/Sha256.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<quint64> g_sequence{0};

// A fresh number for this process's temporaries.
quint64 NextSequence()
{
    return ++g_sequence;
}

bool ProcessGone(qint64 pid)
{
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return true;
    if (pid_t(pid) == ::getpid())
        return false;
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

bool Inside(const QString& canonicalRoot, const QString& canonicalPath)
{
    return canonicalPath == canonicalRoot || canonicalPath.startsWith(canonicalRoot.endsWith(QLatin1Char('/'))
                                                                          ? canonicalRoot
                                                                          : canonicalRoot + QLatin1Char('/'));
}

QStringList Components(const QString& relative)
{
    QString slashed = relative;
    slashed.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QStringList components;
    for (const QString& c : slashed.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (c != QLatin1String(".") && c != QLatin1String(".."))
            components << c;
    }
    return components;
}

Failure Refused(const QString& reason)
{
    return Failure::Because(reason);
}

} // namespace

namespace {

Result<QString> Resolve(const QString& root, const QString& relative, bool createFolders)
{
    const QFileInfo rootInfo(root);
    const QString canonicalRoot = rootInfo.canonicalFilePath();
    if (root.isEmpty() || canonicalRoot.isEmpty() || !rootInfo.isDir())
        return Fail(Refused(QStringLiteral("The folder %1 does not exist.").arg(root)));
    const QStringList components = Components(relative);
    if (components.isEmpty())
        return Fail(Refused(QStringLiteral("No file name below %1.").arg(root)));

    // Each folder is followed to where it really is, and must stay inside root.
    // Walking down from the canonical root, a component that is no symlink
    // keeps the path canonical; only symlinks need resolving.
    QString current = canonicalRoot;
    for (qsizetype i = 0; i + 1 < components.size(); ++i) {
        const QString spelled = SpelledEntry(current, components[i]);
        const QString next = current + QLatin1Char('/') + (spelled.isEmpty() ? components[i] : spelled);
        struct stat info = {};
        if (::lstat(FileNameToBytes(next).constData(), &info) != 0) {
            if (!createFolders)
                return Fail(Refused(QStringLiteral("The folder %1 does not exist.").arg(next)));
            if (!QDir().mkdir(next) && !QFileInfo(next).isDir())
                return Fail(Refused(QStringLiteral("The folder %1 cannot be created.").arg(next)));
            current = next;
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            current = next;
            continue;
        }
        if (!S_ISLNK(info.st_mode))
            return Fail(Refused(QStringLiteral("%1 is not a folder.").arg(next)));
        const QFileInfo link(next);
        const QString resolved = link.canonicalFilePath();
        if (resolved.isEmpty())
            return Fail(Refused(QStringLiteral("%1 is a symbolic link that leads nowhere.").arg(next)));
        if (!link.isDir())
            return Fail(Refused(QStringLiteral("%1 is not a folder.").arg(next)));
        if (!Inside(canonicalRoot, resolved))
            return Fail(Refused(QStringLiteral("%1 leads outside %2.").arg(next, canonicalRoot)));
        current = resolved;
    }

    const QString name = components.last();
    const QString spelled = SpelledEntry(current, name);
    const QString target = current + QLatin1Char('/') + (spelled.isEmpty() ? name : spelled);
    const QFileInfo info(target);
    // A symlink is replaced, not followed; anything else that is not a plain file stays.
    if (!info.isSymLink() && info.exists() && !info.isFile())
        return Fail(Refused(QStringLiteral("%1 is not a regular file.").arg(target)));
    return target;
}

} // namespace

Result<QString> ResolveWriteTarget(const QString& root, const QString& relative)
{
    return Resolve(root, relative, true);
}

void RemoveStaleTemporaries(const QString& folder, const QString& fileName)
{
    const QString ours = QStringLiteral(".lumivale-");
    const QString saveFilePrefix = fileName + QLatin1Char('.');
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries) {
        bool stale = false;
        // ".<name>.lumivale-<pid>-<n>.tmp" of a run that is gone.
        const qsizetype at = entry.lastIndexOf(ours);
        if (entry.startsWith(QLatin1Char('.')) && at > 1 && entry.endsWith(QLatin1String(".tmp"))) {
            const QStringView numbers = QStringView(entry).sliced(at + ours.size()).chopped(4);
            const qsizetype dash = numbers.indexOf(QLatin1Char('-'));
            bool ok = false;
            const qint64 pid = dash > 0 ? numbers.first(dash).toLongLong(&ok) : 0;
            stale = ok && ProcessGone(pid);
        }
        // "<name>.XXXXXX" left by the QSaveFile writes of earlier versions.
        if (entry.size() == saveFilePrefix.size() + 6 && entry.startsWith(saveFilePrefix)) {
            const QStringView suffix = QStringView(entry).sliced(saveFilePrefix.size());
            stale = std::all_of(suffix.begin(), suffix.end(),
                                [](QChar c) { return c.unicode() < 128 && (c.isLetterOrNumber()); });
        }
        if (stale)
            QFile::remove(folder + QLatin1Char('/') + entry);
    }
}

namespace {

// Write calls passed on to the file in slices, their bytes hashed on the way
// when asked. The hash runs inline: handing the blocks to another thread costs
// more in copies and wake-ups than the hash itself (2.6 ms for 4 MB), and the
// callers that write several files at once already run them on both cores.
// For a file that will be synced, each slice is sent on its way to the disk
// as soon as it is written, so that the sync at the end only waits for the
// last one instead of starting on all of them.
class GameFileDevice : public QIODevice
{
public:
    GameFileDevice(QFile& target, bool hash, bool startWriteback)
        : m_target(target), m_hashing(hash), m_writeback(startWriteback)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    QByteArray Digest() { return m_hash.Hex(); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        qint64 done = 0;
        while (done < size) {
            const qint64 slice = std::min(size - done, kSlice - m_pending);
            const qint64 written = m_target.write(data + done, slice);
            if (written <= 0) {
                setErrorString(m_target.errorString());
                return done > 0 ? done : written;
            }
            if (m_hashing)
                m_hash.Add(data + done, written);
            done += written;
            m_pending += written;
            if (m_pending >= kSlice) {
                if (m_writeback)
                    ::sync_file_range(m_target.handle(), m_offset, m_pending, SYNC_FILE_RANGE_WRITE);
                m_offset += m_pending;
                m_pending = 0;
            }
        }
        return done;
    }

private:
    static constexpr qint64 kSlice = 1 << 19;
    QFile& m_target;
    bool m_hashing;
    bool m_writeback;
    qint64 m_offset = 0;  // start of the slice being filled
    qint64 m_pending = 0; // bytes written into it so far
    Sha256 m_hash;
};

// A new file written completely beside its target under a temporary name,
// not yet in place.
struct StagedFile
{
    QString target;
    QByteArray temporary;
    QByteArray hash; // SHA-256 of the contents, when asked for
};

void Discard(const StagedFile& staged)
{
    ::unlink(staged.temporary.constData());
}

Result<StagedFile> Stage(const QString& root, const QString& relative, const WriteBody& body, bool hashing,
                         bool sync)
{
    auto resolved = ResolveWriteTarget(root, relative);
    if (!resolved)
        return Fail(resolved.error());
    StagedFile staged;
    staged.target = *resolved;
    const QFileInfo targetInfo(staged.target);
    const QString folder = targetInfo.path();
    const QString name = targetInfo.fileName();
    RemoveStaleTemporaries(folder, name);

    staged.temporary = FileNameToBytes(QStringLiteral("%1/.%2.lumivale-%3-%4.tmp")
                                           .arg(folder, name)
                                           .arg(qint64(::getpid()))
                                           .arg(NextSequence()));
    // The previous file's permissions carry over; a new file gets the usual ones.
    struct stat old = {};
    const bool replacing =
        ::lstat(FileNameToBytes(staged.target).constData(), &old) == 0 && S_ISREG(old.st_mode);
    const int fd = ::open(staged.temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          replacing ? (old.st_mode & 07777) : 0666);
    if (fd < 0)
        return Fail(Refused(SystemErrorText(errno)));

    const auto discard = [&](Failure failure) -> Result<StagedFile> {
        Discard(staged);
        return Fail(std::move(failure));
    };
    QFile file;
    // Unbuffered: every write reaches the system, whose reason a failure then carries.
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return discard(Refused(file.errorString()));
    }
    GameFileDevice device(file, hashing, sync);
    if (auto written = body(device); !written)
        return discard(written.error());
    if (!file.flush() || file.error() != QFileDevice::NoError)
        return discard(Refused(file.errorString()));
    if (sync && ::fdatasync(file.handle()) != 0)
        return discard(Refused(SystemErrorText(errno)));
    if (hashing)
        staged.hash = device.Digest();
    file.close();
    if (file.error() != QFileDevice::NoError)
        return discard(Refused(file.errorString()));
    return staged;
}

Result<QString> PutInPlace(const StagedFile& staged)
{
    if (::rename(staged.temporary.constData(), FileNameToBytes(staged.target).constData()) != 0) {
        const int error = errno;
        Discard(staged);
        return Fail(Refused(SystemErrorText(error)));
    }
    return staged.target;
}

// The atomic write.
Result<QString> WriteAtomically(const QString& root, const QString& relative, const WriteBody& body,
                                bool sync)
{
    const Result<StagedFile> staged = Stage(root, relative, body, false, sync);
    if (!staged)
        return Fail(staged.error());
    return PutInPlace(*staged);
}

} // namespace

Result<QString> WriteFileAtomically(const QString& root, const QString& relative, const WriteBody& body)
{
    return WriteAtomically(root, relative, body, true);
}

PrivateWorkFolder::PrivateWorkFolder(const QString& workFolder) : m_workFolder(workFolder)
{
    if (workFolder.isEmpty() || !QDir().mkpath(workFolder)) {
        m_reason = QStringLiteral("The work folder %1 cannot be created.").arg(workFolder);
        return;
    }
    RemoveStale(workFolder);
    const QString path =
        QStringLiteral("%1/job-%2-%3").arg(workFolder).arg(qint64(::getpid())).arg(NextSequence());
    if (::mkdir(FileNameToBytes(path).constData(), 0700) != 0) {
        m_reason = SystemErrorText(errno);
        return;
    }
    m_path = path;
}

PrivateWorkFolder::~PrivateWorkFolder()
{
    if (m_path.isEmpty())
        return;
    for (const QString& name : m_kept) {
        const QString kept = m_workFolder + QLatin1Char('/') + name;
        ::rename(FileNameToBytes(FilePath(name)).constData(), FileNameToBytes(kept).constData());
    }
    QDir(m_path).removeRecursively();
}

QString PrivateWorkFolder::FilePath(const QString& name) const
{
    return m_path + QLatin1Char('/') + name;
}

void PrivateWorkFolder::Keep(const QString& name)
{
    if (!m_kept.contains(name))
        m_kept << name;
}

void PrivateWorkFolder::RemoveStale(const QString& workFolder)
{
    const QDir work(workFolder);
    for (const QString& entry : work.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        // "job-<pid>-<n>" of a run that is gone.
        if (!entry.startsWith(QLatin1String("job-")))
            continue;
        const qsizetype dash = entry.indexOf(QLatin1Char('-'), 4);
        bool ok = false;
        const qint64 pid = dash > 4 ? QStringView(entry).sliced(4, dash - 4).toLongLong(&ok) : 0;
        if (ok && ProcessGone(pid))
            QDir(work.filePath(entry)).removeRecursively();
    }
    // Earlier versions wrote the compressor's files straight into the work folder.
    for (const char* leftover : {"temp_tga.tga", "temp_dds.dds", "nvtemp.bat"})
        QFile::remove(work.filePath(QString::fromLatin1(leftover)));
}

// --- Game files: backups of foreign files and records of the program's own ---

namespace {

const QString kBackupFolder = QStringLiteral("Lumivale/Backup/");
const QString kRecordSuffix = QStringLiteral(".sha256");

// A game path as the records name it: '/' separated, "." and ".." dropped,
// lower case (the game and the file helpers match names without regard to case).
QString RecordKey(const QString& relative)
{
    return Components(relative).join(QLatin1Char('/')).toLower();
}

bool BelowData(const QString& key)
{
    return key.startsWith(QLatin1String("data/"));
}

struct FileStamp
{
    qint64 size = -1;
    qint64 seconds = 0;
    qint64 nanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};

std::optional<FileStamp> StampOfBytes(const QByteArray& path)
{
    struct stat info = {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return FileStamp{qint64(info.st_size), qint64(info.st_mtim.tv_sec), qint64(info.st_mtim.tv_nsec)};
}

std::optional<FileStamp> StampOf(const QString& path)
{
    return StampOfBytes(FileNameToBytes(path));
}

// Contents the program put (or is about to put) at a game path.
struct Contents
{
    QByteArray sha256;
    FileStamp stamp;
};

// What the program knows of a game file it wrote: the contents it last put in
// place, and the contents it is putting there now. The pending line is written
// and synced before the new file is renamed into place and dropped once it is,
// so a run killed at any instant leaves a record that names what is there.
// Records of earlier versions have no pending line.
struct Record
{
    std::optional<Contents> committed;
    std::optional<Contents> pending;
};

std::optional<Record> ReadRecord(const QString& path)
{
    // A record is the program's own small file; anything else is not one.
    const Result<QByteArray> text = ReadRegularFile(path, 4096);
    if (!text)
        return std::nullopt;
    Contents committed;
    Record record;
    for (const QByteArray& line : text->split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() == 2 && words[0] == "sha256" && words[1].size() == 64)
            committed.sha256 = words[1];
        else if (words.size() == 2 && words[0] == "size")
            committed.stamp.size = words[1].toLongLong();
        else if (words.size() == 3 && words[0] == "mtime")
            committed.stamp = {committed.stamp.size, words[1].toLongLong(), words[2].toLongLong()};
        else if (words.size() == 5 && words[0] == "pending" && words[1].size() == 64)
            record.pending =
                Contents{words[1], {words[2].toLongLong(), words[3].toLongLong(), words[4].toLongLong()}};
    }
    if (!committed.sha256.isEmpty())
        record.committed = committed;
    if (!record.committed && !record.pending)
        return std::nullopt;
    return record;
}

QByteArray RecordText(const Record& record)
{
    QByteArray text;
    if (const std::optional<Contents>& c = record.committed)
        text += "sha256 " + c->sha256 + "\nsize " + QByteArray::number(c->stamp.size) + "\nmtime " +
                QByteArray::number(c->stamp.seconds) + ' ' + QByteArray::number(c->stamp.nanoseconds) + '\n';
    if (const std::optional<Contents>& p = record.pending)
        text += "pending " + p->sha256 + ' ' + QByteArray::number(p->stamp.size) + ' ' +
                QByteArray::number(p->stamp.seconds) + ' ' + QByteArray::number(p->stamp.nanoseconds) + '\n';
    return text;
}

// Whether the file holds contents. The size and time stamp answer at once
// when they agree; otherwise the bytes do.
bool Holds(const QString& path, const Contents& contents)
{
    const std::optional<FileStamp> stamp = StampOf(path);
    if (!stamp)
        return false;
    if (*stamp == contents.stamp)
        return true;
    if (stamp->size != contents.stamp.size)
        return false;
    const Result<QByteArray> digest = Sha256OfFile(path);
    return digest && *digest == contents.sha256;
}

// Which of the recorded contents the file at path holds, if any: then it is the program's.
std::optional<Contents> OwnContents(const QString& path, const std::optional<Record>& record)
{
    if (!record)
        return std::nullopt;
    if (record->committed && Holds(path, *record->committed))
        return record->committed;
    if (record->pending && Holds(path, *record->pending))
        return record->pending;
    return std::nullopt;
}

Result<> CopyInto(QIODevice& out, const QString& sourcePath)
{
    QFile source;
    if (auto opened = OpenRegularFile(source, sourcePath); !opened)
        return opened;
    std::vector<char> block(1 << 16);
    for (;;) {
        const qint64 got = source.read(block.data(), qint64(block.size()));
        if (got < 0)
            return Fail(Failure::Because(source.errorString()));
        if (got == 0)
            return {};
        if (auto written = WriteFully(out, block.data(), got); !written)
            return written;
    }
}

// Whether something is at path (a file, a symlink, anything), symlinks not followed.
bool Present(const QString& path)
{
    struct stat info = {};
    return ::lstat(FileNameToBytes(path).constData(), &info) == 0;
}

// The text of the symlink at path; nothing when path is no symlink.
std::optional<QByteArray> LinkText(const QString& path)
{
    struct stat info = {};
    const QByteArray name = FileNameToBytes(path);
    if (::lstat(name.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
        return std::nullopt;
    QByteArray text(qsizetype(info.st_size) + 1, '\0');
    const ssize_t length = ::readlink(name.constData(), text.data(), size_t(text.size()));
    if (length < 0 || length >= text.size())
        return std::nullopt;
    text.truncate(length);
    return text;
}

// Whether a and b are the same link or files of the same bytes.
bool SameThing(const QString& a, const QString& b)
{
    const std::optional<QByteArray> linkA = LinkText(a), linkB = LinkText(b);
    if (linkA || linkB)
        return linkA == linkB;
    const std::optional<FileStamp> stampA = StampOf(a), stampB = StampOf(b);
    if (!stampA || !stampB || stampA->size != stampB->size)
        return false;
    const Result<QByteArray> hashA = Sha256OfFile(a), hashB = Sha256OfFile(b);
    return hashA && hashB && *hashA == *hashB;
}

// A symlink with linkText at relative below root, the way WriteFileAtomically
// puts a file there: made beside under a temporary name, renamed into place.
Result<QString> PlaceLink(const QString& root, const QString& relative, const QByteArray& linkText)
{
    const Result<QString> target = ResolveWriteTarget(root, relative);
    if (!target)
        return target;
    const QFileInfo info(*target);
    const QByteArray temporary = FileNameToBytes(QStringLiteral("%1/.%2.lumivale-%3-%4.tmp")
                                                     .arg(info.path(), info.fileName())
                                                     .arg(qint64(::getpid()))
                                                     .arg(NextSequence()));
    if (::symlink(linkText.constData(), temporary.constData()) != 0)
        return Fail(Failure::Because(SystemErrorText(errno)));
    if (::rename(temporary.constData(), FileNameToBytes(*target).constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return Fail(Failure::Because(SystemErrorText(error)));
    }
    return target;
}

// Where the program's own file at relative below the game folder is (or would be).
QString OwnPath(const QString& gameFolder, const QString& relative)
{
    const Result<QString> existing = Resolve(gameFolder, relative, false);
    return existing ? *existing : QFileInfo(gameFolder).canonicalFilePath() + QLatin1Char('/') + relative;
}

Result<> WriteRecord(const QString& gameFolder, const QString& key, const Record& record, bool sync)
{
    const QByteArray text = RecordText(record);
    const Result<QString> written = WriteAtomically(
        gameFolder, kBackupFolder + key + kRecordSuffix,
        [&](QIODevice& out) { return WriteFully(out, text.constData(), text.size()); }, sync);
    if (!written)
        return Fail(written.error());
    return {};
}

std::function<void(int)> g_stepHook;

// Counts the steps of one write or restore for the fault hook.
class Steps
{
public:
    void Done()
    {
        ++m_done;
        if (g_stepHook)
            g_stepHook(m_done);
    }

private:
    int m_done = 0;
};

// Keeps the foreign file (or symlink) at target before the program first
// replaces it. The first one kept is what a restore puts back, so it is never
// overwritten: the same bytes need no copy, other ones are kept beside it
// under the next free numbered name.
Result<> KeepForeign(const QString& gameFolder, const QString& key, const QString& target)
{
    QString backup = kBackupFolder + key;
    for (int number = 2; Present(OwnPath(gameFolder, backup)); ++number) {
        if (SameThing(target, OwnPath(gameFolder, backup)))
            return {};
        backup = kBackupFolder + key + QStringLiteral(".kept-%1").arg(number);
    }
    const std::optional<QByteArray> link = LinkText(target);
    const Result<QString> kept =
        link ? PlaceLink(gameFolder, backup, *link)
             : WriteAtomically(
                   gameFolder, backup, [&](QIODevice& out) { return CopyInto(out, target); }, true);
    if (!kept)
        return Fail(Failure::Because(QStringLiteral("%1 could not be kept before it is replaced: %2")
                                         .arg(target, kept.error().Reason())));
    return {};
}

// One file of a write on its way: what was there, and the new file staged.
struct PlannedWrite
{
    QString key;                 // empty: not below data, so no record
    std::optional<Contents> own; // what of the program's is there now
    StagedFile staged;
    std::optional<FileStamp> stamp;
};

// Stages every file (keeping the foreign ones first), names them all as
// pending in their records, then puts them in place and records them as
// written. A failure before the first rename leaves every file as it was.
Result<QStringList> WriteHeld(const QString& gameFolder, const std::vector<GameFileWrite>& files)
{
    Steps steps;
    std::vector<PlannedWrite> plan;
    plan.reserve(files.size());
    const auto discardFrom = [&](std::size_t first) {
        for (std::size_t i = first; i < plan.size(); ++i)
            Discard(plan[i].staged);
    };
    for (const GameFileWrite& file : files) {
        PlannedWrite planned;
        const QString key = RecordKey(file.relative);
        if (BelowData(key)) {
            planned.key = key;
            const Result<QString> target = ResolveWriteTarget(gameFolder, file.relative);
            if (!target) {
                discardFrom(0);
                return Fail(target.error());
            }
            planned.own =
                OwnContents(*target, ReadRecord(OwnPath(gameFolder, kBackupFolder + key + kRecordSuffix)));
            if (!planned.own && Present(*target)) {
                if (auto kept = KeepForeign(gameFolder, key, *target); !kept) {
                    discardFrom(0);
                    return Fail(kept.error());
                }
                steps.Done();
            }
        }
        Result<StagedFile> staged = Stage(gameFolder, file.relative, file.body, !planned.key.isEmpty(), true);
        if (!staged) {
            discardFrom(0);
            return Fail(staged.error());
        }
        planned.staged = std::move(*staged);
        planned.stamp = StampOfBytes(planned.staged.temporary);
        plan.push_back(std::move(planned));
        steps.Done();
    }
    for (const PlannedWrite& planned : plan) {
        if (planned.key.isEmpty())
            continue;
        // The file there now stays the program's if it was; the new one is named as pending.
        const Record pending{planned.own, Contents{planned.staged.hash, planned.stamp.value_or(FileStamp{})}};
        if (auto recorded = WriteRecord(gameFolder, planned.key, pending, true); !recorded) {
            discardFrom(0);
            return Fail(recorded.error());
        }
        steps.Done();
    }
    QStringList written;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const Result<QString> placed = PutInPlace(plan[i].staged);
        if (!placed) {
            discardFrom(i + 1);
            return Fail(placed.error());
        }
        written << *placed;
        steps.Done();
    }
    for (const PlannedWrite& planned : plan) {
        if (planned.key.isEmpty())
            continue;
        // Not synced: until it reaches the disk the pending line names the file as well.
        const std::optional<FileStamp> stamp = StampOf(planned.staged.target);
        WriteRecord(gameFolder, planned.key,
                    Record{Contents{planned.staged.hash, stamp.value_or(FileStamp{})}, std::nullopt}, false);
        steps.Done();
    }
    return written;
}

const QString kWaitingText =
    QStringLiteral("Another Lumivale run is writing to this game folder. Waiting for it to finish...");
constexpr auto kLockPoll = std::chrono::milliseconds(50);
constexpr auto kLockPatience = std::chrono::seconds(3);

// The process's holds: one descriptor with the flock per canonical game
// folder, shared by every hold on it (a flock on a second descriptor of the
// same folder would wait for the first, in the same process).
struct FolderHold
{
    int fd = -1;
    int count = 0;
};
std::mutex g_holdsMutex;
std::map<QByteArray, FolderHold> g_holds;

} // namespace

namespace GameFileWriterFaults {

void SetStepHook(std::function<void(int step)> hook)
{
    g_stepHook = std::move(hook);
}

} // namespace GameFileWriterFaults

// --- One job's hold on a game folder ---

struct GameFolderLock::Hold
{
    QByteArray folder;
    ~Hold()
    {
        const std::lock_guard<std::mutex> guard(g_holdsMutex);
        const auto it = g_holds.find(folder);
        if (it != g_holds.end() && --it->second.count == 0) {
            ::close(it->second.fd);
            g_holds.erase(it);
        }
    }
};

GameFolderLock::GameFolderLock(std::shared_ptr<Hold> hold) : m_hold(std::move(hold)) {}
GameFolderLock::GameFolderLock(GameFolderLock&&) noexcept = default;
GameFolderLock& GameFolderLock::operator=(GameFolderLock&&) noexcept = default;
GameFolderLock::~GameFolderLock() = default;

Result<GameFolderLock> GameFolderLock::Acquire(const QString& gameFolder, BusyHost* host)
{
    char* real =
        gameFolder.isEmpty() ? nullptr : ::realpath(FileNameToBytes(gameFolder).constData(), nullptr);
    if (!real)
        return Fail(Refused(QStringLiteral("The folder %1 does not exist.").arg(gameFolder)));
    const QByteArray folder(real);
    std::free(real);

    const auto held = [&] {
        ++g_holds[folder].count;
        auto hold = std::make_shared<Hold>();
        hold->folder = folder;
        return GameFolderLock(std::move(hold));
    };
    // The folder itself is locked: that needs no write permission and creates no file.
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return Fail(Refused(QStringLiteral("The folder %1 cannot be opened: %2")
                                .arg(FileNameFromBytes(folder), SystemErrorText(errno))));
    const auto started = std::chrono::steady_clock::now();
    std::optional<BusyScope> waiting;
    for (;;) {
        {
            const std::lock_guard<std::mutex> guard(g_holdsMutex);
            const auto it = g_holds.find(folder);
            if (it != g_holds.end() && it->second.count > 0) {
                ::close(fd);
                return held();
            }
            // A file system without flock gets the writes unordered, as before.
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno == ENOLCK || errno == EOPNOTSUPP) {
                g_holds[folder].fd = fd;
                return held();
            }
            if (errno != EWOULDBLOCK && errno != EINTR) {
                const int error = errno;
                ::close(fd);
                return Fail(Refused(QStringLiteral("The folder %1 cannot be locked: %2")
                                        .arg(FileNameFromBytes(folder), SystemErrorText(error))));
            }
        }
        if (host) {
            if (!waiting && std::chrono::steady_clock::now() - started >= kLockPatience)
                waiting.emplace(*host, true, 0, kWaitingText);
            host->PumpEvents();
            // Outside a busy scope the cancel flag is a past operation's.
            if (host->Busy() && host->CancelRequested()) {
                ::close(fd);
                return Fail(Failure::Cancelled());
            }
        }
        std::this_thread::sleep_for(kLockPoll);
    }
}

// --- Writes and restores of game files ---

Result<QString> WriteGameFile(const QString& gameFolder, const QString& relative, const WriteBody& body)
{
    if (!BelowData(RecordKey(relative)))
        return WriteFileAtomically(gameFolder, relative, body);
    const Result<QStringList> written = WriteGameFiles(gameFolder, {GameFileWrite{relative, body}});
    if (!written)
        return Fail(written.error());
    return written->first();
}

Result<QStringList> WriteGameFiles(const QString& gameFolder, const std::vector<GameFileWrite>& files)
{
    const Result<GameFolderLock> lock = GameFolderLock::Acquire(gameFolder, nullptr);
    if (!lock)
        return Fail(lock.error());
    return WriteHeld(gameFolder, files);
}

GameFileOwner OwnerOfGameFile(const QString& gameFolder, const QString& relative)
{
    const Result<QString> target = Resolve(gameFolder, relative, false);
    if (!target || !Present(*target))
        return GameFileOwner::None;
    const QString key = RecordKey(relative);
    if (!BelowData(key))
        return GameFileOwner::Other;
    const std::optional<Record> record = ReadRecord(OwnPath(gameFolder, kBackupFolder + key + kRecordSuffix));
    return OwnContents(*target, record) ? GameFileOwner::Program : GameFileOwner::Other;
}

Result<RestoreOutcome> RestoreGameFile(const QString& gameFolder, const QString& relative)
{
    const QString key = RecordKey(relative);
    RestoreOutcome outcome;
    const Result<QString> target = Resolve(gameFolder, relative, false);
    if (!target || !Present(*target)) {
        outcome.kind = RestoreOutcome::NotThere;
        outcome.path = target.value_or(QString());
        return outcome;
    }
    outcome.path = *target;
    if (!BelowData(key)) {
        outcome.kind = RestoreOutcome::LeftAlone;
        return outcome;
    }
    const Result<GameFolderLock> lock = GameFolderLock::Acquire(gameFolder, nullptr);
    if (!lock)
        return Fail(lock.error());
    Steps steps;
    const QString recordPath = OwnPath(gameFolder, kBackupFolder + key + kRecordSuffix);
    const QString backup = OwnPath(gameFolder, kBackupFolder + key);
    if (!Present(*target) || !OwnContents(*target, ReadRecord(recordPath))) {
        outcome.kind = Present(*target) ? RestoreOutcome::LeftAlone : RestoreOutcome::NotThere;
        return outcome;
    }
    // The original goes back before the record goes: a kill between leaves the
    // original in place, which the next run takes for a foreign file.
    if (Present(backup)) {
        const QByteArray from = FileNameToBytes(backup), to = FileNameToBytes(*target);
        if (::rename(from.constData(), to.constData()) != 0) {
            // Another file system: copy it back (a link as a link), then let it go.
            const std::optional<QByteArray> link = LinkText(backup);
            const Result<QString> copied =
                link ? PlaceLink(gameFolder, relative, *link)
                     : WriteFileAtomically(gameFolder, relative,
                                           [&](QIODevice& out) { return CopyInto(out, backup); });
            if (!copied)
                return Fail(copied.error());
            ::unlink(from.constData());
        }
        outcome.kind = RestoreOutcome::BackupPutBack;
    } else {
        if (::unlink(FileNameToBytes(*target).constData()) != 0)
            return Fail(Failure::Because(QStringLiteral("%1 cannot be deleted: %2")
                                             .arg(DisplayFileName(*target), SystemErrorText(errno))));
        outcome.kind = RestoreOutcome::Deleted;
    }
    steps.Done();
    ::unlink(FileNameToBytes(recordPath).constData());
    steps.Done();
    return outcome;
}

Message LeftAloneMessage(const QStringList& paths, const QString& one, const QString& many)
{
    const QString text =
        paths.size() == 1
            ? QStringLiteral("This %1 was left as it is: Lumivale did not write it, or it was changed since.")
                  .arg(one)
            : QStringLiteral(
                  "These %1 were left as they are: Lumivale did not write them, or they were changed "
                  "since.")
                  .arg(many);
    return Message{text, MessageIcon::Exclamation, paths.join(QLatin1Char('\n'))};
}
