#include "music/MusicSettings.h"

MusicSettings MusicSettings::Load(const SettingsStore& store)
{
    MusicSettings s;
    s.soundFolder = CheckValueFromText(store.Read(setting::kSoundFolder)) != 0;
    return s;
}

void MusicSettings::Save(SettingsStore& store) const
{
    store.Write(setting::kSoundFolder, CheckValueToText(soundFolder ? 1 : 0));
}
