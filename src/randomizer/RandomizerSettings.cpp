#include "randomizer/RandomizerSettings.h"

RandomizerSettings RandomizerSettings::Load(const SettingsStore& store)
{
    RandomizerSettings s;
    s.randomFolder = CheckValueFromText(store.Read(setting::kRandomFolder)) != 0;
    return s;
}

void RandomizerSettings::Save(SettingsStore& store) const
{
    store.Write(setting::kRandomFolder, CheckValueToText(randomFolder ? 1 : 0));
}
