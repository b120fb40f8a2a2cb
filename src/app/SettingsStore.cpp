#include "app/SettingsStore.h"

#include "app/IniFormat.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <cstdio>
#include <limits>
#include <mutex>
#include <set>

namespace {

QStringList KeyComponents(const QString& path)
{
    QString slashed = path;
    slashed.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return slashed.split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

// QSettings treats both slash kinds as group separators, so a value name may not hold them.
bool UsableValueName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

QString FindNoCase(const QStringList& candidates, const QString& wanted)
{
    if (candidates.contains(wanted))
        return wanted;
    for (const QString& candidate : candidates) {
        if (candidate.compare(wanted, Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return QString();
}

// Enters the groups of path, each matched to an existing group without regard
// to case; missing groups are entered with the given spelling. Returns whether
// every level already existed.
bool EnterKey(QSettings& settings, const QString& path)
{
    bool existed = true;
    for (const QString& component : KeyComponents(path)) {
        QString spelled = existed ? FindNoCase(settings.childGroups(), component) : QString();
        if (spelled.isEmpty()) {
            existed = false;
            spelled = component;
        }
        settings.beginGroup(spelled);
    }
    return existed;
}

// Settings files larger than this are not the program's: reading one would
// only cost time and memory.
constexpr qint64 kMaxSettingsFileBytes = 1024 * 1024;

// The file may be handed to QSettings: missing, or a regular file (after
// symlinks) that is readable and of a sane size. Anything else (a FIFO, a
// device, a folder, a huge file) reads as empty and is never rewritten; the
// first refusal of a path is reported on stderr.
bool FileUsable(const QString& filePath)
{
    const QFileInfo file(filePath);
    if (!file.exists() && !file.isSymLink())
        return true;
    QString reason;
    if (!file.exists())
        reason = QStringLiteral("it is a dangling symbolic link");
    else if (!file.isFile())
        reason = QStringLiteral("it is not a regular file");
    else if (file.size() > kMaxSettingsFileBytes)
        reason = QStringLiteral("it is larger than 1 MB");
    else if (!file.isReadable())
        reason = QStringLiteral("it cannot be read");
    if (reason.isEmpty())
        return true;
    static std::mutex mutex;
    static std::set<QString> reported;
    const std::lock_guard<std::mutex> lock(mutex);
    if (reported.insert(file.absoluteFilePath()).second)
        std::fprintf(stderr,
                     "Lumivale: settings file %s not used (%s); defaults apply and it is left as it is.\n",
                     qPrintable(file.absoluteFilePath()), qPrintable(reason));
    return false;
}

// QSettings creates the file's folder only on some paths; make sure it exists
// and can take the file.
bool FileWritable(const QString& filePath)
{
    if (!FileUsable(filePath))
        return false;
    const QFileInfo file(filePath);
    if (file.exists())
        return file.isWritable();
    const QString folder = file.absolutePath();
    if (!QDir().mkpath(folder))
        return false;
    return QFileInfo(folder).isWritable();
}

} // namespace

SettingsStore::SettingsStore(QString iniFilePath) : m_filePath(std::move(iniFilePath)) {}

QString SettingsStore::DefaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Lumivale/Lumivale.ini");
}

QString SettingsStore::FilePath() const
{
    return m_filePath;
}

QString SettingsStore::ReadRegistryString(const QString& path, const QString& name) const
{
    if (!UsableValueName(name) || !QFileInfo::exists(m_filePath) || !FileUsable(m_filePath))
        return QString();
    QSettings settings(m_filePath, ini::Format());
    if (!EnterKey(settings, path))
        return QString();
    const QString spelled = FindNoCase(settings.childKeys(), name);
    if (spelled.isEmpty())
        return QString();
    return settings.value(spelled).toString();
}

bool SettingsStore::WriteRegistryString(const QString& path, const QString& name, const QString& value)
{
    if (!UsableValueName(name))
        return false;
    const bool remove = value.trimmed().isEmpty();
    if (remove && !QFileInfo::exists(m_filePath))
        return false;
    if (!FileWritable(m_filePath))
        return false;

    QSettings settings(m_filePath, ini::Format());
    const bool keyExisted = EnterKey(settings, path);
    const QString existing = keyExisted ? FindNoCase(settings.childKeys(), name) : QString();
    if (remove) {
        if (existing.isEmpty())
            return false;
        settings.remove(existing);
    } else {
        settings.setValue(existing.isEmpty() ? name : existing, value);
    }
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool SettingsStore::WriteValues(const QList<QPair<QString, QString>>& values)
{
    if (values.isEmpty())
        return true;
    for (const auto& [name, value] : values) {
        if (!UsableValueName(name))
            return false;
    }
    if (!FileWritable(m_filePath))
        return false;
    QSettings settings(m_filePath, ini::Format());
    const bool keyExisted = EnterKey(settings, kProgramKey);
    const QStringList keys = keyExisted ? settings.childKeys() : QStringList();
    for (const auto& [name, value] : values) {
        const QString existing = FindNoCase(keys, name);
        if (value.trimmed().isEmpty()) {
            if (!existing.isEmpty())
                settings.remove(existing);
        } else {
            settings.setValue(existing.isEmpty() ? name : existing, value);
        }
    }
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString SettingsStore::Read(const QString& name) const
{
    return ReadRegistryString(kProgramKey, name);
}

bool SettingsStore::Write(const QString& name, const QString& value)
{
    return WriteRegistryString(kProgramKey, name, value);
}

int CheckValueFromText(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    qint64 number = 0;
    for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i) {
        number = number * 10 + (text[i].unicode() - '0');
        if (number > std::numeric_limits<int>::max())
            return negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    }
    return int(negative ? -number : number);
}

QString CheckValueToText(int value)
{
    return value >= 0 ? QLatin1Char(' ') + QString::number(value) : QString::number(value);
}

bool ReadCheck(const SettingsStore& store, const QString& name)
{
    return CheckValueFromText(store.Read(name)) != 0;
}

void WriteCheck(SettingsStore& store, const QString& name, bool checked)
{
    store.Write(name, CheckValueToText(checked ? 1 : 0));
}
