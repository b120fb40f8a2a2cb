#include "app/GameFileWriter.h"

#include "app/FileAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

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

Result<QString> ResolveWriteTarget(const QString& root, const QString& relative)
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
            stale = std::all_of(suffix.begin(), suffix.end(), [](QChar c) {
                return c.unicode() < 128 && (c.isLetterOrNumber());
            });
        }
        if (stale)
            QFile::remove(folder + QLatin1Char('/') + entry);
    }
}

Result<QString> WriteFileAtomically(const QString& root, const QString& relative, const WriteBody& body)
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
        if (auto written = body(file); !written)
            return discard(written.error());
        if (!file.flush() || file.error() != QFileDevice::NoError)
            return discard(Refused(file.errorString()));
        if (::fdatasync(file.handle()) != 0)
            return discard(Refused(SystemErrorText(errno)));
        file.close();
        if (file.error() != QFileDevice::NoError)
            return discard(Refused(file.errorString()));
    }
    if (::rename(temporaryName.constData(), QFile::encodeName(target).constData()) != 0)
        return discard(Refused(SystemErrorText(errno)));
    return target;
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
