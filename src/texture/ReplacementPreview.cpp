#include "texture/ReplacementPreview.h"

#include <algorithm>

QImage PreviewImage(const PixelBuffer& picture, const PixelBuffer* mask)
{
    if (picture.IsEmpty())
        return {};
    const bool masked = mask && mask->Width() >= picture.Width() && mask->Height() >= picture.Height();
    QImage out(picture.Width(), picture.Height(), QImage::Format_ARGB32);
    for (int y = 0; y < picture.Height(); ++y) {
        // Memory row 0 is the bottom row.
        const std::uint8_t* src = picture.Row(picture.Height() - 1 - y);
        const std::uint8_t* alpha = masked ? mask->Row(picture.Height() - 1 - y) : nullptr;
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < picture.Width(); ++x)
            dst[x] = qRgba(src[3 * x + 2], src[3 * x + 1], src[3 * x], alpha ? alpha[3 * x] : 255);
    }
    return out;
}

QSize PreviewDisplaySize(QSize texture, QSize box)
{
    if (texture.isEmpty() || box.isEmpty())
        return {};
    if (texture.width() <= box.width() && texture.height() <= box.height()) {
        const int factor = std::min(box.width() / texture.width(), box.height() / texture.height());
        return texture * factor;
    }
    return texture.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}
