#include "randomizer/GameLauncher.h"

#include "app/FileAccess.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

// arguments with the first occurrence of word taken out of the first argument
// that holds it; an argument that was only the word goes.
void TakeOutFirst(QStringList& arguments, const QString& word)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const qsizetype at = arguments[i].indexOf(word, 0, Qt::CaseSensitive);
        if (at < 0)
            continue;
        arguments[i].remove(at, word.size());
        if (arguments[i].isEmpty())
            arguments.removeAt(i);
        return;
    }
}

// The prefix above the last "drive_c" component of path, or above a
// "dosdevices/<letter>:" pair; "" when there is neither.
QString PrefixInPath(const QString& path, bool byDrive)
{
    const QStringList components = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = components.size() - 1; i > 0; --i) {
        const bool found = byDrive
                               ? components[i].compare(QLatin1String("drive_c"), Qt::CaseInsensitive) == 0
                               : i + 1 < components.size() && components[i] == QLatin1String("dosdevices") &&
                                     components[i + 1].size() == 2 && components[i + 1][0].isLetter() &&
                                     components[i + 1][1] == QLatin1Char(':');
        if (found)
            return QLatin1Char('/') + components.first(i).join(QLatin1Char('/'));
    }
    return QString();
}

} // namespace

QStringList ForwardedArguments(const QStringList& argumentsAfterProgram)
{
    QStringList arguments = argumentsAfterProgram;
    TakeOutFirst(arguments, QStringLiteral("-randomizer"));
    TakeOutFirst(arguments, QStringLiteral("-skipupdate"));
    return arguments;
}

QString WinePrefixOf(const QString& gameFolder)
{
    if (gameFolder.isEmpty())
        return QString();
    const QString absolute = QDir::cleanPath(QFileInfo(gameFolder).absoluteFilePath());
    // Where the folder really is: dosdevices/c: leads into drive_c, and a
    // symlinked prefix to the folder it stands for.
    const QString resolved = QFileInfo(absolute).canonicalFilePath();
    QString prefix = resolved.isEmpty() ? QString() : PrefixInPath(resolved, true);
    if (prefix.isEmpty())
        prefix = PrefixInPath(absolute, false);
    if (prefix.isEmpty())
        prefix = PrefixInPath(absolute, true);
    const QString canonical = prefix.isEmpty() ? QString() : QFileInfo(prefix).canonicalFilePath();
    return canonical.isEmpty() ? prefix : canonical;
}

QString ChooseWineProgram(const QString& wineSetting, const QString& inheritedWine, const QString& gameFolder,
                          const DiscoveryPlaces& places)
{
    if (!wineSetting.trimmed().isEmpty())
        return wineSetting.trimmed();
    if (!inheritedWine.trimmed().isEmpty())
        return inheritedWine.trimmed();
    const QString prefix = WinePrefixOf(gameFolder);
    return prefix.isEmpty() ? QString() : RecordedWineProgram(prefix, places);
}

WineLauncher::WineLauncher(QProcessEnvironment environment, QString wineSetting, DiscoveryPlaces places)
    : m_environment(std::move(environment)), m_wineSetting(std::move(wineSetting)),
      m_places(std::move(places))
{
}

Result<> WineLauncher::Start(const QString& gameFolder, const QStringList& forwardedArguments)
{
    if (gameFolder.isEmpty())
        return Fail(
            QStringLiteral("Unable to start Paragon Chat: no game folder is set."), MessageIcon::Critical,
            QStringLiteral("Set the game folder on the Settings tab of Lumivale (\"Game location:\"), "
                           "or tick \"Autodetect path and size from Registry\" there."));
    const QString spelled = SpelledEntry(gameFolder, kLauncherName);
    const QString launcher = spelled.isEmpty() ? QString() : QDir(gameFolder).filePath(spelled);
    if (launcher.isEmpty() || !QFileInfo(launcher).isFile())
        return Fail(QStringLiteral("Unable to locate Paragon Chat in this folder.\n") + gameFolder,
                    MessageIcon::Critical);
    const QString chosen =
        ChooseWineProgram(m_wineSetting, m_environment.value(QStringLiteral("WINE")), gameFolder, m_places);
    const QStringList path =
        m_environment.value(QStringLiteral("PATH")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    QString wine;
    if (chosen.isEmpty())
        wine = QStandardPaths::findExecutable(QStringLiteral("wine"), path);
    else if (!chosen.contains(QLatin1Char('/')))
        wine = QStandardPaths::findExecutable(chosen, path);
    else if (const QFileInfo program(chosen); program.isFile() && program.isExecutable())
        wine = program.absoluteFilePath();
    if (wine.isEmpty() && !chosen.isEmpty())
        return Fail(
            QStringLiteral("Unable to start Paragon Chat: the Wine program \"%1\" was not found.")
                .arg(chosen),
            MessageIcon::Critical,
            QStringLiteral("Check \"Wine program\" on the Settings tab of Lumivale, or leave it empty to "
                           "use the Wine the game's prefix was set up with."));
    if (wine.isEmpty())
        return Fail(
            QStringLiteral("Unable to start Paragon Chat: the program \"wine\" was not found."),
            MessageIcon::Critical,
            QStringLiteral("Install Wine (the Debian package \"wine\") to start the game from Lumivale."));

    QStringList arguments = forwardedArguments;
    arguments.prepend(launcher);
    QProcessEnvironment environment = m_environment;
    if (const QString prefix = WinePrefixOf(gameFolder); !prefix.isEmpty())
        environment.insert(QStringLiteral("WINEPREFIX"), prefix);

    QProcess process;
    process.setProgram(wine);
    process.setArguments(arguments);
    process.setWorkingDirectory(gameFolder);
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached())
        return Fail(QStringLiteral("Unable to start Paragon Chat."), MessageIcon::Critical,
                    process.errorString());
    return {};
}
