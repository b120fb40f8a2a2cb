#include "app/FileAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QtEndian>

namespace {

bool IsSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

// The on-disk spelling of name inside folder, or "" when nothing matches.
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

QString ReturnPath(const QString& FileName)
{
    qsizetype last = FileName.size() - 1;
    while (last >= 0 && !IsSeparator(FileName[last]))
        --last;
    if (last <= 0)
        return QString();
    return FileName.left(last);
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

QString EnsureFolder(const QString& path)
{
    QString folder = path;
    if (folder.size() > 1 && IsSeparator(folder.back()))
        folder.chop(1);
    if (folder.isEmpty())
        return folder;
    folder = MatchPathCase(folder);
    if (!QFileInfo(folder).isDir())
        QDir().mkpath(folder);
    return folder;
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

FileRecord OpenFileHandle(const QString& path, quint32 access, quint32 /*share*/, quint32 disposition)
{
    FileRecord record;
    record.path = path;
    const bool read = access & kGenericRead;
    const bool write = access & kGenericWrite;
    if ((!read && !write) || path.isEmpty() || QFileInfo(path).isDir())
        return record;

    QIODevice::OpenMode mode = QIODevice::Unbuffered;
    if (read)
        mode |= QIODevice::ReadOnly;
    if (write)
        mode |= QIODevice::WriteOnly;
    const bool exists = QFileInfo::exists(path);
    switch (disposition) {
    case kCreateNew:
        if (exists)
            return record;
        mode |= QIODevice::NewOnly;
        break;
    case kCreateAlways:
        mode |= QIODevice::Truncate;
        break;
    case kOpenExisting:
        // Opening for writing must neither create nor truncate.
        mode |= QIODevice::ExistingOnly;
        if (write)
            mode |= QIODevice::ReadOnly;
        break;
    case kOpenAlways:
        if (write)
            mode |= QIODevice::ReadOnly;
        break;
    case kTruncateExisting:
        mode |= QIODevice::ExistingOnly | QIODevice::Truncate;
        break;
    default:
        return record;
    }
    // A read-only open cannot create or truncate; do that first with a short write open.
    if (!write && disposition != kOpenExisting && (!exists || disposition != kOpenAlways)) {
        if (disposition == kTruncateExisting && !exists)
            return record;
        QFile creator(path);
        if (!creator.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return record;
        creator.close();
        mode &= ~(QIODevice::NewOnly | QIODevice::Truncate | QIODevice::ExistingOnly);
    }

    auto file = std::make_shared<QFile>(path);
    if (!file->open(mode))
        return record;
    record.handle = file->handle() >= 0 ? qint32(file->handle()) : -1;
    if (record.handle < 0)
        return record;
    record.file = std::move(file);
    return record;
}

void CloseFileHandle(FileRecord& record)
{
    if (record.file)
        record.file->close();
    record.file.reset();
    record.handle = -1;
    record.path.clear();
}

qint64 ReadFileBlock(FileRecord& record, void* address, qint64 count)
{
    if (record.handle == -1 || !record.file || !record.file->isOpen())
        return 0;
    if (count < 0 || (count > 0 && !address) || !record.file->isReadable())
        return -1;
    return record.file->read(static_cast<char*>(address), count);
}

qint64 WriteFileBlock(FileRecord& record, const void* address, qint64 count)
{
    if (record.handle == -1 || !record.file || !record.file->isOpen())
        return 0;
    if (count < 0 || (count > 0 && !address) || !record.file->isWritable())
        return -1;
    return record.file->write(static_cast<const char*>(address), count);
}

QByteArray LongToBytes(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QString SlashToBackslash(const QString& path)
{
    QString result = path;
    result.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return result;
}
