#include "texture/TextureFormat.h"

#include <QtEndian>
#include <algorithm>

namespace {

void PutU32(QByteArray& bytes, qsizetype offset, quint32 value)
{
    qToLittleEndian(value, bytes.data() + offset);
}

void PutU16(QByteArray& bytes, qsizetype offset, quint16 value)
{
    qToLittleEndian(value, bytes.data() + offset);
}

quint32 GetU32(QByteArrayView bytes, qsizetype offset)
{
    return qFromLittleEndian<quint32>(bytes.data() + offset);
}

int MipLevels(quint32 width, quint32 height)
{
    int levels = 1;
    for (quint32 size = std::max(width, height); size > 1; size >>= 1)
        ++levels;
    return levels;
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

qint64 CompressedSurface::DataSize() const
{
    const qint64 blockBytes = format == BlockFormat::Bc1 ? 8 : 16;
    const int levels = mips ? MipLevels(width, height) : 1;
    qint64 total = 0;
    for (int level = 0; level < levels; ++level) {
        const qint64 w = std::max<qint64>(1, qint64(width) >> level);
        const qint64 h = std::max<qint64>(1, qint64(height) >> level);
        total += ((w + 3) / 4) * ((h + 3) / 4) * blockBytes;
    }
    return total;
}

QString CheckCompressedSurface(QByteArrayView header, qint64 fileSize, const CompressedSurface& expected)
{
    if (header.size() < kDdsHeaderSize || fileSize < kDdsHeaderSize)
        return QStringLiteral("it is shorter than a DirectDraw Surface header");
    if (!header.startsWith("DDS ") || GetU32(header, 4) != 124)
        return QStringLiteral("it is not a DirectDraw Surface");
    const quint32 height = GetU32(header, 12), width = GetU32(header, 16);
    if (width != expected.width || height != expected.height)
        return QStringLiteral("it is %1 x %2 pixels instead of %3 x %4")
            .arg(width)
            .arg(height)
            .arg(expected.width)
            .arg(expected.height);
    const QByteArrayView fourCc = header.sliced(84, 4);
    const QByteArrayView wanted = expected.format == BlockFormat::Bc1 ? "DXT1" : "DXT5";
    if ((GetU32(header, 80) & 0x4) == 0 || fourCc != wanted)
        return QStringLiteral("its format is not %1").arg(QLatin1String(wanted.data(), wanted.size()));
    const quint32 mipCount = GetU32(header, 28);
    const quint32 levels = expected.mips ? quint32(MipLevels(expected.width, expected.height)) : 1;
    if (mipCount != levels && !(levels == 1 && mipCount == 0))
        return QStringLiteral("it holds %1 mip-map levels instead of %2").arg(mipCount).arg(levels);
    if (fileSize != expected.FileSize())
        return QStringLiteral("it is %1 bytes long instead of %2").arg(fileSize).arg(expected.FileSize());
    return QString();
}
