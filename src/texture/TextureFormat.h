#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>
#include <optional>

// Byte builders for the files the texture writer produces. Pure functions:
// every multi-byte number is little-endian.

inline constexpr qsizetype kTextureFixedHeaderSize = 32;
inline constexpr qsizetype kDdsHeaderSize = 128;
inline constexpr qsizetype kTargaHeaderSize = 18;
// Offset of the reserved byte the game client reads as its has-alpha flag.
inline constexpr qsizetype kTextureAlphaFlagOffset = 28;

// The recorded name of a texture without its ".dds" ending (texPath + SaveFile)
// in the single-byte form the game reads. Empty optional when a character
// cannot be stored in one byte or is a zero byte (it would end the name early).
std::optional<QByteArray> EncodeTextureName(const QString& texPath, const QString& saveFile);

// The .texture header: header size (32 + name + ".dds" + zero byte), image data
// size, declared width and height, 13 reserved bytes (byte 28 = 1 when the
// texture has alpha), "TX2", then name + ".dds" + a zero byte. The image data
// starts right after it.
QByteArray TextureHeader(quint32 dataSize, quint32 texWidth, quint32 texHeight, QByteArrayView name,
                         bool hasAlpha);

// 128-byte header of an uncompressed 32-bit BGRA DirectDraw Surface without
// mip-maps.
QByteArray DdsHeaderUncompressed(quint32 width, quint32 height);

// 18-byte header of an uncompressed 32-bit true-colour Targa file whose first
// stored row is the top row. Width and height must fit in 16 bits.
QByteArray TargaHeader(quint16 width, quint16 height);

// The block compressions the compressor is asked for.
enum class BlockFormat
{
    Bc1, // "DXT1"
    Bc3, // "DXT5"
};

// What a compressed surface of width x height must be: the format, and either
// one level or the whole chain of mip-maps down to 1 x 1.
struct CompressedSurface
{
    quint32 width = 0;
    quint32 height = 0;
    BlockFormat format = BlockFormat::Bc1;
    bool mips = false;

    // Bytes of block data of all levels together.
    qint64 DataSize() const;
    qint64 FileSize() const { return kDdsHeaderSize + DataSize(); }
};

// Why a DirectDraw Surface file (its first 128 bytes and its whole length) is
// not the expected surface ("" when it is): the magic and header size, the
// width and height, the four-character code, the mip-map count, and a length
// that is exactly the header plus the data those declare.
QString CheckCompressedSurface(QByteArrayView header, qint64 fileSize, const CompressedSurface& expected);
