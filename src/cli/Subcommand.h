#pragma once

#include "app/Environment.h"

#include <QString>
#include <QStringList>
#include <cstdio>

// Exit codes of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// What every subcommand runs with.
struct CommandContext
{
    const Environment& environment;
    std::FILE* out; // results (the files written, the lists asked for)
    std::FILE* err; // progress, messages and usage errors
};

// One subcommand of lumivale-cli: its name, its usage lines for the help, and
// the function that parses its own arguments (those after its name) and runs it.
struct Subcommand
{
    const char* name;
    const char* usage;
    int (*run)(const QStringList& arguments, const CommandContext& context);
};

// Prints "lumivale-cli: message" and the usage of every subcommand; returns kExitUsage.
int UsageError(const CommandContext& context, const QString& message);
// The usage text of every subcommand, for --help and usage errors.
QString UsageText();
