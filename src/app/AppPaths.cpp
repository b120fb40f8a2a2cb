#include "app/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString ExecutableFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // Without an application object (tools, tests) ask the kernel.
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    return QFileInfo(self.symLinkTarget()).absolutePath();
}

QString Canonical(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

} // namespace

QString WorkFolder()
{
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Lumivale");
    QDir().mkpath(folder);
    return folder;
}

QString DataFolder()
{
    const QString executableFolder = ExecutableFolder();
    if (!executableFolder.isEmpty()) {
        if (QFileInfo::exists(executableFolder + QStringLiteral("/lumivale.csv")))
            return executableFolder;
        if (Canonical(executableFolder) == Canonical(QStringLiteral(LUMIVALE_BUILD_BIN_DIR)))
            return executableFolder;
    }
    return QStringLiteral(LUMIVALE_INSTALL_DATADIR);
}

QString FindCompressor()
{
    const QFileInfo local(DataFolder() + QStringLiteral("/nvcompress"));
    if (local.isFile() && local.isExecutable())
        return local.absoluteFilePath();
    return QStandardPaths::findExecutable(QStringLiteral("nvcompress"));
}
