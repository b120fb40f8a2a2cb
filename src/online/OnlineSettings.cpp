#include "online/OnlineSettings.h"

OnlineSettings OnlineSettings::Load(const SettingsStore& store)
{
    OnlineSettings s;
    for (int i = 0; i < kOnlineSlots; ++i) {
        OnlineSlotSettings& slot = s.entries[std::size_t(i)];
        slot.name = store.Read(setting::SlotValue(setting::kWebName, i));
        slot.link = store.Read(setting::SlotValue(setting::kWebLink, i));
        slot.path = store.Read(setting::SlotValue(setting::kWebPath, i));
        slot.file = store.Read(setting::SlotValue(setting::kWebFile, i));
        slot.width = store.Read(setting::SlotValue(setting::kWebWidth, i));
        slot.height = store.Read(setting::SlotValue(setting::kWebHeight, i));
    }
    return s;
}

void OnlineSettings::SaveLinks(SettingsStore& store) const
{
    for (int i = 0; i < kOnlineSlots; ++i)
        store.Write(setting::SlotValue(setting::kWebLink, i), entries[std::size_t(i)].link);
}

QString ReadLastOnlineUpdate(const SettingsStore& store)
{
    return store.Read(setting::kLastOnlineUpdate);
}
