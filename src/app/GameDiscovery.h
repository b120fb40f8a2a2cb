#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Where the game may be installed: the Wine prefixes of plain Wine and of the
// Wine managers players use, looked up under the folders given here (never
// the process's own), so made-up trees serve as well as a real home.
struct DiscoveryPlaces
{
    QString home;       // the user's home folder; "" looks nowhere below it
    QString configHome; // $XDG_CONFIG_HOME, else ~/.config
    QString dataHome;   // $XDG_DATA_HOME, else ~/.local/share
    QString winePrefix; // $WINEPREFIX; "" when unset
};

// The places of this process: $HOME, the XDG folders and $WINEPREFIX.
DiscoveryPlaces SystemDiscoveryPlaces();

// One Wine prefix and the Wine it was set up with.
struct WinePrefixEntry
{
    QString prefix;      // the prefix folder, after symlinks
    QString manager;     // "Wine", "Lutris", "Bottles", "Bottles (Flatpak)", "PlayOnLinux", "Added by hand"
    QString wineProgram; // the manager's Wine ("…/bin/wine"); "" = wine on PATH
};

// One game folder found in a prefix.
struct FoundGame
{
    QString folder; // the game folder, after symlinks
    QString prefix;
    QString manager;
    QString wineProgram;
};

// Every existing prefix, each once: $WINEPREFIX, ~/.wine, then those of Lutris,
// Bottles (native and Flatpak) and PlayOnLinux, then the ones added by hand.
// A prefix reached twice keeps its first place and the first Wine a manager
// records for it.
QList<WinePrefixEntry> ListWinePrefixes(const DiscoveryPlaces& places, const QStringList& addedByHand);

// The game folders of one prefix, after symlinks and each once: the host folder
// of every "Installation Directory" under Software\Cryptic in its user.reg,
// then the folders of drive_c that hold cityofheroes.exe or paragonchat.exe,
// looked for in drive_c itself, its folders, and two levels below "Program
// Files", "Program Files (x86)" and "Games" (a bounded look, never a walk of
// the whole drive).
QStringList GameFoldersInPrefix(const QString& prefix);

// Every game folder of every prefix, in the prefixes' order.
QList<FoundGame> FindGames(const DiscoveryPlaces& places, const QStringList& addedByHand);

// The Wine a manager recorded for this prefix (compared after symlinks); ""
// when no manager knows it or it records the Wine on PATH.
QString RecordedWineProgram(const QString& prefix, const DiscoveryPlaces& places);

// The hand-added prefixes as stored: folders separated by ':' as in PATH.
QStringList SplitPrefixList(const QString& text);
QString JoinPrefixList(const QStringList& prefixes);
