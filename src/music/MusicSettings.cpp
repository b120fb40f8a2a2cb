#include "music/MusicSettings.h"

MusicSettings MusicSettings::Load(const SettingsStore& store)
{
    MusicSettings s;
    s.soundFolder = ReadCheck(store, setting::kSoundFolder);
    return s;
}

void MusicSettings::Save(SettingsStore& store) const
{
    WriteCheck(store, setting::kSoundFolder, soundFolder);
}
