#pragma once

#include <QImage>
#include <QString>

// Decodes a picture file (bmp, jpg/jpeg, png, gif first frame, tga) into an
// opaque picture, Format_RGB32 or Format_RGB888; transparent pixels are
// composited over black. A null QImage
// when the file is missing, empty, not a picture, or larger than the decoder's
// allocation limit. A truncated file that still yields a partial picture is
// accepted with what could be decoded.
QImage DecodePicture(const QString& path);
