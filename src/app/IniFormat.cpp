#include "app/IniFormat.h"

#include "app/HexDigit.h"

#include <QIODevice>
#include <QStringList>

namespace ini {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsLineSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// One logical line from pos: leading blanks skipped, a ';' at its start making
// it a comment, a ';' elsewhere outside quotes ending it, line breaks inside
// quotes or after a backslash belonging to it. equals is the first '='
// outside quotes (or -1).
bool ReadLine(QByteArrayView data, qsizetype& pos, qsizetype& start, qsizetype& length, qsizetype& equals)
{
    const qsizetype size = data.size();
    bool inQuotes = false;
    equals = -1;
    start = pos;
    while (start < size && IsLineSpace(data[start]))
        ++start;
    qsizetype i = start;
    while (i < size) {
        const char c = data[i++];
        if (c == '=') {
            if (!inQuotes && equals == -1)
                equals = i - 1;
        } else if (c == '\n' || c == '\r') {
            if (i == start + 1) {
                ++start;
            } else if (!inQuotes) {
                --i;
                break;
            }
        } else if (c == '\\') {
            if (i < size) {
                const char escaped = data[i++];
                if (i < size) {
                    const char next = data[i];
                    if ((escaped == '\n' && next == '\r') || (escaped == '\r' && next == '\n'))
                        ++i;
                }
            }
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ';') {
            if (i == start + 1) {
                while (i < size && data[i] != '\n' && data[i] != '\r')
                    ++i;
                while (i < size && IsLineSpace(data[i]))
                    ++i;
                start = i;
                equals = -1;
            } else if (!inQuotes) {
                --i;
                break;
            }
        }
    }
    pos = i;
    length = i - start;
    return length > 0;
}

// QSettings' key unescaping: '\' is the group separator, %XX and %UXXXX are characters.
QString UnescapedKey(QByteArrayView key)
{
    const QString decoded = QString::fromUtf8(key);
    QString result;
    result.reserve(decoded.size());
    for (qsizetype i = 0; i < decoded.size();) {
        const QChar c = decoded[i];
        if (c == QLatin1Char('\\')) {
            result += QLatin1Char('/');
            ++i;
            continue;
        }
        if (c != QLatin1Char('%') || i == decoded.size() - 1) {
            result += c;
            ++i;
            continue;
        }
        qsizetype first = i + 1;
        int digits = 2;
        if (decoded[first] == QLatin1Char('U')) {
            ++first;
            digits = 4;
        }
        bool ok = false;
        const ushort unit = first + digits <= decoded.size()
                                ? QStringView(decoded).sliced(first, digits).toUShort(&ok, 16)
                                : 0;
        if (!ok) {
            result += QLatin1Char('%');
            ++i;
            continue;
        }
        result += QChar(unit);
        i = first + digits;
    }
    return result;
}

void EscapeKey(const QString& key, QByteArray& out)
{
    for (const QChar qc : key) {
        uint c = qc.unicode();
        if (c == '/') {
            out += '\\';
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                   c == '-' || c == '.') {
            out += char(c);
        } else if (c <= 0xFF) {
            out += '%';
            out += kHexDigits[c / 16];
            out += kHexDigits[c % 16];
        } else {
            out += "%U";
            char hex[4];
            for (int k = 3; k >= 0; --k) {
                hex[k] = kHexDigits[c % 16];
                c >>= 4;
            }
            out.append(hex, 4);
        }
    }
}

void ChopTrailingSpaces(QString& text, qsizetype limit)
{
    qsizetype n = text.size();
    while (n > limit && (text[n - 1] == QLatin1Char(' ') || text[n - 1] == QLatin1Char('\t')))
        --n;
    text.truncate(n);
}

int HexValue(char c)
{
    return HexDigitValue(char16_t(static_cast<unsigned char>(c)));
}

// QSettings' value unescaping: quotes group, backslash escapes (letters,
// \xHH..., octal), a comma outside quotes separates list items. Returns the
// items; one item for a plain value.
QStringList UnescapedItems(QByteArrayView raw)
{
    QStringList items;
    QString current;
    bool inQuotes = false;
    bool quoted = false;
    qsizetype chopLimit = 0;
    qsizetype i = 0;
    const qsizetype size = raw.size();
    const auto skipSpaces = [&] {
        while (i < size && (raw[i] == ' ' || raw[i] == '\t'))
            ++i;
        chopLimit = current.size();
    };
    skipSpaces();
    while (i < size) {
        const char c = raw[i];
        if (c == '\\') {
            ++i;
            if (i >= size)
                break;
            const char e = raw[i++];
            static constexpr char kLetters[] = "abfnrtv\"?'\\";
            static constexpr char kMeanings[] = "\a\b\f\n\r\t\v\"?'\\";
            if (const char* found = std::char_traits<char>::find(kLetters, sizeof kLetters - 1, e)) {
                current += QLatin1Char(kMeanings[found - kLetters]);
                // An escaped character is never a trailing blank to chop.
                chopLimit = current.size();
                continue;
            }
            if (e == 'x') {
                if (i >= size || HexValue(raw[i]) < 0) {
                    chopLimit = current.size();
                    continue;
                }
                char16_t unit = 0;
                while (i < size && HexValue(raw[i]) >= 0)
                    unit = char16_t((unit << 4) + HexValue(raw[i++]));
                current += QChar(unit);
            } else if (e >= '0' && e <= '7') {
                char16_t unit = char16_t(e - '0');
                while (i < size && raw[i] >= '0' && raw[i] <= '7')
                    unit = char16_t((unit << 3) + (raw[i++] - '0'));
                current += QChar(unit);
            } else if (e == '\n' || e == '\r') {
                if (i < size && (raw[i] == '\n' || raw[i] == '\r') && raw[i] != e)
                    ++i;
            }
            chopLimit = current.size();
            continue;
        }
        if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes)
                skipSpaces();
            continue;
        }
        if (c == ',' && !inQuotes) {
            if (!quoted)
                ChopTrailingSpaces(current, chopLimit);
            items << current;
            current.clear();
            quoted = false;
            ++i;
            skipSpaces();
            continue;
        }
        qsizetype j = i + 1;
        while (j < size && raw[j] != '\\' && raw[j] != '"' && raw[j] != ',')
            ++j;
        current += QString::fromUtf8(raw.sliced(i, j - i));
        i = j;
    }
    if (!quoted)
        ChopTrailingSpaces(current, chopLimit);
    items << current;
    return items;
}

// The '@' forms of QSettings' variant notation, kept as text where they are text.
QString TextOfItem(const QString& item)
{
    if (!item.startsWith(QLatin1Char('@')))
        return item;
    if (item.startsWith(QLatin1String("@@")))
        return item.sliced(1);
    if (item.endsWith(QLatin1Char(')'))) {
        if (item.startsWith(QLatin1String("@String(")))
            return item.sliced(8).chopped(1);
        if (item.startsWith(QLatin1String("@ByteArray(")))
            return item.sliced(11).chopped(1);
        for (const char* serialised :
             {"@Variant(", "@DateTime(", "@Rect(", "@Size(", "@Point(", "@Invalid("}) {
            if (item.startsWith(QLatin1String(serialised)))
                return QString();
        }
    }
    return item;
}

void EscapeString(const QString& text, QByteArray& out)
{
    const qsizetype start = out.size();
    bool needsQuotes = false;
    bool escapeNextIfHex = false;
    // Plain characters are encoded a run at a time, so surrogate pairs stay whole.
    QString run;
    const auto flush = [&] {
        out += run.toUtf8();
        run.clear();
    };
    for (const QChar qc : text) {
        const uint c = qc.unicode();
        if (c == ';' || c == ',' || c == '=')
            needsQuotes = true;
        if (escapeNextIfHex && HexDigitValue(char16_t(c)) >= 0) {
            out += "\\x" + QByteArray::number(c, 16);
            continue;
        }
        escapeNextIfHex = false;
        static constexpr char kLetters[] = "abtnvfr";
        if (c == 0) {
            flush();
            out += "\\0";
            escapeNextIfHex = true;
        } else if (c >= 7 && c <= 13) {
            flush();
            out += '\\';
            out += kLetters[c - 7];
        } else if (c == '"' || c == '\\') {
            flush();
            out += '\\';
            out += char(c);
        } else if (c <= 0x1F) {
            flush();
            out += "\\x" + QByteArray::number(c, 16);
            escapeNextIfHex = true;
        } else {
            run += qc;
        }
    }
    flush();
    if (needsQuotes || (start < out.size() && (out[start] == ' ' || out.back() == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

} // namespace

QString ValueText(QByteArrayView raw)
{
    const QStringList items = UnescapedItems(raw);
    if (items.size() == 1)
        return TextOfItem(items.first());
    QStringList texts;
    for (const QString& item : items)
        texts << TextOfItem(item);
    return texts.join(QStringLiteral(", "));
}

QByteArray EscapedValue(const QString& value)
{
    QByteArray out;
    EscapeString(value.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + value : value, out);
    return out;
}

QMap<QString, QString> Parse(QByteArrayView data)
{
    QMap<QString, QString> values;
    QString section;
    qsizetype pos = 0, start = 0, length = 0, equals = -1;
    while (ReadLine(data, pos, start, length, equals)) {
        const QByteArrayView line = data.sliced(start, length);
        if (line.startsWith('[')) {
            qsizetype close = line.indexOf(']');
            QByteArray name =
                (close < 0 ? line.sliced(1) : line.sliced(1, close - 1)).toByteArray().trimmed();
            if (name.compare("general", Qt::CaseInsensitive) == 0) {
                section.clear();
            } else {
                section = name.compare("%general", Qt::CaseInsensitive) == 0
                              ? QString::fromLatin1(name.sliced(1))
                              : UnescapedKey(name);
                section += QLatin1Char('/');
            }
            continue;
        }
        if (equals < 0)
            continue;
        qsizetype keyEnd = equals;
        while (keyEnd > start && (data[keyEnd - 1] == ' ' || data[keyEnd - 1] == '\t'))
            --keyEnd;
        const QString key = section + UnescapedKey(data.sliced(start, keyEnd - start));
        values.insert(key, ValueText(data.sliced(equals + 1, start + length - equals - 1)));
    }
    return values;
}

QByteArray Serialise(const QMap<QString, QString>& values)
{
    // [General] first, then one block per section in key order.
    QMap<QString, QList<QPair<QString, QString>>> sections;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const qsizetype slash = it.key().indexOf(QLatin1Char('/'));
        if (slash < 0)
            sections[QString()].append({it.key(), it.value()});
        else
            sections[it.key().left(slash)].append({it.key().mid(slash + 1), it.value()});
    }
    QByteArray out;
    bool first = true;
    for (auto it = sections.cbegin(); it != sections.cend(); ++it) {
        if (!first)
            out += '\n';
        first = false;
        if (it.key().isEmpty()) {
            out += "[General]\n";
        } else if (it.key().compare(QLatin1String("general"), Qt::CaseInsensitive) == 0) {
            out += "[%General]\n";
        } else {
            out += '[';
            EscapeKey(it.key(), out);
            out += "]\n";
        }
        for (const auto& [key, value] : it.value()) {
            EscapeKey(key, out);
            out += '=';
            out += EscapedValue(value);
            out += '\n';
        }
    }
    return out;
}

namespace {

bool ReadSettings(QIODevice& device, QSettings::SettingsMap& map)
{
    const QMap<QString, QString> values = Parse(device.readAll());
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        map.insert(it.key(), it.value());
    return true;
}

bool WriteSettings(QIODevice& device, const QSettings::SettingsMap& map)
{
    QMap<QString, QString> values;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const QVariant& v = it.value();
        values.insert(it.key(), v.typeId() == QMetaType::QStringList
                                    ? v.toStringList().join(QStringLiteral(", "))
                                    : v.toString());
    }
    const QByteArray text = Serialise(values);
    return device.write(text) == text.size();
}

} // namespace

QSettings::Format Format()
{
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("ini"), ReadSettings, WriteSettings, Qt::CaseSensitive);
    return format;
}

} // namespace ini
