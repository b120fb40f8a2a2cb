#pragma once

#include "cli/Subcommand.h"

// lumivale-cli screen login|character PICTURE [--game DIR] [--compress] [--frame FILE]
//     [--black N] [--white N]
int RunScreenCommand(const QStringList& arguments, const CommandContext& context);
