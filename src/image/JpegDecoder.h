#pragma once

#include "app/Failure.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <optional>

// Decodes JPEG bytes with libjpeg straight into a top-down Format_BGR888
// picture (the pixel buffer's own byte order), turned upright by its EXIF
// orientation. A file that libjpeg finds cut short or damaged is refused, with
// libjpeg's words as the reason; harmless warnings (extra bytes before a
// marker, a bad ICC profile, an unknown JFIF revision) are not. nullopt when
// this decoder does not take the file (CMYK pictures, which the general
// reader converts), so that the caller can hand it on. A picture of more than
// maxPixels is refused from its header. With a cover size (in the upright
// picture's directions), a picture at least twice that size in both
// directions is decoded at the smallest scale 1/2, 1/4 or 1/8 that covers it.
std::optional<Result<QImage>> DecodeJpeg(QByteArrayView data, qint64 maxPixels, QSize cover = QSize());

// The EXIF orientation (1..8) of a JPEG APP1 payload ("Exif\0\0" + TIFF); 1 when there is none.
int ExifOrientation(const QByteArray& app1);
