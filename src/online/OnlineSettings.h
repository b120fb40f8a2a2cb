#pragma once

#include "app/SettingsStore.h"

#include <QString>
#include <array>

namespace setting {
// Slot values: the name followed by the slot digit 0..4 ("webName0").
inline const QString kWebName = QStringLiteral("webName");
inline const QString kWebLink = QStringLiteral("webLink");
inline const QString kWebPath = QStringLiteral("webPath");
inline const QString kWebFile = QStringLiteral("webFile");
inline const QString kWebWidth = QStringLiteral("webWidth");
inline const QString kWebHeight = QStringLiteral("webHeight");
inline const QString kLastOnlineUpdate = QStringLiteral("LastOnlineUpdate");
inline QString SlotValue(const QString& name, int slot)
{
    return name + QChar(u'0' + slot);
}
} // namespace setting

inline constexpr int kOnlineSlots = 5;

// The stored values of one online slot.
struct OnlineSlotSettings
{
    QString name;   // "webName"n: display text of the texture
    QString link;   // "webLink"n: picture address
    QString path;   // "webPath"n
    QString file;   // "webFile"n
    QString width;  // "webWidth"n
    QString height; // "webHeight"n
};

struct OnlineSettings
{
    std::array<OnlineSlotSettings, kOnlineSlots> entries;

    static OnlineSettings Load(const SettingsStore& store);
    // What the close check saves: the addresses, "webLink"0..4.
    void SaveLinks(SettingsStore& store) const;
};

// The five texture values of a slot picked from the catalogue, in one save:
// the display text, width and height with one leading blank (" 512"), the
// folder and the base name.
bool SaveOnlinePick(SettingsStore& store, int slot, const QString& name, qint32 width, qint32 height,
                    const QString& gamePath, const QString& fileName);
// Deletes the five texture values of a slot; its address stays.
bool ClearOnlinePick(SettingsStore& store, int slot);

// The 30 value names of the five slots in the export's order: per slot
// webName, webPath, webFile, webWidth, webHeight, webLink.
QStringList OnlineValueNames();
// The value's text in a slot's settings (name is one of the six prefixes).
QString& SlotValueText(OnlineSlotSettings& slot, const QString& prefix);
const QString& SlotValueText(const OnlineSlotSettings& slot, const QString& prefix);
// The prefixes in the export's order.
const QStringList& OnlineValuePrefixes();

// The date of the last finished daily update, as stored.
inline QString ReadLastOnlineUpdate(const SettingsStore& store)
{
    return store.Read(setting::kLastOnlineUpdate);
}
inline bool WriteLastOnlineUpdate(SettingsStore& store, const QString& date)
{
    return store.Write(setting::kLastOnlineUpdate, date);
}
