#include "cli/GamesCommand.h"

#include "app/GameDiscovery.h"
#include "app/GameSettings.h"
#include "app/SettingsStore.h"
#include "app/WinePrefix.h"

#include <cstdio>

namespace {

QList<FoundGame> FoundGames(const CommandContext& context, const SettingsStore& store)
{
    return FindGames(context.environment.winePlaces, SplitPrefixList(store.Read(setting::kWinePrefixes)));
}

void PrintGames(std::FILE* out, const QList<FoundGame>& games)
{
    for (const FoundGame& game : games)
        std::fprintf(out, "%s\t%s\t%s\n", qPrintable(game.folder), qPrintable(game.prefix),
                     qPrintable(game.manager));
}

} // namespace

int RunGamesCommand(const QStringList& arguments, const CommandContext& context)
{
    if (!arguments.isEmpty())
        return UsageError(context, QStringLiteral("games takes no arguments."));
    const SettingsStore store(SettingsStore::DefaultFilePath());
    const QList<FoundGame> games = FoundGames(context, store);
    if (games.isEmpty())
        std::fputs("No game was found in the Wine prefixes.\n", context.err);
    PrintGames(context.out, games);
    return kExitOk;
}

std::optional<QString> GameFolderArgument(const QString& given, const CommandContext& context,
                                          const QString& missingMessage)
{
    if (!given.isEmpty())
        return given;
    const SettingsStore store(SettingsStore::DefaultFilePath());
    const DiscoveryPlaces& places = context.environment.winePlaces;
    const QString defaultPrefix =
        places.winePrefix.isEmpty() ? places.home + QStringLiteral("/.wine") : places.winePrefix;
    if (const QString configured = StartupGameFolder(store, WinePrefix(defaultPrefix)); !configured.isEmpty())
        return configured;
    const QList<FoundGame> games = FoundGames(context, store);
    if (games.size() == 1)
        return games.first().folder;
    if (games.isEmpty()) {
        UsageError(context, missingMessage);
        return std::nullopt;
    }
    std::fputs("lumivale-cli: Several games were found; choose one with --game DIR:\n", context.err);
    PrintGames(context.err, games);
    return std::nullopt;
}
