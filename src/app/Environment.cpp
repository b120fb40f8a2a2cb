#include "app/Environment.h"

#include "app/ProcessRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <memory>
#include <random>

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

// The desktop folder as the desktop names it (`xdg-user-dir DESKTOP`); ""
// without the tool, or when it answers with the home folder (no desktop set up).
QString DesktopFolder()
{
    const std::optional<QByteArray> output =
        QueryToolOutput(QStringLiteral("xdg-user-dir"), {QStringLiteral("DESKTOP")});
    if (!output)
        return QString();
    const QString folder = QString::fromLocal8Bit(*output).trimmed();
    if (folder.isEmpty() || Canonical(folder) == Canonical(QDir::homePath()) || !QFileInfo(folder).isDir())
        return QString();
    return folder;
}

} // namespace

QDate Environment::Today() const
{
    return now().date();
}

QString WorkFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/Lumivale");
}

QString DataFolderBeside(const QString& executableFolder)
{
    // The build tree keeps the catalogue beside the executables.
    if (QFileInfo::exists(executableFolder + QStringLiteral("/lumivale.csv")))
        return executableFolder;
    return QDir::cleanPath(executableFolder + QStringLiteral("/" LUMIVALE_DATADIR_FROM_BIN));
}

QString PluginFolderBeside(const QString& executableFolder)
{
    if (QFileInfo::exists(executableFolder + QStringLiteral("/lumivale-sound-decoder.so")))
        return executableFolder;
    return QDir::cleanPath(executableFolder + QStringLiteral("/" LUMIVALE_PLUGINDIR_FROM_BIN));
}

QString DataFolder()
{
    return DataFolderBeside(ExecutableFolder());
}

QString PluginFolder()
{
    return PluginFolderBeside(ExecutableFolder());
}

QString FindCompressor(const QString& dataFolder)
{
    const QFileInfo local(dataFolder + QStringLiteral("/nvcompress"));
    if (local.isFile() && local.isExecutable())
        return local.absoluteFilePath();
    return QStandardPaths::findExecutable(QStringLiteral("nvcompress"));
}

Environment SystemEnvironment()
{
    Environment environment;
    environment.workFolder = WorkFolder();
    environment.dataFolder = DataFolder();
    environment.compressorPath = FindCompressor(environment.dataFolder);
    environment.pluginFolder = PluginFolder();
    environment.now = [] { return QDateTime::currentDateTime(); };
    environment.elapsedMs = [] {
        static const QElapsedTimer started = [] {
            QElapsedTimer timer;
            timer.start();
            return timer;
        }();
        return started.elapsed();
    };
    environment.windowProgram = ExecutableFolder() + QStringLiteral("/lumivale");
    environment.applicationsFolder = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    environment.desktopFolder = [] { return DesktopFolder(); };
    environment.winePlaces = SystemDiscoveryPlaces();
    auto generator = std::make_shared<std::mt19937_64>(QRandomGenerator::system()->generate64());
    // 53 random bits over 2^53: uniform in [0, 1), never 1.
    environment.random = [generator] { return double((*generator)() >> 11) * 0x1.0p-53; };
    return environment;
}
