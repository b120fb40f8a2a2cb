#include "app/UserFile.h"

#include "app/FileAccess.h"
#include "app/FileNames.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

Failure SystemFailure(int error)
{
    return Failure::Because(SystemErrorText(error));
}

// Writes all of bytes to fd; 0, or the errno of the failed write.
int WriteAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : EIO;
        data += written;
        left -= written;
    }
    return 0;
}

QString KindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a device");
}

Result<> WriteIntoDevice(const QByteArray& target, const QByteArray& bytes)
{
    const int fd = ::open(target.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Fail(SystemFailure(errno));
    const int error = WriteAll(fd, bytes);
    const bool closed = ::close(fd) == 0;
    if (error != 0 || !closed)
        return Fail(SystemFailure(error != 0 ? error : errno));
    return {};
}

} // namespace

Result<> WriteUserFile(const QString& path, const QByteArray& bytes, bool executable)
{
    if (path.isEmpty())
        return Fail(Failure::Because(QStringLiteral("No file name was given.")));
    QByteArray target = FileNameToBytes(path);
    struct stat info = {};
    const bool exists = ::stat(target.constData(), &info) == 0;
    if (!exists && errno != ENOENT)
        return Fail(SystemFailure(errno));
    if (exists && S_ISCHR(info.st_mode))
        return WriteIntoDevice(target, bytes);
    if (exists && !S_ISREG(info.st_mode))
        return Fail(Failure::Because(
            QStringLiteral("It is %1, not a regular file; it was left as it is.").arg(KindOf(info.st_mode))));
    if (exists) {
        // Replace the file a symlink names, not the link.
        char resolved[PATH_MAX];
        if (::realpath(target.constData(), resolved))
            target = resolved;
    }

    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    const QByteArray name = target.mid(slash + 1);
    const mode_t mode = executable ? 0777 : 0666;
    QByteArray temporary;
    int fd = -1;
    for (int n = 0; fd < 0 && n < 100; ++n) {
        temporary = folder + "/." + name + ".lumivale-" + QByteArray::number(qint64(::getpid())) + '-' +
                    QByteArray::number(n) + ".tmp";
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST)
            return Fail(SystemFailure(errno));
    }
    if (fd < 0)
        return Fail(SystemFailure(EEXIST));
    const mode_t kept = (info.st_mode & 07777) | (executable ? S_IXUSR : 0);
    int error = exists && ::fchmod(fd, kept) != 0 ? errno : 0;
    if (error == 0)
        error = WriteAll(fd, bytes);
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.constData());
        return Fail(SystemFailure(error));
    }
    return {};
}
