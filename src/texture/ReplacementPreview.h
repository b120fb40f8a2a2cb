#pragma once

#include "image/PixelBuffer.h"

#include <QImage>
#include <QSize>

// The picture as the game will get it, for looking at: the pixels at the
// texture's size with the alpha a save writes (the mask's blue channel, or
// opaque without a mask). Null for an empty picture.
QImage PreviewImage(const PixelBuffer& picture, const PixelBuffer* mask);

// The size a texture is shown at inside a box: a texture that fits is
// enlarged by the largest whole factor that still fits (so every texel is a
// square of whole pixels); a larger one is reduced to fit, keeping its
// proportions. Empty for an empty texture or box.
QSize PreviewDisplaySize(QSize texture, QSize box);
