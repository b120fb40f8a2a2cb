#include "image/PictureDecoder.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <cstring>
#include <limits>
#include <memory>
#include <stb_image.h>

namespace {

// Pictures larger than this many bytes of 32-bit pixels are refused, for
// Targa files as for every format Qt reads.
qint64 AllocationLimitBytes()
{
    const int mb = QImageReader::allocationLimit();
    return mb > 0 ? qint64(mb) * 1024 * 1024 : std::numeric_limits<qint64>::max();
}

// The fixed 18-byte Targa header is plausible: known image type, colour map
// type 0/1, non-zero size and a pixel depth the type allows. A Targa file has
// no signature, so this keeps text and other data from being taken for one.
bool LooksLikeTarga(const QByteArray& data)
{
    if (data.size() < 18)
        return false;
    const auto* h = reinterpret_cast<const uchar*>(data.constData());
    const int colorMapType = h[1], imageType = h[2];
    if (colorMapType > 1)
        return false;
    const int baseType = imageType & ~8;
    if (imageType > 11 || baseType < 1 || baseType > 3)
        return false;
    if ((baseType == 1) != (colorMapType == 1))
        return false;
    const int width = h[12] | (h[13] << 8), height = h[14] | (h[15] << 8);
    const int depth = h[16];
    if (width == 0 || height == 0)
        return false;
    if (baseType == 1)
        return depth == 8 || depth == 16;
    if (baseType == 3)
        return depth == 8 || depth == 16;
    return depth == 15 || depth == 16 || depth == 24 || depth == 32;
}

QImage DecodeTarga(const QByteArray& data)
{
    const auto* bytes = reinterpret_cast<const stbi_uc*>(data.constData());
    int w = 0, h = 0, comp = 0;
    if (!stbi_info_from_memory(bytes, int(data.size()), &w, &h, &comp) || w < 1 || h < 1)
        return {};
    if (qint64(w) * qint64(h) * 4 > AllocationLimitBytes())
        return {};
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
        stbi_load_from_memory(bytes, int(data.size()), &w, &h, &comp, 4), stbi_image_free);
    if (!pixels)
        return {};
    QImage img(w, h, QImage::Format_RGBA8888);
    if (img.isNull())
        return {};
    for (int y = 0; y < h; ++y)
        std::memcpy(img.scanLine(y), pixels.get() + std::size_t(y) * std::size_t(w) * 4, std::size_t(w) * 4);
    return img;
}

// Reads a Targa file when its header is plausible. The whole file is read
// only then, and only up to a size that a picture within the allocation
// limit can have (run-length data is at most about twice the pixel data).
QImage ReadTarga(QFile& file)
{
    if (!file.seek(0) || !LooksLikeTarga(file.peek(18)))
        return {};
    const qint64 limit = AllocationLimitBytes();
    if (limit < std::numeric_limits<qint64>::max() / 4 && file.size() > 2 * limit + (1 << 20))
        return {};
    const QByteArray data = file.readAll();
    if (data.size() > std::numeric_limits<int>::max() / 2)
        return {};
    return DecodeTarga(data);
}

// The reader for the common formats, told by their first bytes. Naming the
// format spares Qt loading every image plug-in (and their libraries) to probe
// the file, which costs more than decoding a photo.
QByteArray FormatFromSignature(QIODevice* device)
{
    const QByteArray head = device->peek(8);
    if (head.startsWith("\xFF\xD8\xFF"))
        return QByteArrayLiteral("jpeg");
    if (head.startsWith("\x89PNG\r\n\x1A\n"))
        return QByteArrayLiteral("png");
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return QByteArrayLiteral("gif");
    if (head.startsWith("BM"))
        return QByteArrayLiteral("bmp");
    return {};
}

QImage DecodeWithQt(QIODevice* device)
{
    const QByteArray format = FormatFromSignature(device);
    QImageReader reader(device, format);
    // Anything else is recognised by content, whatever its name says.
    reader.setDecideFormatFromContent(format.isEmpty());
    // Photos carry their orientation in EXIF; show them upright.
    reader.setAutoTransform(true);
    // A truncated file that still gives a picture is kept: the decoded part is
    // shown and the rest is what the decoder filled in.
    return reader.read();
}

// Transparent pixels are composited over black: the premultiplied colour is
// exactly that. Opaque 32-bit and 24-bit pictures are returned as they are
// (the pixel buffer reads both), which spares a full conversion pass.
QImage ToOpaqueRgb888(const QImage& img)
{
    if (img.format() == QImage::Format_RGB32 || img.format() == QImage::Format_RGB888)
        return img;
    if (!img.hasAlphaChannel())
        return img.convertToFormat(QImage::Format_RGB888);
    const QImage pm = img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (pm.isNull())
        return {};
    QImage out(pm.width(), pm.height(), QImage::Format_RGB888);
    if (out.isNull())
        return {};
    for (int y = 0; y < pm.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(pm.constScanLine(y));
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < pm.width(); ++x) {
            dst[3 * x] = uchar(qRed(src[x]));
            dst[3 * x + 1] = uchar(qGreen(src[x]));
            dst[3 * x + 2] = uchar(qBlue(src[x]));
        }
    }
    return out;
}

} // namespace

QImage DecodePicture(const QString& path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() == 0)
        return {};

    QImage img;
    const bool targaName = QFileInfo(path).suffix().compare(QLatin1String("tga"), Qt::CaseInsensitive) == 0;
    if (targaName) {
        // Qt's own Targa reader refuses footer-less and run-length encoded files.
        img = ReadTarga(file);
        if (img.isNull() && file.seek(0))
            img = DecodeWithQt(&file);
    } else {
        img = DecodeWithQt(&file);
        if (img.isNull())
            img = ReadTarga(file);
    }
    if (img.isNull())
        return {};
    return ToOpaqueRgb888(img);
}
