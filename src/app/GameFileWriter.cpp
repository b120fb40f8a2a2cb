#include "app/GameFileWriter.h"

#include "app/FileAccess.h"
#include "app/Sha256.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <sys/stat.h>
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
        if (::lstat(QFile::encodeName(next).constData(), &info) != 0) {
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

// The atomic write; with hash, also the SHA-256 of what was written.
Result<QString> WriteAtomically(const QString& root, const QString& relative, const WriteBody& body,
                                QByteArray* hash, bool sync)
{
    auto resolved = ResolveWriteTarget(root, relative);
    if (!resolved)
        return resolved;
    const QString target = *resolved;
    const QFileInfo targetInfo(target);
    const QString folder = targetInfo.path();
    const QString name = targetInfo.fileName();
    RemoveStaleTemporaries(folder, name);

    const QString temporary = QStringLiteral("%1/.%2.lumivale-%3-%4.tmp")
                                  .arg(folder, name)
                                  .arg(qint64(::getpid()))
                                  .arg(NextSequence());
    const QByteArray temporaryName = QFile::encodeName(temporary);
    // The previous file's permissions carry over; a new file gets the usual ones.
    struct stat old = {};
    const bool replacing = ::lstat(QFile::encodeName(target).constData(), &old) == 0 && S_ISREG(old.st_mode);
    const int fd = ::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          replacing ? (old.st_mode & 07777) : 0666);
    if (fd < 0)
        return Fail(Refused(SystemErrorText(errno)));

    const auto discard = [&](Failure failure) -> Result<QString> {
        ::unlink(temporaryName.constData());
        return Fail(std::move(failure));
    };
    {
        QFile file;
        // Unbuffered: every write reaches the system, whose reason a failure then carries.
        if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            return discard(Refused(file.errorString()));
        }
        GameFileDevice device(file, hash != nullptr, sync);
        if (auto written = body(device); !written)
            return discard(written.error());
        if (!file.flush() || file.error() != QFileDevice::NoError)
            return discard(Refused(file.errorString()));
        if (sync && ::fdatasync(file.handle()) != 0)
            return discard(Refused(SystemErrorText(errno)));
        if (hash)
            *hash = device.Digest();
        file.close();
        if (file.error() != QFileDevice::NoError)
            return discard(Refused(file.errorString()));
    }
    if (::rename(temporaryName.constData(), QFile::encodeName(target).constData()) != 0)
        return discard(Refused(SystemErrorText(errno)));
    return target;
}

} // namespace

Result<QString> WriteFileAtomically(const QString& root, const QString& relative, const WriteBody& body)
{
    return WriteAtomically(root, relative, body, nullptr, true);
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
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0) {
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
        ::rename(QFile::encodeName(FilePath(name)).constData(), QFile::encodeName(kept).constData());
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

std::optional<FileStamp> StampOf(const QString& path)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return FileStamp{qint64(info.st_size), qint64(info.st_mtim.tv_sec), qint64(info.st_mtim.tv_nsec)};
}

// What the program recorded when it last wrote a game file.
struct Record
{
    QByteArray sha256;
    FileStamp stamp;
};

std::optional<Record> ReadRecord(const QString& path)
{
    // A record is the program's own small file; anything else is not one.
    const Result<QByteArray> text = ReadRegularFile(path, 4096);
    if (!text)
        return std::nullopt;
    Record record;
    for (const QByteArray& line : text->split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() == 2 && words[0] == "sha256" && words[1].size() == 64)
            record.sha256 = words[1];
        else if (words.size() == 2 && words[0] == "size")
            record.stamp.size = words[1].toLongLong();
        else if (words.size() == 3 && words[0] == "mtime")
            record.stamp = {record.stamp.size, words[1].toLongLong(), words[2].toLongLong()};
    }
    if (record.sha256.isEmpty())
        return std::nullopt;
    return record;
}

// Whether the file still holds what the record says the program wrote. The
// size and time stamp answer at once when they agree; otherwise the contents do.
bool HoldsRecorded(const QString& path, const Record& record)
{
    const std::optional<FileStamp> stamp = StampOf(path);
    if (!stamp)
        return false;
    if (*stamp == record.stamp)
        return true;
    if (stamp->size != record.stamp.size)
        return false;
    const Result<QByteArray> digest = Sha256OfFile(path);
    return digest && *digest == record.sha256;
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
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// The text of the symlink at path; nothing when path is no symlink.
std::optional<QByteArray> LinkText(const QString& path)
{
    struct stat info = {};
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
        return std::nullopt;
    QByteArray text(qsizetype(info.st_size) + 1, '\0');
    const ssize_t length = ::readlink(name.constData(), text.data(), size_t(text.size()));
    if (length < 0 || length >= text.size())
        return std::nullopt;
    text.truncate(length);
    return text;
}

// A symlink with linkText at relative below root, the way WriteFileAtomically
// puts a file there: made beside under a temporary name, renamed into place.
Result<QString> PlaceLink(const QString& root, const QString& relative, const QByteArray& linkText)
{
    const Result<QString> target = ResolveWriteTarget(root, relative);
    if (!target)
        return target;
    const QFileInfo info(*target);
    const QByteArray temporary = QFile::encodeName(QStringLiteral("%1/.%2.lumivale-%3-%4.tmp")
                                                       .arg(info.path(), info.fileName())
                                                       .arg(qint64(::getpid()))
                                                       .arg(NextSequence()));
    if (::symlink(linkText.constData(), temporary.constData()) != 0)
        return Fail(Failure::Because(SystemErrorText(errno)));
    if (::rename(temporary.constData(), QFile::encodeName(*target).constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return Fail(Failure::Because(SystemErrorText(error)));
    }
    return target;
}

// Where the program keeps the record of what it wrote at the game path key.
QString RecordPathOf(const QString& gameFolder, const QString& key)
{
    return QFileInfo(gameFolder).canonicalFilePath() + QLatin1Char('/') + kBackupFolder + key + kRecordSuffix;
}

} // namespace

Result<QString> WriteGameFile(const QString& gameFolder, const QString& relative, const WriteBody& body)
{
    const QString key = RecordKey(relative);
    if (!BelowData(key))
        return WriteFileAtomically(gameFolder, relative, body);
    const Result<QString> target = ResolveWriteTarget(gameFolder, relative);
    if (!target)
        return target;
    const QString backup = kBackupFolder + key;
    const QString recordPath = RecordPathOf(gameFolder, key);

    // A loose file the program did not write is kept before it is replaced; a
    // symlink (a mod linked in from elsewhere) is kept as the link itself.
    const std::optional<QByteArray> link = LinkText(*target);
    if (link || StampOf(*target)) {
        const std::optional<Record> record = ReadRecord(recordPath);
        if (!record || !HoldsRecorded(*target, *record)) {
            const Result<QString> kept = link ? PlaceLink(gameFolder, backup, *link)
                                              : WriteFileAtomically(gameFolder, backup, [&](QIODevice& out) {
                                                    return CopyInto(out, *target);
                                                });
            if (!kept)
                return Fail(Failure::Because(QStringLiteral("%1 could not be kept before it is replaced: %2")
                                                 .arg(*target, kept.error().Reason())));
        }
    }

    QByteArray hash;
    const Result<QString> written = WriteAtomically(gameFolder, relative, body, &hash, true);
    if (!written)
        return written;
    const std::optional<FileStamp> stamp = StampOf(*written);
    const QByteArray record = "sha256 " + hash + "\nsize " + QByteArray::number(stamp ? stamp->size : -1) +
                              "\nmtime " + QByteArray::number(stamp ? stamp->seconds : 0) + ' ' +
                              QByteArray::number(stamp ? stamp->nanoseconds : 0) + '\n';
    // The record is a convenience for a later restore: no sync, and a failure
    // to keep it does not undo the written game file.
    WriteAtomically(
        gameFolder, backup + kRecordSuffix,
        [&](QIODevice& out) { return WriteFully(out, record.constData(), record.size()); }, nullptr, false);
    return written;
}

GameFileOwner OwnerOfGameFile(const QString& gameFolder, const QString& relative)
{
    const Result<QString> target = Resolve(gameFolder, relative, false);
    if (!target || !Present(*target))
        return GameFileOwner::None;
    const QString key = RecordKey(relative);
    const std::optional<Record> record =
        BelowData(key) ? ReadRecord(RecordPathOf(gameFolder, key)) : std::nullopt;
    return record && HoldsRecorded(*target, *record) ? GameFileOwner::Program : GameFileOwner::Other;
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
    const QString recordPath = RecordPathOf(gameFolder, key);
    const QString backup = recordPath.chopped(kRecordSuffix.size());
    const std::optional<Record> record = ReadRecord(recordPath);
    if (!record || !HoldsRecorded(*target, *record)) {
        outcome.kind = RestoreOutcome::LeftAlone;
        return outcome;
    }
    if (StampOf(backup) || LinkText(backup)) {
        const QByteArray from = QFile::encodeName(backup), to = QFile::encodeName(*target);
        if (::rename(from.constData(), to.constData()) != 0) {
            // Another file system: copy it back (a link as a link), then let it go.
            const std::optional<QByteArray> link = LinkText(backup);
            const Result<QString> copied =
                link ? PlaceLink(gameFolder, relative, *link)
                     : WriteFileAtomically(gameFolder, relative,
                                           [&](QIODevice& out) { return CopyInto(out, backup); });
            if (!copied)
                return Fail(copied.error());
            QFile::remove(backup);
        }
        outcome.kind = RestoreOutcome::BackupPutBack;
    } else {
        if (!QFile::remove(*target))
            return Fail(Failure::Because(QStringLiteral("%1 cannot be deleted.").arg(*target)));
        outcome.kind = RestoreOutcome::Deleted;
    }
    QFile::remove(recordPath);
    return outcome;
}

// --- One job's hold on a game folder ---

struct GameFolderLock::Hold
{
};

GameFolderLock::GameFolderLock(std::shared_ptr<Hold> hold) : m_hold(std::move(hold)) {}
GameFolderLock::GameFolderLock(GameFolderLock&&) noexcept = default;
GameFolderLock& GameFolderLock::operator=(GameFolderLock&&) noexcept = default;
GameFolderLock::~GameFolderLock() = default;

Result<GameFolderLock> GameFolderLock::Acquire(const QString&, BusyHost*)
{
    return GameFolderLock(std::make_shared<Hold>());
}

Result<QStringList> WriteGameFiles(const QString& gameFolder, const std::vector<GameFileWrite>& files)
{
    QStringList written;
    for (const GameFileWrite& file : files) {
        Result<QString> one = WriteGameFile(gameFolder, file.relative, file.body);
        if (!one)
            return Fail(one.error());
        written << *one;
    }
    return written;
}
