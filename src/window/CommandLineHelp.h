#pragma once

#include <QStringList>
#include <cstdio>
#include <optional>

// The window program's --help and --version, answered before any
// QApplication exists, so that they work without a display. Returns the exit
// status when the arguments asked for one of them (the text went to out),
// nothing otherwise. A randomizer command line passes every argument on to
// the game's launcher and is never answered here.
std::optional<int> AnswerHelpOrVersion(const QStringList& arguments, std::FILE* out);
