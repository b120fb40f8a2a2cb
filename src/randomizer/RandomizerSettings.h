#pragma once

#include "app/SettingsStore.h"

#include <QString>

namespace setting {
inline const QString kRandomFolder = QStringLiteral("RandomFolder");
inline const QString kRandomHL = QStringLiteral("RandomHL");
inline const QString kRandomHC = QStringLiteral("RandomHC");
} // namespace setting

// The Randomizer tab's switch. The last picks ("RandomHL", "RandomHC") are
// read and written by the pick itself.
struct RandomizerSettings
{
    bool randomFolder = false; // "RandomFolder": add all the images in the folder

    static RandomizerSettings Load(const SettingsStore& store);
    void Save(SettingsStore& store) const;
};
