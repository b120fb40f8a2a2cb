#pragma once

#include "app/Failure.h"

#include <QImage>
#include <QSize>
#include <QString>

// The loader's message for a picture that cannot be used.
inline const QString kImageLoadError = QStringLiteral("Image could not be loaded.");

// The largest picture that is loaded: a current phone's photo fits, a
// decompression bomb does not.
inline constexpr qint64 kMaxPicturePixels = 200'000'000;
// The reason given for a picture larger than that, whatever its format.
QString PictureTooLargeReason(QSize size);

// Decodes a picture file (bmp, jpg/jpeg, png, gif first frame, tga; other
// formats Qt reads by content) into an opaque picture, Format_RGB32,
// Format_RGB888 or Format_BGR888; transparent pixels are composited over black. Only regular
// files are opened (after symlinks): a FIFO or a device is refused at once.
// A picture whose data ends early or is damaged is refused too, so a cut
// download never becomes a grey or black texture; harmless oddities (unknown
// markers, bytes after the end) are accepted. Pictures of more than
// kMaxPicturePixels are refused from their header, before anything is
// allocated. The failure is "Image could not be loaded." with the reason as
// its detail. When cover is given, a JPEG at least twice as large in both
// directions is decoded at the smallest of libjpeg's scales (1/2, 1/4, 1/8)
// that still covers it, so a big photo costs little; smaller pictures come out
// exactly as without it. Safe to call from several threads at once.
Result<QImage> DecodePicture(const QString& path, QSize cover = QSize());
