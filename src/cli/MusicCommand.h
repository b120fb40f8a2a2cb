#pragma once

#include "cli/Subcommand.h"

// lumivale-cli music SOURCE [--game DIR] TARGET...: a sound file (or with
// --random a folder of them) into the game's music tracks as Ogg Vorbis;
// lumivale-cli music restore TARGET... [--game DIR]: the game's own tracks back.
int RunMusicCommand(const QStringList& arguments, const CommandContext& context);
