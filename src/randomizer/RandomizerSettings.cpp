#include "randomizer/RandomizerSettings.h"

RandomizerSettings RandomizerSettings::Load(const SettingsStore& store)
{
    RandomizerSettings s;
    s.randomFolder = ReadCheck(store, setting::kRandomFolder);
    s.randomNoRepeat = ReadCheck(store, setting::kRandomNoRepeat);
    return s;
}

void RandomizerSettings::Save(SettingsStore& store) const
{
    WriteCheck(store, setting::kRandomFolder, randomFolder);
    WriteCheck(store, setting::kRandomNoRepeat, randomNoRepeat);
}
