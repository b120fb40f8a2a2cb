#pragma once

#include "cli/Subcommand.h"

// online update [--game DIR] [--compress] | online export FILE | online import FILE
int RunOnlineCommand(const QStringList& arguments, const CommandContext& context);
