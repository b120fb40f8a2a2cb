#include "randomizer/RandomizerSettings.h"

RandomizerSettings RandomizerSettings::Load(const SettingsStore& store)
{
    RandomizerSettings s;
    s.randomFolder = ReadCheck(store, setting::kRandomFolder);
    return s;
}

void RandomizerSettings::Save(SettingsStore& store) const
{
    WriteCheck(store, setting::kRandomFolder, randomFolder);
}
