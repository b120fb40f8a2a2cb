#pragma once

#include "app/Failure.h"
#include "app/GameDiscovery.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The arguments the launcher receives, as they came: the program's arguments
// after its name with the first "-randomizer" taken out, then the first
// "-skipupdate" (case-sensitive, also inside a longer word, as the command
// line text is searched); an argument that was only the switch goes.
QStringList ForwardedArguments(const QStringList& argumentsAfterProgram);

inline const QString kLauncherName = QStringLiteral("paragonchat.exe");

// Starts the game's launcher in the game folder, detached: the caller never
// waits for it. One small interface so that each platform starts it its own way.
class GameLauncher
{
public:
    virtual ~GameLauncher() = default;
    // Fails with the message to show (stop icon) when it cannot be started.
    virtual Result<> Start(const QString& gameFolder, const QStringList& forwardedArguments) = 0;
};

// The Wine prefix that holds a game folder, resolved after symlinks: the
// folder above "drive_c" in the folder's real path, else above the
// "dosdevices/<letter>:" it was reached through; "" when it is in no prefix.
QString WinePrefixOf(const QString& gameFolder);

// The Wine program that starts a game folder's launcher: the "Wine program"
// setting when set, else the inherited $WINE (how a game shortcut passes its
// choice on), else the Wine the manager of the folder's prefix records; ""
// stands for "wine" on PATH. A name without '/' is looked up on PATH.
QString ChooseWineProgram(const QString& wineSetting, const QString& inheritedWine, const QString& gameFolder,
                          const DiscoveryPlaces& places);

// On Linux the launcher runs through the chosen Wine program, in the game
// folder, with WINEPREFIX set to the prefix holding the game folder (else the
// one the program inherited), the forwarded arguments passed on as they are.
class WineLauncher : public GameLauncher
{
public:
    explicit WineLauncher(QProcessEnvironment environment = QProcessEnvironment::systemEnvironment(),
                          QString wineSetting = QString(), DiscoveryPlaces places = DiscoveryPlaces());
    Result<> Start(const QString& gameFolder, const QStringList& forwardedArguments) override;

private:
    QProcessEnvironment m_environment;
    QString m_wineSetting;
    DiscoveryPlaces m_places;
};
