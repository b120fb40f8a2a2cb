#include "app/LinkOpener.h"

#include "app/BusyHost.h"
#include "app/ProcessRunner.h"
#include "app/ShellWords.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

// The raw value of the Exec key of the [Desktop Entry] group.
std::optional<QString> ExecValue(const QString& contents)
{
    bool inEntry = false;
    const QStringList lines = contents.split(QLatin1Char('\n'));
    for (QString line : lines) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inEntry || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0 || line.left(equals).trimmed() != QLatin1String("Exec"))
            continue;
        return line.mid(equals + 1).trimmed();
    }
    return std::nullopt;
}

// The string escapes of desktop entry values (\s \n \t \r \\).
QString UnescapeValue(const QString& value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != QLatin1Char('\\') || i + 1 >= value.size()) {
            out.append(value[i]);
            continue;
        }
        const QChar e = value[++i];
        // The desktop-entry escapes: \s \n \t \r \\; anything else stays as written.
        static constexpr QLatin1StringView kEscaped("sntr\\");
        static constexpr QLatin1StringView kMeaning(" \n\t\r\\");
        if (const qsizetype k = kEscaped.indexOf(e); k >= 0)
            out.append(kMeaning.at(k));
        else
            out.append(QLatin1Char('\\')).append(e);
    }
    return out;
}

} // namespace

QString QueryDefaultHandler(const QString& protocol)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*$"));
    if (!scheme.match(protocol).hasMatch())
        return QString();
    const std::optional<QByteArray> output =
        QueryToolOutput(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                                     QStringLiteral("x-scheme-handler/") + protocol});
    if (!output)
        return QString();
    return QString::fromUtf8(*output).section(QLatin1Char('\n'), 0, 0).trimmed();
}

std::optional<LinkCommand> BuildLinkCommand(const QString& desktopFileContents, const QString& link)
{
    const auto exec = ExecValue(desktopFileContents);
    if (!exec || exec->isEmpty())
        return std::nullopt;
    const auto split = SplitShellWords(UnescapeValue(*exec));
    if (!split)
        return std::nullopt;

    QStringList arguments;
    bool linkPlaced = false;
    for (const QString& argument : *split) {
        QString expanded;
        bool hadCode = false;
        for (qsizetype i = 0; i < argument.size(); ++i) {
            if (argument[i] != QLatin1Char('%') || i + 1 >= argument.size()) {
                expanded.append(argument[i]);
                continue;
            }
            const QChar code = argument[++i];
            if (code == QLatin1Char('%')) {
                expanded.append(QLatin1Char('%'));
                continue;
            }
            hadCode = true;
            const bool takesLink = code == QLatin1Char('u') || code == QLatin1Char('U') ||
                                   code == QLatin1Char('f') || code == QLatin1Char('F');
            if (takesLink && !linkPlaced) {
                expanded.append(link);
                linkPlaced = true;
            }
        }
        // An argument that was nothing but dropped field codes disappears.
        if (hadCode && expanded.isEmpty())
            continue;
        arguments.append(expanded);
    }
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return std::nullopt;
    if (!linkPlaced)
        arguments.append(link);
    LinkCommand command;
    command.program = arguments.takeFirst();
    command.arguments = arguments;
    return command;
}

QString FindDesktopFile(const QString& desktopId)
{
    if (desktopId.isEmpty() || desktopId.contains(QLatin1Char('/')) ||
        !desktopId.endsWith(QLatin1String(".desktop")))
        return QString();
    const QString direct = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopId);
    if (!direct.isEmpty())
        return direct;
    // A desktop id "vendor-app.desktop" may also name the file vendor/app.desktop.
    QString nested = desktopId;
    for (qsizetype dash = nested.indexOf(QLatin1Char('-')); dash > 0;
         dash = nested.indexOf(QLatin1Char('-'), dash)) {
        nested[dash] = QLatin1Char('/');
        const QString found = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, nested);
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

std::optional<LinkCommand> DesktopLinkCommand(const QString& protocol, const QString& link)
{
    const QString desktopFile = FindDesktopFile(QueryDefaultHandler(protocol));
    if (desktopFile.isEmpty())
        return std::nullopt;
    QFile file(desktopFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return BuildLinkCommand(QString::fromUtf8(file.readAll()), link);
}

bool OpenLink(BusyHost& host, const QString& protocol, const QString& link)
{
    LinkOpenerHooks hooks;
    hooks.resolve = DesktopLinkCommand;
    hooks.start = [](const LinkCommand& command) {
        return QProcess::startDetached(command.program, command.arguments);
    };
    return OpenLink(host, protocol, link, hooks);
}

bool OpenLink(BusyHost& host, const QString& protocol, const QString& link, const LinkOpenerHooks& hooks)
{
    const std::optional<LinkCommand> command = hooks.resolve ? hooks.resolve(protocol, link) : std::nullopt;
    if (!command) {
        host.ShowMessage(QStringLiteral("Unable to find a program for ") + protocol + QStringLiteral(" ") +
                             QStringLiteral("links."),
                         MessageIcon::Exclamation);
        return false;
    }
    if (!hooks.start || !hooks.start(*command)) {
        host.ShowMessage(QStringLiteral("Unable to start ") + command->program + QStringLiteral(" for ") +
                             protocol + QStringLiteral(" links."),
                         MessageIcon::Exclamation);
        return false;
    }
    return true;
}
