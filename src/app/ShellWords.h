#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Splits a command text into arguments the way a POSIX shell does, without
// running any expansion: blanks (spaces, tabs, line breaks) separate words;
// 'single quotes' keep everything literally; inside "double quotes" a
// backslash escapes only $ ` " \ and a line break; outside quotes a backslash
// escapes any character. The rules also read the Exec lines of desktop
// entries. nullopt for an unclosed quote or a trailing lone backslash.
std::optional<QStringList> SplitShellWords(const QString& text);
