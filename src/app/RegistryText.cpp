#include "app/RegistryText.h"

#include "app/HexDigit.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>
#include <QStringView>
#include <algorithm>
#include <optional>

namespace {

enum class Dialect
{
    Wine,
    Editor
};

int HexDigit(QChar c)
{
    return HexDigitValue(c.unicode());
}

QString NormalizedKeyPath(QString path)
{
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    while (path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    while (path.startsWith(QLatin1Char('\\')))
        path.remove(0, 1);
    return path.toCaseFolded();
}

// Reads the quoted text that starts at pos (just after the opening quote) up
// to the closing quote, resolving Wine's escapes: \\ \" \a \b \t \n \v \f \r \e,
// octal \NNN and \xNNNN (one UTF-16 unit). Other escaped characters stand for
// themselves. pos ends after the closing quote; nullopt when there is none.
std::optional<QString> ReadQuoted(QStringView line, qsizetype& pos)
{
    QString out;
    while (pos < line.size()) {
        const QChar c = line[pos++];
        if (c == QLatin1Char('"'))
            return out;
        if (c != QLatin1Char('\\')) {
            out.append(c);
            continue;
        }
        if (pos >= line.size())
            return std::nullopt;
        const QChar e = line[pos++];
        // Single-letter control escapes.
        static constexpr QLatin1StringView kLetters("abtnvfre");
        static constexpr char16_t kControls[] = {7, 8, 9, 10, 11, 12, 13, 27};
        if (const qsizetype k = kLetters.indexOf(e); k >= 0) {
            out.append(QChar(kControls[k]));
            continue;
        }
        switch (e.unicode()) {
        case 'x': {
            uint unit = 0;
            int digits = 0;
            while (digits < 4 && pos < line.size() && HexDigit(line[pos]) >= 0) {
                unit = unit * 16 + uint(HexDigit(line[pos++]));
                ++digits;
            }
            out.append(digits ? QChar(char16_t(unit)) : QLatin1Char('x'));
            break;
        }
        default:
            if (e.unicode() >= '0' && e.unicode() <= '7') {
                uint unit = uint(e.unicode() - '0');
                for (int digits = 1; digits < 3 && pos < line.size() && line[pos].unicode() >= '0' &&
                                     line[pos].unicode() <= '7';
                     ++digits)
                    unit = unit * 8 + uint(line[pos++].unicode() - '0');
                out.append(QChar(char16_t(unit)));
            } else {
                out.append(e);
            }
        }
    }
    return std::nullopt;
}

// An optional "(N)" type code in hex at pos, as in str(2): and hex(7):. Moves
// pos past it and sets type; false when the code is malformed.
bool ReadTypeCode(QStringView data, qsizetype& pos, quint32& type)
{
    if (pos >= data.size() || data[pos] != QLatin1Char('('))
        return true;
    const qsizetype close = data.indexOf(QLatin1Char(')'), pos);
    bool ok = false;
    type = close > pos ? data.sliced(pos + 1, close - pos - 1).toUInt(&ok, 16) : 0;
    if (!ok)
        return false;
    pos = close + 1;
    return true;
}

// Key names in Wine's files escape backslashes (and ']'); an editor export writes them plainly.
QString KeyNameText(QStringView raw, Dialect dialect)
{
    if (dialect == Dialect::Editor)
        return raw.toString();
    QString out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == QLatin1Char('\\') && i + 1 < raw.size())
            ++i;
        out.append(raw[i]);
    }
    return out;
}

std::optional<QByteArray> HexBytes(QStringView text)
{
    QByteArray bytes;
    for (QStringView part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        part = part.trimmed();
        if (part.isEmpty())
            continue;
        if (part.size() > 2)
            return std::nullopt;
        int byte = 0;
        for (QChar c : part) {
            const int digit = HexDigit(c);
            if (digit < 0)
                return std::nullopt;
            byte = byte * 16 + digit;
        }
        bytes.append(char(byte));
    }
    return bytes;
}

QString StripTrailingNulls(QString text)
{
    while (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

// Parses the data part of a value line (after '='); nullopt when it is malformed.
std::optional<RegistryValue> ParseData(QStringView data)
{
    RegistryValue value;
    if (data.startsWith(QLatin1Char('"'))) {
        qsizetype pos = 1;
        const auto text = ReadQuoted(data, pos);
        if (!text)
            return std::nullopt;
        value.type = quint32(RegistryValueType::String);
        value.text = StripTrailingNulls(*text);
        value.isText = true;
        return value;
    }
    if (data.startsWith(QLatin1String("str(")) || data.startsWith(QLatin1String("str:"))) {
        quint32 type = quint32(RegistryValueType::String);
        qsizetype pos = 3;
        if (!ReadTypeCode(data, pos, type))
            return std::nullopt;
        if (pos + 1 >= data.size() || data[pos] != QLatin1Char(':') || data[pos + 1] != QLatin1Char('"'))
            return std::nullopt;
        pos += 2;
        const auto text = ReadQuoted(data, pos);
        if (!text)
            return std::nullopt;
        value.type = type;
        value.text = StripTrailingNulls(*text);
        value.isText = true;
        return value;
    }
    if (data.startsWith(QLatin1String("dword:"))) {
        const QStringView digits = data.sliced(6).trimmed();
        bool ok = false;
        const uint number = digits.size() <= 8 ? digits.toUInt(&ok, 16) : 0;
        if (!ok)
            return std::nullopt;
        value.type = quint32(RegistryValueType::Dword);
        value.text = QString::number(number);
        value.isText = true;
        return value;
    }
    if (data.startsWith(QLatin1String("hex"))) {
        quint32 type = quint32(RegistryValueType::Binary);
        qsizetype pos = 3;
        if (!ReadTypeCode(data, pos, type))
            return std::nullopt;
        if (pos >= data.size() || data[pos] != QLatin1Char(':'))
            return std::nullopt;
        const auto bytes = HexBytes(data.sliced(pos + 1));
        if (!bytes)
            return std::nullopt;
        value.type = type;
        value.data = *bytes;
        return value;
    }
    return std::nullopt;
}

QString DecodeText(QByteArrayView bytes)
{
    if (bytes.size() >= 2 && quint8(bytes[0]) == 0xFF && quint8(bytes[1]) == 0xFE) {
        QStringDecoder decoder(QStringConverter::Utf16LE);
        return decoder.decode(bytes.sliced(2));
    }
    if (bytes.size() >= 3 && quint8(bytes[0]) == 0xEF && quint8(bytes[1]) == 0xBB && quint8(bytes[2]) == 0xBF)
        bytes = bytes.sliced(3);
    return QString::fromUtf8(bytes);
}

// A value line whose data is hex (the only kind that continues over lines).
bool IsHexValueLine(QStringView line)
{
    qsizetype pos = 1;
    if (line.startsWith(QLatin1Char('"'))) {
        if (!ReadQuoted(line, pos))
            return false;
    } else if (!line.startsWith(QLatin1Char('@'))) {
        return false;
    }
    const qsizetype equals = line.indexOf(QLatin1Char('='), pos);
    return equals >= 0 && line.sliced(pos, equals - pos).trimmed().isEmpty() &&
           line.sliced(equals + 1).trimmed().startsWith(QLatin1String("hex"));
}

// The file's text as UTF-8: a UTF-16LE or UTF-8 byte order mark says how it is
// written; without one, text that is not valid UTF-8 is taken as ANSI (Windows-1252).
QByteArray EditorFileAsUtf8(QByteArrayView bytes)
{
    if (bytes.size() >= 2 && quint8(bytes[0]) == 0xFF && quint8(bytes[1]) == 0xFE)
        return DecodeText(bytes).toUtf8();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return bytes.sliced(3).toByteArray();
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return bytes.toByteArray();
    QStringDecoder ansi("windows-1252");
    return ansi.isValid() ? QString(ansi.decode(bytes)).toUtf8() : QString::fromLatin1(bytes).toUtf8();
}

QString EscapedEditorText(const QString& value)
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

} // namespace

std::optional<RegistryText> RegistryText::ParseEditorFile(QByteArrayView bytes)
{
    QByteArray utf8 = EditorFileAsUtf8(bytes);
    for (const QByteArray& raw : QByteArray(utf8).replace('\r', '\n').split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (line != "REGEDIT4" && line != "Windows Registry Editor Version 5.00")
            break;
        return Parse(utf8);
    }
    return std::nullopt;
}

QByteArray RegistryEditorFile(const QString& keyPath, const QList<QPair<QString, QString>>& values)
{
    QString body = QLatin1Char('[') + keyPath + QStringLiteral("]\r\n");
    for (const auto& [name, value] : values)
        body += QLatin1Char('"') + name + QStringLiteral("\"=\"") + EscapedEditorText(value) +
                QStringLiteral("\"\r\n");
    // Registry editors read a REGEDIT4 file in the ANSI code page; anything
    // beyond ASCII needs the UTF-16 format, which they read exactly.
    if (std::all_of(body.cbegin(), body.cend(), [](QChar c) { return c.unicode() < 0x80; }))
        return "REGEDIT4\r\n" + body.toLatin1();
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    return utf16.encode(QStringLiteral("Windows Registry Editor Version 5.00\r\n") + body);
}

RegistryText RegistryText::Parse(QByteArrayView bytes)
{
    RegistryText result;
    QString text = DecodeText(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QList<QStringView> lines = QStringView(text).split(QLatin1Char('\n'));

    Dialect dialect = Dialect::Wine;
    // The key values go to; none before the first key line or after one that was not read.
    RegistryKey* current = nullptr;
    bool keySkipped = false;
    bool first = true;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = int(i + 1);
        QStringView line = lines[i].trimmed();
        const auto skip = [&](const QString& reason) {
            result.m_skipped.append({number, line.toString(), reason});
        };
        // Only hex data may be continued over lines that end in a backslash.
        QString joined;
        if (line.endsWith(QLatin1Char('\\')) && IsHexValueLine(line)) {
            joined = line.chopped(1).toString();
            while (i + 1 < lines.size()) {
                const QStringView next = lines[++i].trimmed();
                if (!next.endsWith(QLatin1Char('\\'))) {
                    joined += next;
                    break;
                }
                joined += next.chopped(1);
            }
            line = joined;
        }

        if (first && !line.isEmpty()) {
            first = false;
            if (line.startsWith(QLatin1String("REGEDIT4")) ||
                line.startsWith(QLatin1String("Windows Registry Editor"))) {
                dialect = Dialect::Editor;
                continue;
            }
            if (line.startsWith(QLatin1String("WINE REGISTRY")))
                continue;
        }
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;

        if (line.startsWith(QLatin1Char('['))) {
            current = nullptr;
            // The closing bracket is the last one not escaped; Wine follows it with a time stamp.
            qsizetype close = -1;
            for (qsizetype p = 1; p < line.size(); ++p) {
                if (dialect == Dialect::Wine && line[p] == QLatin1Char('\\')) {
                    ++p;
                    continue;
                }
                if (line[p] == QLatin1Char(']'))
                    close = p;
                if (dialect == Dialect::Wine && close > 0)
                    break;
            }
            const QStringView raw = close < 0 ? QStringView() : line.sliced(1, close - 1);
            if (close < 0)
                skip(QStringLiteral("a key line without its closing bracket"));
            else if (raw.startsWith(QLatin1Char('-')))
                skip(QStringLiteral("a key deletion, which is not taken"));
            else if (raw.trimmed().isEmpty())
                skip(QStringLiteral("a key without a name"));
            else
                current = &result.KeyFor(KeyNameText(raw, dialect));
            keySkipped = !current;
            continue;
        }

        std::optional<QString> name;
        qsizetype pos = 0;
        if (line.startsWith(QLatin1Char('@'))) {
            pos = 1;
            name = QString();
        } else if (line.startsWith(QLatin1Char('"'))) {
            pos = 1;
            name = ReadQuoted(line, pos);
        }
        while (name && pos < line.size() && line[pos].isSpace())
            ++pos;
        const QStringView data = name && pos < line.size() && line[pos] == QLatin1Char('=')
                                     ? line.sliced(pos + 1).trimmed()
                                     : QStringView();
        auto value = data.isNull() ? std::nullopt : ParseData(data);
        if (!value) {
            skip(data == QLatin1String("-") ? QStringLiteral("a value deletion, which is not taken")
                                            : QStringLiteral("not a line that can be read"));
            continue;
        }
        if (!current) {
            skip(keySkipped ? QStringLiteral("a value of a key that was not read")
                            : QStringLiteral("a value before any [key] line"));
            continue;
        }
        value->name = *name;
        // A later line for the same name replaces the earlier one.
        bool replaced = false;
        for (RegistryValue& existing : current->values) {
            if (existing.name.compare(*name, Qt::CaseInsensitive) == 0) {
                existing = *value;
                replaced = true;
                break;
            }
        }
        if (!replaced)
            current->values.append(*value);
    }
    return result;
}

RegistryKey& RegistryText::KeyFor(const QString& path)
{
    const QString folded = NormalizedKeyPath(path);
    const auto found = m_index.constFind(folded);
    if (found != m_index.constEnd())
        return m_keys[*found];
    m_index.insert(folded, m_keys.size());
    m_keys.append(RegistryKey{path, {}});
    return m_keys.last();
}

const RegistryKey* RegistryText::FindKey(const QString& keyPath) const
{
    const auto found = m_index.constFind(NormalizedKeyPath(keyPath));
    return found == m_index.constEnd() ? nullptr : &m_keys[*found];
}

QString RegistryText::Value(const QString& keyPath, const QString& valueName) const
{
    const RegistryKey* key = FindKey(keyPath);
    if (!key)
        return QString();
    for (const RegistryValue& value : key->values) {
        if (value.name.compare(valueName, Qt::CaseInsensitive) == 0)
            return value.isText ? value.text : QString();
    }
    return QString();
}
