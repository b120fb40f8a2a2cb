#pragma once

#include "cli/Subcommand.h"

// lumivale-cli texture list
// lumivale-cli texture set FILE_NAME|--category NAME PICTURE [--game DIR] [--mask FILE] [--compress]
// lumivale-cli texture restore FILE_NAME|--category NAME [--game DIR]
int RunTextureCommand(const QStringList& arguments, const CommandContext& context);
