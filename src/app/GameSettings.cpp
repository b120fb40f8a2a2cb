#include "app/GameSettings.h"

#include "app/GameDiscovery.h"
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
    s.cohAuto = ReadCheck(store, setting::kCohAuto);
    s.wineProgram = store.Read(setting::kWineProgram).trimmed();
    s.winePrefixes = SplitPrefixList(store.Read(setting::kWinePrefixes));
    return s;
}

void GameSettings::Save(SettingsStore& store) const
{
    WriteCheck(store, setting::kCohAuto, cohAuto);
    store.Write(setting::kCohRegKey, cohRegKey);
    store.Write(setting::kCohPath, cohPath);
    store.Write(setting::kCohWidth, cohWidth);
    store.Write(setting::kCohHeight, cohHeight);
    store.Write(setting::kWineProgram, wineProgram);
    store.Write(setting::kWinePrefixes, JoinPrefixList(winePrefixes));
}
