#pragma once

#include "app/SettingsStore.h"
#include "app/WinePrefix.h"

#include <QString>

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
