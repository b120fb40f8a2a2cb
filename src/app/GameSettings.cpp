#include "app/GameSettings.h"

#include "app/GameLocation.h"

GameSettings GameSettings::Load(const SettingsStore& store, const WinePrefix& prefix)
{
    GameSettings s;
    s.cohPath = StartupGameFolder(store, prefix);
    const QString keyName = store.Read(setting::kCohRegKey);
    if (!keyName.isEmpty())
        s.cohRegKey = keyName;
    s.cohWidth = store.Read(setting::kCohWidth);
    s.cohHeight = store.Read(setting::kCohHeight);
    s.cohAuto = CheckValueFromText(store.Read(setting::kCohAuto)) != 0;
    return s;
}

void GameSettings::Save(SettingsStore& store) const
{
    store.Write(setting::kCohAuto, CheckValueToText(cohAuto ? 1 : 0));
    store.Write(setting::kCohRegKey, cohRegKey);
    store.Write(setting::kCohPath, cohPath);
    store.Write(setting::kCohWidth, cohWidth);
    store.Write(setting::kCohHeight, cohHeight);
}
