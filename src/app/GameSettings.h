#pragma once

#include "app/SettingsStore.h"
#include "app/WinePrefix.h"

#include <QString>
#include <QStringList>

// Names of the game-location values in the program's key.
namespace setting {
inline const QString kCohPath = QStringLiteral("CohPath");
inline const QString kCohRegKey = QStringLiteral("CohRegKey");
inline const QString kCohWidth = QStringLiteral("CohWidth");
inline const QString kCohHeight = QStringLiteral("CohHeight");
inline const QString kCohAuto = QStringLiteral("CohAuto");
// The Wine that starts the game, over the one the prefix's manager records.
inline const QString kWineProgram = QStringLiteral("WineProgram");
// Wine prefixes the user added to the ones looked through for the game.
inline const QString kWinePrefixes = QStringLiteral("WinePrefixes");
} // namespace setting

// The game folder, the game's key name and the screen size as the Settings tab
// keeps them.
struct GameSettings
{
    QString cohPath;                           // "CohPath"
    QString cohRegKey = QStringLiteral("Coh"); // "CohRegKey"; "Coh" when missing
    QString cohWidth;                          // "CohWidth"
    QString cohHeight;                         // "CohHeight"
    bool cohAuto = false;                      // "CohAuto"
    QString wineProgram;                       // "WineProgram"; "" = the prefix's own Wine
    QStringList winePrefixes;                  // "WinePrefixes", folders separated by ':'

    // Every value; the game folder falls back as StartupGameFolder says.
    static GameSettings Load(const SettingsStore& store, const WinePrefix& prefix);
    // In the close check's order: CohAuto, CohRegKey, CohPath, CohWidth, CohHeight;
    // then WineProgram and WinePrefixes.
    void Save(SettingsStore& store) const;
};
