#include "online/OnlineExport.h"

#include "app/FileAccess.h"
#include "app/RegistryText.h"
#include "app/UserFile.h"
#include "online/OnlineApply.h"
#include "online/OnlineSlot.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

namespace {

constexpr qint64 kLargestImport = 1024 * 1024;
constexpr qsizetype kLongestValue = 4096;

QString Escaped(const QString& value)
{
    QString text;
    text.reserve(value.size());
    for (QChar c : value) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            text += QLatin1Char('\\');
        text += c.unicode() < 0x20 || c.unicode() == 0x7F ? QLatin1Char(' ') : c;
    }
    return text;
}

// The file's text as UTF-8: a UTF-16LE or UTF-8 byte order mark says how it is
// written; without one, text that is not valid UTF-8 is taken as ANSI (Windows-1252).
QByteArray AsUtf8(QByteArrayView bytes)
{
    if (bytes.size() >= 2 && quint8(bytes[0]) == 0xFF && quint8(bytes[1]) == 0xFE) {
        QStringDecoder decoder(QStringConverter::Utf16LE);
        return QString(decoder.decode(bytes.sliced(2))).toUtf8();
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return bytes.sliced(3).toByteArray();
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return bytes.toByteArray();
    QStringDecoder ansi("windows-1252");
    return ansi.isValid() ? QString(ansi.decode(bytes)).toUtf8() : QString::fromLatin1(bytes).toUtf8();
}

bool IsEditorFile(QByteArray utf8)
{
    utf8.replace('\r', '\n');
    for (const QByteArray& raw : utf8.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty())
            continue;
        return line == "REGEDIT4" || line == "Windows Registry Editor Version 5.00";
    }
    return false;
}

bool SameKey(const QString& a, const QString& b)
{
    auto normal = [](QString path) {
        path.replace(QLatin1Char('/'), QLatin1Char('\\'));
        while (path.endsWith(QLatin1Char('\\')))
            path.chop(1);
        return path;
    };
    return normal(a).compare(normal(b), Qt::CaseInsensitive) == 0;
}

// Text from the file as a message shows it: at most max characters, a NUL as
// \0 and other control characters as \xNN, so nothing cuts the message short.
QString Shown(const QString& text, qsizetype max)
{
    QString out;
    for (QChar c : text.left(max)) {
        if (c.unicode() == 0)
            out += QStringLiteral("\\0");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return text.size() > max ? out + QStringLiteral("...") : out;
}

bool HasControlCharacters(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
    }
    return false;
}

} // namespace

QByteArray OnlineExportText(const OnlineSettings& stored, const std::array<QString, kOnlineSlots>& links)
{
    QString body = QLatin1Char('[') + kExportKey + QStringLiteral("]\r\n");
    for (int i = 0; i < kOnlineSlots; ++i) {
        for (const QString& prefix : OnlineValuePrefixes()) {
            const QString& value = prefix == setting::kWebLink
                                       ? links[std::size_t(i)]
                                       : SlotValueText(stored.entries[std::size_t(i)], prefix);
            body += QLatin1Char('"') + setting::SlotValue(prefix, i) + QStringLiteral("\"=\"") +
                    Escaped(value) + QStringLiteral("\"\r\n");
        }
    }
    // Registry editors read a REGEDIT4 file in the ANSI code page; anything
    // beyond ASCII needs the UTF-16 format, which they read exactly.
    const bool ascii = std::all_of(body.cbegin(), body.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii)
        return "REGEDIT4\r\n" + body.toLatin1();
    const QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n") + body;
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    return utf16.encode(text);
}

Result<> WriteOnlineExport(const QString& file, const QByteArray& text)
{
    return WriteUserFile(file, text);
}

Result<OnlineImport> ReadOnlineImport(QByteArrayView bytes, const OnlineSettings& current)
{
    const QByteArray utf8 = AsUtf8(bytes);
    if (!IsEditorFile(utf8))
        return Fail(Failure::Because(QStringLiteral("The file is no registry file: it must begin with "
                                                    "REGEDIT4 or Windows Registry Editor Version 5.00.")));
    const RegistryText registry = RegistryText::Parse(utf8);

    // The file's values by their proper name.
    const QStringList names = OnlineValueNames();
    QList<QPair<QString, QString>> found;
    OnlineImport result;
    for (const RegistrySkippedLine& line : registry.Skipped())
        result.refused << QStringLiteral("Line %1 was ignored (%2): %3")
                              .arg(QString::number(line.number), line.reason, Shown(line.text, 120));
    for (const RegistryKey& key : registry.Keys()) {
        if (!SameKey(key.path, kExportKey)) {
            if (!key.values.isEmpty())
                result.refused << QStringLiteral("[%1] is not the program's key; its %2 values were ignored.")
                                      .arg(Shown(key.path, 120))
                                      .arg(key.values.size());
            continue;
        }
        for (const RegistryValue& value : key.values) {
            qsizetype index = -1;
            for (qsizetype i = 0; index < 0 && i < names.size(); ++i) {
                if (names[i].compare(value.name, Qt::CaseInsensitive) == 0)
                    index = i;
            }
            const QString shown = value.name.isEmpty() ? QStringLiteral("(default)") : Shown(value.name, 80);
            if (index < 0)
                result.refused
                    << QStringLiteral("%1 is not an online texture value; it was ignored.").arg(shown);
            else if (value.type != quint32(RegistryValueType::String) || !value.isText)
                result.refused << QStringLiteral("%1 is not a text value; it was ignored.").arg(shown);
            else if (value.text.size() > kLongestValue)
                result.refused << QStringLiteral("%1 is too long; it was ignored.").arg(shown);
            else
                found.append({names[index], value.text});
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
        bool textureTaken = true;
        const bool noTexture = slot.path.trimmed().isEmpty() && slot.file.trimmed().isEmpty() &&
                               slot.width.trimmed().isEmpty() && slot.height.trimmed().isEmpty();
        if (HasControlCharacters(slot.name)) {
            textureTaken = false;
            result.refused << QStringLiteral(
                                  "The texture of slot %1 was refused: %2 holds control characters.")
                                  .arg(i)
                                  .arg(setting::SlotValue(setting::kWebName, i));
        } else if (!noTexture) {
            if (const Result<TextureTarget> target = OnlineSlotTarget(slot, i); !target) {
                textureTaken = false;
                result.refused << QStringLiteral("The texture of slot %1 was refused: %2")
                                      .arg(i)
                                      .arg(target.error().Reason());
            }
        }
        bool linkTaken = true;
        if (!slot.link.trimmed().isEmpty()) {
            if (const Result<QUrl> address = ParsePictureAddress(slot.link); !address) {
                linkTaken = false;
                result.refused << QStringLiteral("%1 (\"%2\") was refused: %3")
                                      .arg(setting::SlotValue(setting::kWebLink, i), Shown(slot.link, 120),
                                           address.error().Reason());
            }
        }
        for (const auto& [name, text] : std::as_const(found)) {
            if (name.back().digitValue() != i)
                continue;
            const bool isLink = name.startsWith(setting::kWebLink);
            if (isLink ? linkTaken : textureTaken)
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
