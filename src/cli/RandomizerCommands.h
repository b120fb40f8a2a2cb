#pragma once

#include "cli/Subcommand.h"

// lumivale-cli pool add login|character PICTURE|FOLDER [--game DIR] [--frame FILE] [--compress]
int RunPoolCommand(const QStringList& arguments, const CommandContext& context);
// lumivale-cli randomize [--game DIR] [--no-launch] [-- LAUNCHER-ARGUMENTS...]
int RunRandomizeCommand(const QStringList& arguments, const CommandContext& context);
// lumivale-cli shortcut [--game DIR]
int RunShortcutCommand(const QStringList& arguments, const CommandContext& context);
