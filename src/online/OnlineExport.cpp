#include "online/OnlineExport.h"

#include "app/FileAccess.h"
#include "app/RegistryText.h"
#include "online/OnlineSlot.h"

#include <algorithm>

constexpr qint64 kLargestImport = 1024 * 1024;
constexpr qsizetype kLongestValue = 4096;

QByteArray OnlineExportText(const OnlineSettings& stored, const std::array<QString, kOnlineSlots>& links)
{
    QList<QPair<QString, QString>> values;
    for (int i = 0; i < kOnlineSlots; ++i) {
        for (const QString& prefix : OnlineValuePrefixes())
            values.append(
                {setting::SlotValue(prefix, i), prefix == setting::kWebLink
                                                    ? links[std::size_t(i)]
                                                    : SlotValueText(stored.entries[std::size_t(i)], prefix)});
    }
    return RegistryEditorFile(kExportKey, values);
}

Result<OnlineImport> ReadOnlineImport(QByteArrayView bytes, const OnlineSettings& current)
{
    const std::optional<RegistryText> registry = RegistryText::ParseEditorFile(bytes);
    if (!registry)
        return Fail(Failure::Because(QStringLiteral("The file is no registry file: it must begin with "
                                                    "REGEDIT4 or Windows Registry Editor Version 5.00.")));
    // The file's values by their proper name.
    const QStringList names = OnlineValueNames();
    QList<QPair<QString, QString>> found;
    OnlineImport result;
    for (const RegistrySkippedLine& line : registry->Skipped())
        result.refused << QStringLiteral("Line %1 was ignored (%2): %3")
                              .arg(QString::number(line.number), line.reason, ShownInMessage(line.text, 120));
    const RegistryKey* own = registry->FindKey(kExportKey);
    for (const RegistryKey& key : registry->Keys()) {
        if (&key != own) {
            if (!key.values.isEmpty())
                result.refused << QStringLiteral("[%1] is not the program's key; its %2 values were ignored.")
                                      .arg(ShownInMessage(key.path, 120))
                                      .arg(key.values.size());
            continue;
        }
        for (const RegistryValue& value : key.values) {
            const auto name = std::find_if(names.cbegin(), names.cend(), [&](const QString& n) {
                return n.compare(value.name, Qt::CaseInsensitive) == 0;
            });
            const QString shown =
                value.name.isEmpty() ? QStringLiteral("(default)") : ShownInMessage(value.name, 80);
            if (name == names.cend())
                result.refused
                    << QStringLiteral("%1 is not an online texture value; it was ignored.").arg(shown);
            else if (value.type != quint32(RegistryValueType::String) || !value.isText)
                result.refused << QStringLiteral("%1 is not a text value; it was ignored.").arg(shown);
            else if (value.text.size() > kLongestValue)
                result.refused << QStringLiteral("%1 is too long; it was ignored.").arg(shown);
            else
                found.append({*name, value.text});
        }
    }

    // What the slots would hold afterwards.
    OnlineSettings after = current;
    for (const auto& [name, text] : std::as_const(found)) {
        const int slot = name.back().digitValue();
        SlotValueText(after.entries[std::size_t(slot)], name.chopped(1)) = text;
    }
    for (int i = 0; i < kOnlineSlots; ++i) {
        const OnlineSlotSettings& slot = after.entries[std::size_t(i)];
        const bool noTexture = slot.path.trimmed().isEmpty() && slot.file.trimmed().isEmpty() &&
                               slot.width.trimmed().isEmpty() && slot.height.trimmed().isEmpty();
        QString textureProblem;
        if (HasControlCharacters(slot.name))
            textureProblem =
                QStringLiteral("%1 holds control characters.").arg(setting::SlotValue(setting::kWebName, i));
        else if (const Result<TextureTarget> target = OnlineSlotTarget(slot, i); !noTexture && !target)
            textureProblem = target.error().Reason();
        const bool textureTaken = textureProblem.isEmpty();
        if (!textureTaken)
            result.refused
                << QStringLiteral("The texture of slot %1 was refused: %2").arg(i).arg(textureProblem);
        const Result<QUrl> address = ParsePictureAddress(slot.link);
        const bool linkTaken = address || slot.link.trimmed().isEmpty();
        if (!linkTaken)
            result.refused << QStringLiteral("%1 (\"%2\") was refused: %3")
                                  .arg(setting::SlotValue(setting::kWebLink, i),
                                       ShownInMessage(slot.link, 120), address.error().Reason());
        for (const auto& [name, text] : std::as_const(found)) {
            if (name.back().digitValue() == i &&
                (name.startsWith(setting::kWebLink) ? linkTaken : textureTaken))
                result.values.append({name, text});
        }
    }
    // A NUL from the file (or a reason quoting it) would end the message where it stands.
    for (QString& refused : result.refused)
        refused.replace(QChar(0), QStringLiteral("\\0"));
    return result;
}

Result<OnlineImport> ImportOnlineFile(const QString& file, SettingsStore& store)
{
    const Result<QByteArray> bytes = ReadRegularFile(file, kLargestImport);
    if (!bytes)
        return Fail(bytes.error());
    Result<OnlineImport> import = ReadOnlineImport(*bytes, OnlineSettings::Load(store));
    if (!import)
        return import;
    if (!store.WriteValues(import->values))
        return Fail(Failure::Because(
            QStringLiteral("The settings file %1 cannot be written.").arg(store.FilePath())));
    return import;
}
