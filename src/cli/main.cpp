// lumivale-cli: the program's jobs without a window.
#include "app/Environment.h"
#include "app/GameFileWriter.h"
#include "cli/ScreenCommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <optional>

namespace {

void PrintUsage(const QCommandLineParser& parser)
{
    std::fputs(qPrintable(parser.helpText()), stderr);
}

// A level given on the command line: a whole number from 0 to 255.
std::optional<int> ParseLevel(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0 || value > 255)
        return std::nullopt;
    return value;
}

int UsageError(const QCommandLineParser& parser, const QString& message)
{
    std::fprintf(stderr, "lumivale-cli: %s\n\n", qPrintable(message));
    PrintUsage(parser);
    return kExitUsage;
}

} // namespace

int main(int argc, char* argv[])
{
    // A command-line run needs no desktop event-loop integration; Qt's own
    // dispatcher starts faster.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumivale-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral("%1.%2 build %3")
                                                .arg(LUMIVALE_VERSION_MAJOR)
                                                .arg(LUMIVALE_VERSION_MINOR)
                                                .arg(LUMIVALE_VERSION_REVISION));

    QCommandLineParser parser;
    // "-randomizer" belongs to the window program; report it as one unknown word.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Lumivale without a window.\n\n"
        "Subcommands:\n"
        "  screen login|character PICTURE --game DIR [--compress] [--frame FILE] [--black N] [--white N]\n"
        "      Writes PICTURE (scaled to 1024x768) as the login or character selection background."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption gameOption(QStringLiteral("game"), QStringLiteral("The game folder."),
                                        QStringLiteral("DIR"));
    const QCommandLineOption compressOption(QStringLiteral("compress"),
                                            QStringLiteral("Compress the texture with nvcompress."));
    const QCommandLineOption frameOption(QStringLiteral("frame"),
                                         QStringLiteral("A 1024x768 frame picture laid over the picture."),
                                         QStringLiteral("FILE"));
    const QCommandLineOption blackOption(QStringLiteral("black"), QStringLiteral("Black level, 0 to 254."),
                                         QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption whiteOption(QStringLiteral("white"), QStringLiteral("White level, 1 to 255."),
                                         QStringLiteral("N"), QStringLiteral("255"));
    parser.addOptions({gameOption, compressOption, frameOption, blackOption, whiteOption});
    parser.addPositionalArgument(QStringLiteral("subcommand"), QStringLiteral("screen"));
    parser.addPositionalArgument(QStringLiteral("arguments"), QStringLiteral("The subcommand's arguments."),
                                 QStringLiteral("[arguments...]"));

    if (!parser.parse(QCoreApplication::arguments()))
        return UsageError(parser, parser.errorText());
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return kExitOk;
    }
    if (parser.isSet(versionOption)) {
        std::printf("lumivale-cli %s\n", qPrintable(QCoreApplication::applicationVersion()));
        return kExitOk;
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return UsageError(parser, QStringLiteral("No subcommand given."));
    if (positional.first() != QLatin1String("screen"))
        return UsageError(parser, QStringLiteral("Unknown subcommand: %1").arg(positional.first()));
    if (positional.size() != 3)
        return UsageError(parser,
                          QStringLiteral("screen needs a screen (login or character) and a picture."));

    ScreenRequest request;
    const QString screen = positional.at(1);
    if (screen != QLatin1String("login") && screen != QLatin1String("character"))
        return UsageError(parser, QStringLiteral("Unknown screen: %1 (use login or character)").arg(screen));
    request.login = screen == QLatin1String("login");
    request.picture = positional.at(2);
    if (!parser.isSet(gameOption) || parser.value(gameOption).isEmpty())
        return UsageError(parser, QStringLiteral("--game DIR is required."));
    request.gameFolder = parser.value(gameOption);
    request.compress = parser.isSet(compressOption);
    request.frame = parser.value(frameOption);

    const auto black = ParseLevel(parser.value(blackOption));
    const auto white = ParseLevel(parser.value(whiteOption));
    if (!black || !white)
        return UsageError(parser, QStringLiteral("--black and --white take whole numbers from 0 to 255."));
    if (*black >= *white)
        return UsageError(parser, QStringLiteral("--black must be below --white."));
    request.black = *black;
    request.white = *white;

    const Environment environment = SystemEnvironment();
    PrivateWorkFolder::RemoveStale(environment.workFolder);
    return RunScreenCommand(request, environment, stderr);
}
