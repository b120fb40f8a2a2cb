#pragma once

#include "cli/Subcommand.h"

#include <QString>
#include <QStringList>
#include <optional>

// lumivale-cli games: every game folder found in the Wine prefixes, one line
// each: folder, prefix and manager, separated by tabs.
int RunGamesCommand(const QStringList& arguments, const CommandContext& context);

// The game folder a subcommand works on: the one given with --game, else the
// configured game folder, else the single game found in the Wine prefixes.
// Nothing after a usage error on stderr: missingMessage when there is none,
// the list of games when several were found (exit with kExitUsage then).
std::optional<QString> GameFolderArgument(const QString& given, const CommandContext& context,
                                          const QString& missingMessage);
