// lumivale-cli: the program's jobs without a window, one subcommand per job.
#include "app/Environment.h"
#include "app/FileNames.h"
#include "app/GameFileWriter.h"
#include "cli/GamesCommand.h"
#include "cli/MusicCommand.h"
#include "cli/OnlineCommand.h"
#include "cli/RandomizerCommands.h"
#include "cli/ScreenCommand.h"
#include "cli/Subcommand.h"
#include "cli/TextureCommand.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>

namespace {

// Every subcommand, in the order the help lists them.
const Subcommand kSubcommands[] = {
    {"games",
     "  games\n"
     "      Lists the game folders found in the Wine prefixes (of Wine, Lutris, Bottles, PlayOnLinux and\n"
     "      those added on the Settings tab), one line each: folder, prefix and manager, tab-separated.\n",
     RunGamesCommand},
    {"screen",
     "  screen login|character PICTURE [--game DIR] [--compress] [--frame FILE] [--black N] [--white N]\n"
     "      Writes PICTURE (scaled to 1024x768) as the login or character selection background.\n",
     RunScreenCommand},
    {"pool",
     "  pool add login|character PICTURE|FOLDER [--game DIR] [--frame FILE] [--compress]\n"
     "      Adds a picture, or every picture of a folder (up to 1000, in name order), to a random pool.\n",
     RunPoolCommand},
    {"randomize",
     "  randomize [--game DIR] [--no-launch] [-- LAUNCHER-ARGUMENTS...]\n"
     "      Installs a random background from each pool and starts paragonchat.exe through Wine.\n",
     RunRandomizeCommand},
    {"shortcut",
     "  shortcut [--game DIR]\n"
     "      Writes a desktop shortcut that starts the game with random backgrounds.\n",
     RunShortcutCommand},
    {"texture",
     "  texture list\n"
     "  texture set FILE_NAME|--category NAME PICTURE [--game DIR] [--mask FILE] [--compress]\n"
     "  texture restore FILE_NAME|--category NAME [--game DIR]\n"
     "      Lists the texture catalogue, replaces a catalogued texture (or every texture of a category)\n"
     "      with PICTURE, or restores the game's own (without asking).\n",
     RunTextureCommand},
    {"music",
     "  music SOURCE [--game DIR] [--random] TARGET...\n"
     "  music restore TARGET... [--game DIR]\n"
     "      Converts a sound file to Ogg Vorbis and writes it over the game's music tracks, or gives the\n"
     "      tracks back (Lumivale's removed, the ones they replaced put back). TARGET is --boombox N\n"
     "      (track 1-25, repeatable), --hero-login, --villain-login, --praetorian-login, --dance-floor,\n"
     "      --blue-side, --red-side or --all. With --random SOURCE is a folder and every track gets its\n"
     "      own random sound file from it.\n",
     RunMusicCommand},
    {"online",
     "  online update [--game DIR] [--compress] | online export FILE | online import FILE\n"
     "      Downloads and applies the online textures; writes or reads them as a registry file.\n",
     RunOnlineCommand},
};

} // namespace

QString UsageText()
{
    QString text = QStringLiteral("Usage: lumivale-cli SUBCOMMAND [ARGUMENTS...]\n"
                                  "Lumivale without a window.\n\nSubcommands:\n");
    for (const Subcommand& command : kSubcommands)
        text += QString::fromUtf8(command.usage);
    text +=
        QStringLiteral("\nWithout --game DIR the game folder set in Lumivale is used, else the one game\n"
                       "found in the Wine prefixes (several found: they are listed, and nothing is done).\n");
    text +=
        QStringLiteral("\nOptions:\n  -h, --help     Shows this help.\n  -v, --version  Shows the version.\n"
                       "\nExit status: 0 when the job was done, 1 when it failed (the reason on stderr),\n"
                       "2 on a usage error.\n");
    return text;
}

int UsageError(const CommandContext& context, const QString& message)
{
    std::fprintf(context.err, "lumivale-cli: %s\n\n%s", qPrintable(message), qPrintable(UsageText()));
    return kExitUsage;
}

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

    // The arguments as their bytes: QCoreApplication::arguments() turns a file
    // name that is not UTF-8 into replacement characters, which name no file.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << FileNameFromBytes(QByteArray(argv[i]));
    const Environment environment = SystemEnvironment();
    const CommandContext context{environment, stdout, stderr};
    if (arguments.isEmpty())
        return UsageError(context, QStringLiteral("No subcommand given."));
    const QString first = arguments.takeFirst();
    if (first == QLatin1String("-h") || first == QLatin1String("--help")) {
        std::fputs(qPrintable(UsageText()), stdout);
        return kExitOk;
    }
    if (first == QLatin1String("-v") || first == QLatin1String("--version")) {
        std::printf("lumivale-cli %s\n", qPrintable(QCoreApplication::applicationVersion()));
        return kExitOk;
    }
    for (const Subcommand& command : kSubcommands) {
        if (first == QLatin1String(command.name)) {
            // Temporary folders of runs that were killed.
            PrivateWorkFolder::RemoveStale(environment.workFolder);
            return command.run(arguments, context);
        }
    }
    return UsageError(context, QStringLiteral("Unknown subcommand: %1").arg(first));
}
