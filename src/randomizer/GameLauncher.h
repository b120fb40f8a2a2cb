#pragma once

#include "app/Failure.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The argument text the launcher receives: the program's argument text with
// its first "-randomizer" taken out and one blank put in front, then the first
// "-skipupdate" (case-sensitive) taken out the same way. Nothing else changes;
// blanks around what was taken out stay.
QString ForwardedArguments(const QString& argumentText);
// The program's argument text: its arguments after the program name, joined by blanks.
QString ArgumentText(const QStringList& argumentsAfterProgram);

inline const QString kLauncherName = QStringLiteral("paragonchat.exe");

// Starts the game's launcher in the game folder, detached: the caller never
// waits for it. One small interface so that each platform starts it its own way.
class GameLauncher
{
public:
    virtual ~GameLauncher() = default;
    // Fails with the message to show (stop icon) when it cannot be started.
    virtual Result<> Start(const QString& gameFolder, const QString& forwardedArguments) = 0;
};

// The Wine prefix that holds a game folder: the folder above its "drive_c"
// component; "" when the game folder is not inside one.
QString WinePrefixOf(const QString& gameFolder);

// On Linux the launcher runs through "wine" from PATH, in the game folder,
// with WINEPREFIX set to the prefix holding the game folder (else the one the
// program inherited), and the forwarded text split into arguments as a shell
// would.
class WineLauncher : public GameLauncher
{
public:
    explicit WineLauncher(QProcessEnvironment environment = QProcessEnvironment::systemEnvironment());
    Result<> Start(const QString& gameFolder, const QString& forwardedArguments) override;

private:
    QProcessEnvironment m_environment;
};
