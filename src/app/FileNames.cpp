#include "app/FileNames.h"

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // + the byte (0x80..0xFF)

bool IsEscape(char16_t unit)
{
    return unit >= 0xDC80 && unit <= 0xDCFF;
}

bool IsContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence at data[at], or 0 when the byte there
// starts none (overlong forms, surrogates and code points past U+10FFFF are not valid).
int ValidSequenceAt(const unsigned char* data, qsizetype size, qsizetype at, char32_t& codePoint)
{
    const unsigned char lead = data[at];
    int length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > size)
        return 0;
    for (int i = 1; i < length; ++i) {
        if (!IsContinuation(data[at + i]))
            return 0;
        codePoint = (codePoint << 6) | (data[at + i] & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

QString FileNameFromBytes(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    QString name;
    name.reserve(size);
    for (qsizetype at = 0; at < size;) {
        char32_t codePoint = 0;
        const int length = ValidSequenceAt(data, size, at, codePoint);
        if (length == 0) {
            name.append(QChar(char16_t(kEscapeBase + data[at])));
            ++at;
            continue;
        }
        if (codePoint >= 0x10000) {
            const char32_t pair[] = {codePoint};
            name.append(QString::fromUcs4(pair, 1));
        } else {
            name.append(QChar(char16_t(codePoint)));
        }
        at += length;
    }
    return name;
}

QByteArray FileNameToBytes(const QString& name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype plainFrom = 0;
    const auto flushPlain = [&](qsizetype upTo) {
        if (upTo > plainFrom)
            bytes.append(QStringView(name).sliced(plainFrom, upTo - plainFrom).toUtf8());
    };
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        // An escape is a lone low surrogate: one that follows a high surrogate is half of a pair.
        if (IsEscape(unit) && !(i > 0 && name[i - 1].isHighSurrogate())) {
            flushPlain(i);
            bytes.append(char(unit - kEscapeBase));
            plainFrom = i + 1;
        }
    }
    flushPlain(name.size());
    return bytes;
}

QString DisplayFileName(const QString& name)
{
    QString shown = name;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (IsEscape(shown[i].unicode()) && !(i > 0 && shown[i - 1].isHighSurrogate()))
            shown[i] = QChar::ReplacementCharacter;
    }
    return shown;
}
