#pragma once

#include "app/SettingsStore.h"

#include <QString>

namespace setting {
inline const QString kRandomFolder = QStringLiteral("RandomFolder");
inline const QString kRandomHL = QStringLiteral("RandomHL");
inline const QString kRandomHC = QStringLiteral("RandomHC");
inline const QString kRandomNoRepeat = QStringLiteral("RandomNoRepeat");
// The no-repeat rounds of each pool: the files still to come, in their shuffled
// order, and the files installed so far in the round; names joined by '/'.
inline const QString kRandomOrderHL = QStringLiteral("RandomOrderHL");
inline const QString kRandomOrderHC = QStringLiteral("RandomOrderHC");
inline const QString kRandomShownHL = QStringLiteral("RandomShownHL");
inline const QString kRandomShownHC = QStringLiteral("RandomShownHC");
} // namespace setting

// The Randomizer tab's switches. The last picks ("RandomHL", "RandomHC") and
// the no-repeat rounds are read and written by the pick itself.
struct RandomizerSettings
{
    bool randomFolder = false;   // "RandomFolder": add all the images in the folder
    bool randomNoRepeat = false; // "RandomNoRepeat": show every picture once before repeating

    static RandomizerSettings Load(const SettingsStore& store);
    void Save(SettingsStore& store) const;
};
