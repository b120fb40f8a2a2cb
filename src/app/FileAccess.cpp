#include "app/FileAccess.h"

#include "app/FileNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

} // namespace

QString SpelledEntry(const QString& folder, const QString& name)
{
    const QString base = folder.isEmpty() ? QStringLiteral(".") : folder;
    if (QFileInfo::exists(base + QLatin1Char('/') + name))
        return name;
    const QStringList entries = QDir(base).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return QString();
}

namespace {

// Appends components to base, matching existing ones in case until the first
// that does not exist.
QString AppendMatched(QString base, const QStringList& components)
{
    const auto join = [](const QString& folder, const QString& name) {
        if (folder.isEmpty())
            return name;
        return (folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/')) + name;
    };
    bool matching = true;
    for (const QString& component : components) {
        const QString spelled = matching ? SpelledEntry(base, component) : QString();
        matching = !spelled.isEmpty();
        base = join(base, matching ? spelled : component);
    }
    return base;
}

} // namespace

QString ReturnPath(const QString& fileName)
{
    qsizetype last = fileName.size() - 1;
    while (last >= 0 && !IsSeparator(fileName[last]))
        --last;
    if (last <= 0)
        return QString();
    return fileName.left(last);
}

QString MatchPathCase(const QString& path)
{
    if (path.isEmpty())
        return path;
    const bool absolute = path.startsWith(QLatin1Char('/'));
    const bool trailing = path.size() > 1 && path.endsWith(QLatin1Char('/'));
    QString result = AppendMatched(absolute ? QStringLiteral("/") : QString(),
                                   path.split(QLatin1Char('/'), Qt::SkipEmptyParts));
    if (trailing)
        result += QLatin1Char('/');
    return result;
}

QString GameFilePath(const QString& gameFolder, const QString& relative)
{
    QString slashed = relative;
    slashed.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QStringList components;
    for (const QString& component : slashed.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (component != QLatin1String(".") && component != QLatin1String(".."))
            components.append(component);
    }
    // Without a game folder there is nothing to be below; never fall back to the working folder.
    QString base = gameFolder;
    while (base.size() > 1 && base.endsWith(QLatin1Char('/')))
        base.chop(1);
    if (base.isEmpty())
        return QString();
    return AppendMatched(base, components);
}

Result<> OpenRegularFile(QFile& file, const QString& path)
{
    if (path.isEmpty())
        return Fail(Failure::Because(QStringLiteral("No file name was given.")));
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(FileNameToBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Fail(Failure::Because(SystemErrorText(errno)));
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Fail(Failure::Because(
            S_ISDIR(info.st_mode)
                ? QStringLiteral("The path names a folder, not a file.")
                : QStringLiteral("The path names a FIFO, socket or device, not a regular file.")));
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Fail(Failure::Because(file.errorString()));
    }
    return {};
}

bool IsFolder(const QString& path)
{
    struct stat info = {};
    return !path.isEmpty() && ::stat(FileNameToBytes(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

Result<QStringList> ListRegularFiles(const QString& folder)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(FileNameToBytes(folder).constData()), ::closedir);
    if (!dir)
        return Fail(Failure::Because(SystemErrorText(errno)));
    QStringList names;
    const int fd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        // The entry's type says nothing about where a symlink leads.
        struct stat info = {};
        if (::fstatat(fd, name, &info, 0) == 0 && S_ISREG(info.st_mode))
            names << FileNameFromBytes(QByteArray(name));
    }
    return names;
}

Result<QByteArray> ReadRegularFile(const QString& path, qint64 maxBytes)
{
    QFile file;
    if (auto opened = OpenRegularFile(file, path); !opened)
        return Fail(opened.error());
    if (file.size() > maxBytes)
        return Fail(Failure::Because(QStringLiteral("The file is larger than %1 bytes.").arg(maxBytes)));
    QByteArray data = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return Fail(Failure::Because(file.errorString()));
    if (data.size() > maxBytes)
        return Fail(Failure::Because(QStringLiteral("The file is larger than %1 bytes.").arg(maxBytes)));
    return data;
}

Result<> WriteFully(QIODevice& out, const char* data, qint64 size)
{
    while (size > 0) {
        const qint64 written = out.write(data, size);
        if (written <= 0)
            return Fail(Failure::Because(out.errorString()));
        data += written;
        size -= written;
    }
    return {};
}

QString SystemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
