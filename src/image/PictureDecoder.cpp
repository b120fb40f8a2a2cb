#include "image/PictureDecoder.h"

#include "app/FileAccess.h"
#include "image/JpegDecoder.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStringList>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <stb_image.h>

namespace {

Failure LoadFailure(const QString& reason)
{
    return Failure(kImageLoadError, MessageIcon::Exclamation, reason);
}

// The bytes of the largest picture at 64 bits a pixel (Qt reads 16-bit PNGs so).
constexpr qint64 kMaxPictureBytes = kMaxPicturePixels * 8;

// Qt's own limit (a process-wide setting) raised once so that every picture
// within kMaxPicturePixels can be allocated; the header check refuses larger ones.
void RaiseQtAllocationLimit()
{
    static const bool raised = [] {
        QImageReader::setAllocationLimit(int(kMaxPictureBytes / (1024 * 1024)) + 1);
        return true;
    }();
    (void)raised;
}

std::optional<Failure> TooLarge(QSize size)
{
    if (qint64(size.width()) * qint64(size.height()) <= kMaxPicturePixels)
        return std::nullopt;
    return LoadFailure(PictureTooLargeReason(size));
}

quint32 U16(const uchar* p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8);
}

quint32 U32(const uchar* p)
{
    return U16(p) | (U16(p + 2) << 16);
}

// --- Completeness of formats whose readers keep a cut picture --------------

// The size a BMP header declares (rows may be stored top-down: a negative height).
QSize BmpSize(const QByteArray& head)
{
    if (head.size() < 26)
        return {};
    const auto* h = reinterpret_cast<const uchar*>(head.constData());
    if (U32(h + 14) == 12)
        return QSize(int(U16(h + 18)), int(U16(h + 20)));
    const auto side = [](quint32 v) { return int(std::min<qint64>(std::abs(qint64(qint32(v))), INT_MAX)); };
    return QSize(side(U32(h + 18)), side(U32(h + 22)));
}

// A BMP file holds at least the pixel rows its header declares.
QString BmpShortfall(const QByteArray& head, qint64 fileSize)
{
    if (head.size() < 26)
        return QStringLiteral("The file ends inside its header.");
    const auto* h = reinterpret_cast<const uchar*>(head.constData());
    const qint64 offset = U32(h + 10);
    const quint32 infoSize = U32(h + 14);
    qint64 width = 0, height = 0, bits = 0, compression = 0, imageSize = 0;
    if (infoSize == 12) {
        width = U16(h + 18);
        height = U16(h + 20);
        bits = U16(h + 24);
    } else if (infoSize >= 40 && head.size() >= 38) {
        width = qint32(U32(h + 18));
        height = qint32(U32(h + 22));
        bits = U16(h + 28);
        compression = U32(h + 30);
        imageSize = U32(h + 34);
    } else {
        return QString(); // the reader judges headers it knows
    }
    if (height < 0)
        height = -height;
    qint64 needed = 0;
    if (compression == 0 || compression == 3 || compression == 6) {
        if (width <= 0 || bits <= 0 || width > (1 << 20))
            return QString();
        needed = offset + (width * bits + 31) / 32 * 4 * height;
    } else if (compression == 1 || compression == 2) {
        needed = offset + imageSize; // run-length data: the declared length
    } else {
        return QString();
    }
    return fileSize < needed ? QStringLiteral("The file ends before its pixel data.") : QString();
}

// A GIF file holds its first picture whole: every data block up to the end
// marker of the first image's data.
QString GifShortfall(QFile& file)
{
    if (file.size() > kMaxPictureBytes)
        return QString(); // the reader refuses it
    const QByteArray data = file.peek(file.size());
    const auto* p = reinterpret_cast<const uchar*>(data.constData());
    const qsizetype size = data.size();
    const QString cut = QStringLiteral("The file ends before its first picture is complete.");
    qsizetype pos = 13;
    if (size < pos)
        return cut;
    if (p[10] & 0x80)
        pos += 3 * (qsizetype(1) << ((p[10] & 7) + 1));
    const auto skipBlocks = [&]() {
        while (pos < size) {
            const qsizetype length = p[pos++];
            if (length == 0)
                return true;
            pos += length;
        }
        return false;
    };
    while (pos < size) {
        const uchar kind = p[pos++];
        if (kind == 0x21) { // extension: a label, then data blocks
            if (++pos > size || !skipBlocks())
                return cut;
        } else if (kind == 0x2C) { // image: descriptor, colour table, code size, data blocks
            if (pos + 9 > size)
                return cut;
            const uchar packed = p[pos + 8];
            pos += 9;
            if (packed & 0x80)
                pos += 3 * (qsizetype(1) << ((packed & 7) + 1));
            if (++pos > size || !skipBlocks())
                return cut;
            return QString();
        } else {
            return QString(); // the trailer or something the reader judges
        }
    }
    return cut;
}

// --- Targa, through stb_image ------------------------------------------------

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

// The bytes an uncompressed Targa file needs for what its header declares.
qint64 TargaUncompressedSize(const uchar* h)
{
    const qint64 idLength = h[0];
    const qint64 mapLength = h[1] == 1 ? qint64(U16(h + 5)) * ((h[7] + 7) / 8) : 0;
    const qint64 pixels = qint64(U16(h + 12)) * U16(h + 14) * ((h[16] + 7) / 8);
    return 18 + idLength + mapLength + pixels;
}

// Memory read by stb_image through callbacks, noting whether it ever asked
// for bytes past the end (stb then carries on with zeros).
struct TargaSource
{
    const QByteArray& data;
    qsizetype pos = 0;
    bool pastEnd = false;

    static int Read(void* user, char* out, int size)
    {
        auto* s = static_cast<TargaSource*>(user);
        const qsizetype n = std::min<qsizetype>(size, s->data.size() - s->pos);
        if (n <= 0) {
            s->pastEnd = true;
            return 0;
        }
        std::memcpy(out, s->data.constData() + s->pos, std::size_t(n));
        s->pos += n;
        return int(n);
    }
    static void Skip(void* user, int n)
    {
        auto* s = static_cast<TargaSource*>(user);
        s->pos = std::clamp<qsizetype>(s->pos + n, 0, s->data.size());
    }
    static int Eof(void* user)
    {
        auto* s = static_cast<TargaSource*>(user);
        return s->pos >= s->data.size();
    }
};

Result<QImage> DecodeTarga(const QByteArray& data)
{
    const auto* bytes = reinterpret_cast<const stbi_uc*>(data.constData());
    int w = 0, h = 0, comp = 0;
    if (!stbi_info_from_memory(bytes, int(data.size()), &w, &h, &comp) || w < 1 || h < 1)
        return Fail(LoadFailure(QStringLiteral("The file is not a picture.")));

    TargaSource source{data};
    const stbi_io_callbacks callbacks{&TargaSource::Read, &TargaSource::Skip, &TargaSource::Eof};
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
        stbi_load_from_callbacks(&callbacks, &source, &w, &h, &comp, 4), stbi_image_free);
    if (!pixels)
        return Fail(LoadFailure(QStringLiteral("The picture data cannot be decoded.")));
    if (source.pastEnd)
        return Fail(LoadFailure(QStringLiteral("The file ends before its pixel data.")));
    QImage img(w, h, QImage::Format_RGBA8888);
    if (img.isNull())
        return Fail(LoadFailure(QStringLiteral("There is not enough memory for the picture.")));
    for (int y = 0; y < h; ++y)
        std::memcpy(img.scanLine(y), pixels.get() + std::size_t(y) * std::size_t(w) * 4, std::size_t(w) * 4);
    return img;
}

// Reads a Targa file when its header is plausible and its size within
// kMaxPicturePixels; the whole file is read only then.
Result<QImage> ReadTarga(QFile& file)
{
    if (!file.seek(0))
        return Fail(LoadFailure(QStringLiteral("The file is not a picture.")));
    const QByteArray head = file.peek(18);
    if (!LooksLikeTarga(head))
        return Fail(LoadFailure(QStringLiteral("The file is not a picture.")));
    const auto* h = reinterpret_cast<const uchar*>(head.constData());
    if (std::optional<Failure> large = TooLarge(QSize(int(U16(h + 12)), int(U16(h + 14)))))
        return Fail(*large);
    // stb_image reads from an int-sized buffer; run-length data is at most about twice the pixels.
    if (file.size() > std::min<qint64>(std::numeric_limits<int>::max() / 2, 2 * kMaxPicturePixels * 4))
        return Fail(
            LoadFailure(QStringLiteral("The file is too large to be a picture of at most 200 megapixels.")));
    const QByteArray data = file.readAll();
    // Uncompressed data shorter than the header declares would be read as whatever memory held.
    const auto* header = reinterpret_cast<const uchar*>(data.constData());
    if ((header[2] & 8) == 0 && data.size() < TargaUncompressedSize(header))
        return Fail(LoadFailure(QStringLiteral("The file ends before its pixel data.")));
    return DecodeTarga(data);
}

// --- Formats Qt reads --------------------------------------------------------

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

// libjpeg straight into the buffer's byte order, telling a cut file from a
// whole one. The file is read, not mapped: a file cut while it is read would
// end a mapping's reader with SIGBUS. nullopt: a JPEG for Qt's reader.
std::optional<Result<QImage>> ReadJpeg(QFile& file, QSize cover)
{
    // Even at the best quality a picture within the limit takes fewer bytes than its pixels do.
    if (file.size() > kMaxPicturePixels * 4)
        return Result<QImage>(Fail(
            LoadFailure(QStringLiteral("The file is too large to be a picture of at most 200 megapixels."))));
    std::optional<Result<QImage>> jpeg = DecodeJpeg(file.readAll(), kMaxPicturePixels, cover);
    if (jpeg && !*jpeg)
        return Result<QImage>(Fail(LoadFailure(jpeg->error().Reason())));
    return jpeg;
}

Result<QImage> DecodeWithQt(QFile& file, QSize cover)
{
    const QByteArray format = FormatFromSignature(&file);
    if (format == "jpeg") {
        if (std::optional<Result<QImage>> jpeg = ReadJpeg(file, cover))
            return std::move(*jpeg);
        file.seek(0);
    }

    // Judged from the file's start, before the reader moves through it; told after the size.
    QString shortfall;
    if (format == "bmp")
        shortfall = BmpShortfall(file.peek(64), file.size());
    else if (format == "gif")
        shortfall = GifShortfall(file);

    RaiseQtAllocationLimit();
    QImageReader reader(&file, format);
    // Anything else is recognised by content, whatever its name says.
    reader.setDecideFormatFromContent(format.isEmpty());
    // Photos carry their orientation in EXIF; show them upright.
    reader.setAutoTransform(true);
    // The size from the header, before anything is decoded or allocated. Qt's
    // size of a BMP with an absurd header is not what the header says.
    const QSize declared = format == "bmp" ? BmpSize(file.peek(64)) : reader.size();
    if (std::optional<Failure> large = TooLarge(declared))
        return Fail(*large);
    if (!shortfall.isEmpty())
        return Fail(LoadFailure(shortfall));
    QImage img = reader.read();
    if (img.isNull()) {
        const bool unknown = reader.error() == QImageReader::UnsupportedFormatError;
        return Fail(
            LoadFailure(unknown ? QStringLiteral("The file is not a picture.") : reader.errorString()));
    }
    return img;
}

// Transparent pixels are composited over black: the premultiplied colour is
// exactly that. Opaque 32-bit and 24-bit pictures are returned as they are
// (the pixel buffer reads both), which spares a full conversion pass.
QImage ToOpaqueRgb888(const QImage& img)
{
    if (img.format() == QImage::Format_RGB32 || img.format() == QImage::Format_RGB888 ||
        img.format() == QImage::Format_BGR888)
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

QString PictureTooLargeReason(QSize size)
{
    return QStringLiteral("The picture is too large (%1 x %2 pixels; at most %3 megapixels can be loaded).")
        .arg(size.width())
        .arg(size.height())
        .arg(kMaxPicturePixels / 1'000'000);
}

Result<QImage> DecodePicture(const QString& path, QSize cover)
{
    QFile file;
    if (auto opened = OpenRegularFile(file, path); !opened)
        return Fail(LoadFailure(opened.error().Reason()));
    if (file.size() == 0)
        return Fail(LoadFailure(QStringLiteral("The file is empty.")));

    Result<QImage> img;
    const bool targaName = QFileInfo(path).suffix().compare(QLatin1String("tga"), Qt::CaseInsensitive) == 0;
    if (targaName) {
        // Qt's own Targa reader refuses footer-less and run-length encoded files.
        img = ReadTarga(file);
        // A plausible Targa header that does not decode is a broken Targa file.
        if (!img && file.seek(0) && !LooksLikeTarga(file.peek(18)))
            img = DecodeWithQt(file, cover);
    } else {
        img = DecodeWithQt(file, cover);
        if (!img && file.seek(0) && LooksLikeTarga(file.peek(18)))
            img = ReadTarga(file);
    }
    if (!img)
        return img;
    QImage opaque = ToOpaqueRgb888(*img);
    if (opaque.isNull())
        return Fail(LoadFailure(QStringLiteral("There is not enough memory for the picture.")));
    return opaque;
}
