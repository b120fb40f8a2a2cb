#pragma once

#include "app/Environment.h"
#include "app/Failure.h"

#include <QString>
#include <QStringList>

inline const QString kShortcutFileName = QStringLiteral("lumivale-randomizer.desktop");

// One argument of a desktop entry's Exec line, quoted by the desktop-entry
// rules when it holds a reserved character (blanks, quotes, backslash, shell
// characters): in double quotes, with " ` $ \ escaped by a backslash; '%' doubled.
QString DesktopExecArgument(const QString& argument);
// A string value of a desktop entry: backslash, line breaks and tabs escaped.
QString DesktopStringValue(const QString& value);

// The desktop entry that starts the window program with -randomizer: with
// WINEPREFIX=prefix and WINE=wineProgram in front when they are not empty,
// the game folder as its working folder.
QByteArray GameShortcutEntry(const QString& program, const QString& winePrefix, const QString& gameFolder,
                             const QString& wineProgram = QString());

// The prefix a shortcut has to name for this game folder: the one holding it,
// else the one the program runs with ($WINEPREFIX); "" when that is Wine's
// default (~/.wine) or none is known.
QString ShortcutWinePrefix(const QString& gameFolder, const QString& inheritedPrefix);

// Writes the entry into the applications folder and, when the desktop has a
// desktop folder, a copy there (executable, so file managers start it). The
// entry names the Wine the launcher would choose now (ChooseWineProgram).
// Returns the files written.
Result<QStringList> CreateGameShortcut(const Environment& environment, const QString& gameFolder,
                                       const QString& wineSetting = QString());
