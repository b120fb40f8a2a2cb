#include "texture/TextureFormat.h"

#include <QtEndian>

namespace {

void PutU32(QByteArray& bytes, qsizetype offset, quint32 value)
{
    qToLittleEndian(value, bytes.data() + offset);
}

void PutU16(QByteArray& bytes, qsizetype offset, quint16 value)
{
    qToLittleEndian(value, bytes.data() + offset);
}

} // namespace

std::optional<QByteArray> EncodeTextureName(const QString& texPath, const QString& saveFile)
{
    const QString name = texPath + saveFile;
    QByteArray out;
    out.reserve(name.size());
    for (const QChar c : name) {
        // Latin-1 is the one single-byte code page whose bytes equal the
        // Unicode values, so a character above 0xFF has no byte to stand for it.
        if (c.unicode() == 0 || c.unicode() > 0xFF)
            return std::nullopt;
        out.append(char(c.unicode()));
    }
    return out;
}

QByteArray TextureHeader(quint32 dataSize, quint32 texWidth, quint32 texHeight, QByteArrayView name,
                         bool hasAlpha)
{
    static constexpr char kExtension[] = ".dds";
    const qsizetype nameField = name.size() + qsizetype(sizeof(kExtension)); // ".dds" and the zero byte
    QByteArray header(kTextureFixedHeaderSize, '\0');
    PutU32(header, 0, quint32(kTextureFixedHeaderSize + nameField));
    PutU32(header, 4, dataSize);
    PutU32(header, 8, texWidth);
    PutU32(header, 12, texHeight);
    if (hasAlpha)
        header[kTextureAlphaFlagOffset] = 1;
    header[29] = 'T';
    header[30] = 'X';
    header[31] = '2';
    header.append(name.data(), name.size());
    header.append(kExtension, qsizetype(sizeof(kExtension))); // includes the terminating zero
    return header;
}

QByteArray DdsHeaderUncompressed(quint32 width, quint32 height)
{
    QByteArray header(kDdsHeaderSize, '\0');
    header[0] = 'D';
    header[1] = 'D';
    header[2] = 'S';
    header[3] = ' ';
    PutU32(header, 4, 124);
    PutU32(header, 8, 0x1007); // caps, height, width and pixel format present
    PutU32(header, 12, height);
    PutU32(header, 16, width);
    PutU32(header, 76, 32);   // pixel-format size
    PutU32(header, 80, 0x41); // RGB with alpha
    PutU32(header, 88, 32);   // bits per pixel
    PutU32(header, 92, 0x00FF0000);
    PutU32(header, 96, 0x0000FF00);
    PutU32(header, 100, 0x000000FF);
    PutU32(header, 104, 0xFF000000);
    PutU32(header, 108, 0x1000); // texture
    return header;
}

QByteArray TargaHeader(quint16 width, quint16 height)
{
    QByteArray header(kTargaHeaderSize, '\0');
    header[2] = 2; // uncompressed true colour
    PutU16(header, 12, width);
    PutU16(header, 14, height);
    header[16] = 32;
    header[17] = 0x2F; // bit 5: the first stored row is the top row
    return header;
}
