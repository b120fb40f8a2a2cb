#pragma once

#include "app/Failure.h"

#include <QImage>
#include <QString>

// The loader's message for a picture that cannot be used.
inline const QString kImageLoadError = QStringLiteral("Image could not be loaded.");

// Decodes a picture file (bmp, jpg/jpeg, png, gif first frame, tga; other
// formats Qt reads by content) into an opaque picture, Format_RGB32,
// Format_RGB888 or Format_BGR888; transparent pixels are composited over black. Only regular
// files are opened (after symlinks): a FIFO or a device is refused at once.
// A picture whose data ends early or is damaged is refused too, so a cut
// download never becomes a grey or black texture; harmless oddities (unknown
// markers, bytes after the end) are accepted. Pictures larger than the
// decoder's allocation limit are refused before anything is allocated. The
// failure is "Image could not be loaded." with the reason as its detail.
// Safe to call from several threads at once.
Result<QImage> DecodePicture(const QString& path);
