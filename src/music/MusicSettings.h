#pragma once

#include "app/SettingsStore.h"

#include <QString>

namespace setting {
inline const QString kSoundFolder = QStringLiteral("SoundFolder");
inline const QString kLastSoundDir = QStringLiteral("LastSoundDir");
} // namespace setting

struct MusicSettings
{
    bool soundFolder = false; // "SoundFolder": pick random sound files from the folder

    static MusicSettings Load(const SettingsStore& store);
    void Save(SettingsStore& store) const;
};

// The folder of the sound file chosen last, where the next sound dialog starts.
QString ReadLastSoundDir(const SettingsStore& store);
void WriteLastSoundDir(SettingsStore& store, const QString& folder);
