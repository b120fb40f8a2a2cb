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

// What the game's own key says about its folder and screen size.
struct DetectedGameSettings
{
    QString folder;  // host path of "Installation Directory"; "" when missing or not mappable
    QString screenX; // texts as stored; "" when missing
    QString screenY;
};

DetectedGameSettings ReadGameSettings(const WinePrefix& prefix, const QString& keyName);
// The leading number of a size box without its sign: " 1280 px" -> "1280",
// "" -> "0", "-800" -> "800", "1024x768" -> "1024". A fraction keeps its point
// ("12.5"); numbers beyond 32 bits are shown with all their digits.
QString NormalizeSizeText(const QString& text);
// The game folder at start: the stored "CohPath", else the folder in the fixed
// key Software\Cryptic\Coh (never the key named by "CohRegKey").
QString StartupGameFolder(const SettingsStore& store, const WinePrefix& prefix);
