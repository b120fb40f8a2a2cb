#include "randomizer/GameLauncher.h"

#include "app/FileAccess.h"
#include "app/ShellWords.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

// text without the first occurrence of word (nothing else touched).
QString WithoutFirst(const QString& text, const QString& word, bool* found = nullptr)
{
    const qsizetype at = text.indexOf(word, 0, Qt::CaseSensitive);
    if (found)
        *found = at >= 0;
    return at < 0 ? text : text.left(at) + text.mid(at + word.size());
}

} // namespace

QString ArgumentText(const QStringList& argumentsAfterProgram)
{
    return argumentsAfterProgram.join(QLatin1Char(' '));
}

QString ForwardedArguments(const QString& argumentText)
{
    QString arguments = QLatin1Char(' ') + WithoutFirst(argumentText, QStringLiteral("-randomizer"));
    return WithoutFirst(arguments, QStringLiteral("-skipupdate"));
}

QString WinePrefixOf(const QString& gameFolder)
{
    const QStringList components =
        QDir::cleanPath(QFileInfo(gameFolder).absoluteFilePath()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = components.size() - 1; i > 0; --i) {
        if (components[i].compare(QLatin1String("drive_c"), Qt::CaseInsensitive) == 0)
            return QLatin1Char('/') + components.first(i).join(QLatin1Char('/'));
    }
    return QString();
}

WineLauncher::WineLauncher(QProcessEnvironment environment) : m_environment(std::move(environment)) {}

Result<> WineLauncher::Start(const QString& gameFolder, const QString& forwardedArguments)
{
    const QString spelled = gameFolder.isEmpty() ? QString() : SpelledEntry(gameFolder, kLauncherName);
    const QString launcher = spelled.isEmpty() ? QString() : QDir(gameFolder).filePath(spelled);
    if (launcher.isEmpty() || !QFileInfo(launcher).isFile())
        return Fail(QStringLiteral("Unable to locate Paragon Chat in this folder.\n") + gameFolder,
                    MessageIcon::Critical);
    const QString wine = QStandardPaths::findExecutable(
        QStringLiteral("wine"),
        m_environment.value(QStringLiteral("PATH")).split(QLatin1Char(':'), Qt::SkipEmptyParts));
    if (wine.isEmpty())
        return Fail(
            QStringLiteral("Unable to start Paragon Chat: the program \"wine\" was not found."),
            MessageIcon::Critical,
            QStringLiteral("Install Wine (the Debian package \"wine\") to start the game from Lumivale."));

    // As a shell would split it; text a shell could not read is split at blanks.
    QStringList arguments = SplitShellWords(forwardedArguments)
                                .value_or(forwardedArguments.split(QLatin1Char(' '), Qt::SkipEmptyParts));
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
