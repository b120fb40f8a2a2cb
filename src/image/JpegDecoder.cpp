#include "image/JpegDecoder.h"

#include "image/PictureDecoder.h"

#include <QTransform>
#include <csetjmp>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace {

struct ErrorManager
{
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char fatal[JMSG_LENGTH_MAX] = {};
    char damage[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void OnError(j_common_ptr cinfo)
{
    auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
    errors->base.format_message(cinfo, errors->fatal);
    std::longjmp(errors->jump, 1);
}

// Warnings are kept, not printed; those that mean missing or broken picture data mark the picture damaged.
void OnMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return; // trace messages
    auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
    ++errors->base.num_warnings;
    switch (errors->base.msg_code) {
    case JWRN_EXTRANEOUS_DATA: // stray bytes between segments; the picture is whole
    case JWRN_BOGUS_ICC:
    case JWRN_JFIF_MAJOR:
    case JWRN_ADOBE_XFORM:
        return;
    default:
        break;
    }
    if (errors->damage[0] == 0)
        errors->base.format_message(cinfo, errors->damage);
}

quint32 Read(const uchar* p, int bytes, bool littleEndian)
{
    quint32 v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= quint32(p[littleEndian ? i : bytes - 1 - i]) << (8 * i);
    return v;
}

QImage Upright(const QImage& img, int orientation)
{
    switch (orientation) {
    case 2:
        return img.mirrored(true, false);
    case 3:
        return img.transformed(QTransform().rotate(180));
    case 4:
        return img.mirrored(false, true);
    case 5:
        return img.transformed(QTransform().rotate(90)).mirrored(true, false);
    case 6:
        return img.transformed(QTransform().rotate(90));
    case 7:
        return img.transformed(QTransform().rotate(270)).mirrored(true, false);
    case 8:
        return img.transformed(QTransform().rotate(270));
    default:
        return img;
    }
}

} // namespace

int ExifOrientation(const QByteArray& app1)
{
    if (app1.size() < 14 || !app1.startsWith(QByteArrayView("Exif\0\0", 6)))
        return 1;
    const auto* tiff = reinterpret_cast<const uchar*>(app1.constData()) + 6;
    const qsizetype size = app1.size() - 6;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M'))
        return 1;
    const quint32 ifd = Read(tiff + 4, 4, little);
    if (ifd + 2 > quint64(size))
        return 1;
    const quint32 entries = Read(tiff + ifd, 2, little);
    for (quint32 i = 0; i < entries; ++i) {
        const quint64 at = quint64(ifd) + 2 + 12 * quint64(i);
        if (at + 12 > quint64(size))
            break;
        if (Read(tiff + at, 2, little) == 0x0112) {
            const quint32 value = Read(tiff + at + 8, 2, little);
            return value >= 1 && value <= 8 ? int(value) : 1;
        }
    }
    return 1;
}

namespace {

enum class Decoded
{
    Ok,
    Failed, // errors.fatal says why
    TooLarge,
    NoMemory,
    NotOurs, // a colour space this decoder leaves to the general reader
};

// The libjpeg calls, with the jump target for its errors. Everything that
// outlives a jump lives in the caller's frame and is reached through pointers.
// The libjpeg scale denominator for a cover size: the largest of 2, 4 and 8
// at which the picture still covers it, and 1 below twice the cover.
unsigned ScaleDenominator(QSize stored, QSize cover)
{
    unsigned denominator = 1;
    if (cover.isEmpty())
        return denominator;
    while (denominator < 8 && qint64(stored.width()) >= 2 * qint64(denominator) * cover.width() &&
           qint64(stored.height()) >= 2 * qint64(denominator) * cover.height())
        denominator *= 2;
    return denominator;
}

Decoded DecodeInto(QByteArrayView data, qint64 maxPixels, QSize cover, ErrorManager* errors, QImage* out,
                   int* orientation, QSize* declared)
{
    jpeg_decompress_struct cinfo = {};
    cinfo.err = jpeg_std_error(&errors->base);
    errors->base.error_exit = OnError;
    errors->base.emit_message = OnMessage;
    if (setjmp(errors->jump)) {
        jpeg_destroy_decompress(&cinfo);
        return Decoded::Failed;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.data()),
                 static_cast<unsigned long>(data.size()));
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
        jpeg_destroy_decompress(&cinfo);
        return Decoded::NotOurs;
    }
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1)
            *orientation =
                ExifOrientation(QByteArray(reinterpret_cast<const char*>(m->data), int(m->data_length)));
    }
    *declared = QSize(int(cinfo.image_width), int(cinfo.image_height));
    if (qint64(cinfo.image_width) * qint64(cinfo.image_height) > maxPixels) {
        jpeg_destroy_decompress(&cinfo);
        return Decoded::TooLarge;
    }
    // The cover is given upright; orientations 5 to 8 store the picture turned a quarter.
    cinfo.scale_num = 1;
    cinfo.scale_denom = ScaleDenominator(*declared, *orientation >= 5 ? cover.transposed() : cover);
    cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    *out = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_BGR888);
    if (out->isNull()) {
        jpeg_destroy_decompress(&cinfo);
        return Decoded::NoMemory;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out->scanLine(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return Decoded::Ok;
}

} // namespace

std::optional<Result<QImage>> DecodeJpeg(QByteArrayView data, qint64 maxPixels, QSize cover)
{
    const auto refused = [](const QString& reason) { return Result<QImage>(Fail(Failure::Because(reason))); };
    ErrorManager errors;
    QImage img;
    int orientation = 1;
    QSize declared;
    switch (DecodeInto(data, maxPixels, cover, &errors, &img, &orientation, &declared)) {
    case Decoded::Ok:
        break;
    case Decoded::Failed:
        return refused(QStringLiteral("The picture data cannot be decoded (%1).")
                           .arg(QString::fromLocal8Bit(errors.fatal)));
    case Decoded::TooLarge:
        return refused(PictureTooLargeReason(declared));
    case Decoded::NoMemory:
        return refused(QStringLiteral("There is not enough memory for the picture."));
    case Decoded::NotOurs:
        return std::nullopt;
    }
    if (errors.damage[0] != 0)
        return refused(QStringLiteral("The picture data is cut short or damaged (%1).")
                           .arg(QString::fromLocal8Bit(errors.damage)));
    return Upright(img, orientation);
}
