#include "app/WinePrefix.h"

#include "app/FileAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

WinePrefix::WinePrefix(QString prefixPath) : m_path(std::move(prefixPath)) {}

QString WinePrefix::DefaultPath()
{
    const QString fromEnvironment = qEnvironmentVariable("WINEPREFIX");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QDir::homePath() + QStringLiteral("/.wine");
}

QString WinePrefix::Path() const
{
    return m_path;
}

RegistryText WinePrefix::ReadUserRegistry() const
{
    QFile file(m_path + QStringLiteral("/user.reg"));
    if (!file.open(QIODevice::ReadOnly))
        return RegistryText();
    return RegistryText::Parse(file.readAll());
}

QString WinePrefix::ToHostPath(const QString& windowsPath) const
{
    const QString path = windowsPath.trimmed();
    // Only "X:" followed by a separator or nothing: "C:relative" depends on a
    // current folder per drive that does not exist here.
    if (path.size() < 2 || path[1] != QLatin1Char(':') || !path[0].isLetter() || path[0].unicode() > 127)
        return QString();
    if (path.size() > 2 && path[2] != QLatin1Char('\\') && path[2] != QLatin1Char('/'))
        return QString();

    const QString devices = m_path + QStringLiteral("/dosdevices/");
    QString drive;
    for (const QString& name : {path.left(2).toLower(), path.left(2).toUpper()}) {
        const QFileInfo link(devices + name);
        if (link.exists() && link.isDir()) {
            drive = link.canonicalFilePath();
            break;
        }
    }
    if (drive.isEmpty())
        return QString();

    QString rest = path.mid(2);
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QStringList components;
    for (const QString& component : rest.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (component == QLatin1String("."))
            continue;
        if (component == QLatin1String("..")) {
            if (!components.isEmpty())
                components.removeLast();
            continue;
        }
        components.append(component);
    }
    return GameFilePath(drive, components.join(QLatin1Char('/')));
}
