#include "online/OnlineSettings.h"

#include <QStringList>

const QStringList& OnlineValuePrefixes()
{
    static const QStringList prefixes = {setting::kWebName,  setting::kWebPath,   setting::kWebFile,
                                         setting::kWebWidth, setting::kWebHeight, setting::kWebLink};
    return prefixes;
}

const QString& SlotValueText(const OnlineSlotSettings& slot, const QString& prefix)
{
    // In the order of OnlineValuePrefixes().
    static constexpr QString OnlineSlotSettings::*kFields[] = {
        &OnlineSlotSettings::name,  &OnlineSlotSettings::path,   &OnlineSlotSettings::file,
        &OnlineSlotSettings::width, &OnlineSlotSettings::height, &OnlineSlotSettings::link};
    const qsizetype at = OnlineValuePrefixes().indexOf(prefix);
    return slot.*kFields[at < 0 ? 5 : at];
}

QString& SlotValueText(OnlineSlotSettings& slot, const QString& prefix)
{
    return const_cast<QString&>(SlotValueText(std::as_const(slot), prefix));
}

QStringList OnlineValueNames()
{
    QStringList names;
    for (int i = 0; i < kOnlineSlots; ++i) {
        for (const QString& prefix : OnlineValuePrefixes())
            names << setting::SlotValue(prefix, i);
    }
    return names;
}

OnlineSettings OnlineSettings::Load(const SettingsStore& store)
{
    OnlineSettings s;
    for (int i = 0; i < kOnlineSlots; ++i) {
        for (const QString& prefix : OnlineValuePrefixes())
            SlotValueText(s.entries[std::size_t(i)], prefix) = store.Read(setting::SlotValue(prefix, i));
    }
    return s;
}

void OnlineSettings::SaveLinks(SettingsStore& store) const
{
    QList<QPair<QString, QString>> values;
    for (int i = 0; i < kOnlineSlots; ++i)
        values.append({setting::SlotValue(setting::kWebLink, i), entries[std::size_t(i)].link});
    store.WriteValues(values);
}

bool SaveOnlinePick(SettingsStore& store, int slot, const QString& name, qint32 width, qint32 height,
                    const QString& gamePath, const QString& fileName)
{
    return store.WriteValues({{setting::SlotValue(setting::kWebName, slot), name},
                              {setting::SlotValue(setting::kWebWidth, slot), CheckValueToText(width)},
                              {setting::SlotValue(setting::kWebHeight, slot), CheckValueToText(height)},
                              {setting::SlotValue(setting::kWebPath, slot), gamePath},
                              {setting::SlotValue(setting::kWebFile, slot), fileName}});
}

bool ClearOnlinePick(SettingsStore& store, int slot)
{
    QList<QPair<QString, QString>> values;
    for (const QString& prefix : OnlineValuePrefixes()) {
        if (prefix != setting::kWebLink)
            values.append({setting::SlotValue(prefix, slot), QString()});
    }
    return store.WriteValues(values);
}
