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

QString ReadLastSoundDir(const SettingsStore& store)
{
    return store.Read(setting::kLastSoundDir);
}

void WriteLastSoundDir(SettingsStore& store, const QString& folder)
{
    store.Write(setting::kLastSoundDir, folder);
}
