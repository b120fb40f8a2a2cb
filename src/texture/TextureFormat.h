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
