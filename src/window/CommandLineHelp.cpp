#include "window/CommandLineHelp.h"

#include "app/Startup.h"

namespace {

const char kHelp[] =
    "Usage: lumivale [-randomizer [LAUNCHER-ARGUMENTS...]]\n"
    "Changes what the City of Heroes game client shows and plays: login and character selection\n"
    "backgrounds, random backgrounds at every game start, music and textures, written as loose files\n"
    "into the client's data folder.\n"
    "\n"
    "Without arguments the window opens.\n"
    "\n"
    "Options:\n"
    "  -randomizer    Installs a random background from each pool, applies the online textures once\n"
    "                 a day and starts paragonchat.exe through Wine, without the window (the game\n"
    "                 shortcut runs this). The other arguments are passed on to paragonchat.exe.\n"
    "  -h, --help     Shows this help.\n"
    "  -v, --version  Shows the version.\n"
    "\n"
    "The window also takes Qt's own options, such as -platform NAME or -style NAME.\n"
    "Settings are kept in $XDG_CONFIG_HOME/Lumivale/Lumivale.ini, temporary files in\n"
    "$XDG_CACHE_HOME/Lumivale. lumivale-cli runs the same jobs without a window.\n";

} // namespace

std::optional<int> AnswerHelpOrVersion(const QStringList& arguments, std::FILE* out)
{
    if (IsRandomizerCommandLine(arguments))
        return std::nullopt;
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            std::fputs(kHelp, out);
            return 0;
        }
        if (argument == QLatin1String("-v") || argument == QLatin1String("--version")) {
            std::fprintf(out, "lumivale %d.%d build %d\n", LUMIVALE_VERSION_MAJOR, LUMIVALE_VERSION_MINOR,
                         LUMIVALE_VERSION_REVISION);
            return 0;
        }
    }
    return std::nullopt;
}
