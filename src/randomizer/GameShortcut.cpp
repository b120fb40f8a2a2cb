#include "randomizer/GameShortcut.h"

#include "app/FileNames.h"
#include "app/UserFile.h"
#include "randomizer/GameLauncher.h"

#include <QDir>
#include <QFileInfo>

QString DesktopExecArgument(const QString& argument)
{
    static const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString doubled = argument;
    doubled.replace(QLatin1Char('%'), QStringLiteral("%%"));
    const bool quote = argument.isEmpty() || std::any_of(argument.cbegin(), argument.cend(),
                                                         [](QChar c) { return kReserved.contains(c); });
    if (!quote)
        return doubled;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : doubled) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return quoted + QLatin1Char('"');
}

QString DesktopStringValue(const QString& value)
{
    QString out;
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

QByteArray GameShortcutEntry(const QString& program, const QString& winePrefix, const QString& gameFolder,
                             const QString& wineProgram)
{
    QStringList exec;
    if (!winePrefix.isEmpty() || !wineProgram.isEmpty())
        exec << QStringLiteral("env");
    if (!winePrefix.isEmpty())
        exec << DesktopExecArgument(QStringLiteral("WINEPREFIX=") + winePrefix);
    if (!wineProgram.isEmpty())
        exec << DesktopExecArgument(QStringLiteral("WINE=") + wineProgram);
    exec << DesktopExecArgument(program) << QStringLiteral("-randomizer");
    QString entry =
        QStringLiteral("[Desktop Entry]\n"
                       "Type=Application\n"
                       "Version=1.4\n"
                       "Name=City of Heroes (Lumivale)\n"
                       "Comment=Start the game with a random login and character selection background\n"
                       "Icon=applications-games\n"
                       "Terminal=false\n"
                       "Categories=Game;\n");
    entry += QStringLiteral("Exec=") + DesktopStringValue(exec.join(QLatin1Char(' '))) + QLatin1Char('\n');
    if (!gameFolder.isEmpty())
        entry += QStringLiteral("Path=") + DesktopStringValue(gameFolder) + QLatin1Char('\n');
    return entry.toUtf8();
}

QString ShortcutWinePrefix(const QString& gameFolder, const QString& inheritedPrefix)
{
    QString prefix = WinePrefixOf(gameFolder);
    if (prefix.isEmpty())
        prefix = inheritedPrefix;
    if (prefix.isEmpty())
        return QString();
    const QString canonical = QFileInfo(prefix).canonicalFilePath();
    const QString wineDefault = QFileInfo(QDir::homePath() + QStringLiteral("/.wine")).canonicalFilePath();
    if (!canonical.isEmpty() && canonical == wineDefault)
        return QString();
    return QDir::cleanPath(prefix);
}

Result<QStringList> CreateGameShortcut(const Environment& environment, const QString& gameFolder,
                                       const QString& wineSetting)
{
    const QByteArray entry = GameShortcutEntry(
        environment.windowProgram, ShortcutWinePrefix(gameFolder, qEnvironmentVariable("WINEPREFIX")),
        gameFolder,
        ChooseWineProgram(wineSetting, qEnvironmentVariable("WINE"), gameFolder, environment.winePlaces));
    if (environment.applicationsFolder.isEmpty() || !QDir().mkpath(environment.applicationsFolder))
        return Fail(
            QStringLiteral("The shortcut could not be written."), MessageIcon::Exclamation,
            QStringLiteral("There is no applications folder (%1).").arg(environment.applicationsFolder));
    QStringList written;
    const QString menu = QDir(environment.applicationsFolder).filePath(kShortcutFileName);
    if (const Result<> wrote = WriteUserFile(menu, entry); !wrote)
        return Fail(
            Failure(wrote.error())
                .Retitle(QStringLiteral("The shortcut %1 could not be written.").arg(DisplayFileName(menu)),
                         MessageIcon::Exclamation));
    written << menu;
    const QString desktop = environment.desktopFolder ? environment.desktopFolder() : QString();
    if (!desktop.isEmpty()) {
        // Executable, so that file managers start it.
        const QString copy = QDir(desktop).filePath(kShortcutFileName);
        if (const Result<> wrote = WriteUserFile(copy, entry, true); !wrote)
            return Fail(Failure(wrote.error())
                            .Retitle(QStringLiteral("The shortcut could not be put on the desktop (%1).")
                                         .arg(DisplayFileName(copy)),
                                     MessageIcon::Exclamation));
        written << copy;
    }
    return written;
}
