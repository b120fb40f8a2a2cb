#include "image/Frames.h"

#include "image/PictureDecoder.h"

#include <cstring>

namespace {

bool IsFrameSized(const PixelBuffer& dib)
{
    return dib.Width() == kFrameWidth && dib.Height() == kFrameHeight;
}

// Frame pixel in B, G, R order equal to the transparent key #ff00ff.
inline bool IsKey(const std::uint8_t* p)
{
    return p[0] == 255 && p[1] == 0 && p[2] == 255;
}

} // namespace

PixelBufferPtr ApplyFrame(const PixelBuffer& frame, const PixelBufferPtr& source)
{
    if (!source || !IsFrameSized(*source) || !IsFrameSized(frame))
        return source;
    auto out = std::make_shared<PixelBuffer>();
    if (!out->Create(kFrameWidth, kFrameHeight))
        return source;
    std::memcpy(out->Bits(), frame.Bits(), out->ImageSize());
    for (int r = 0; r < kFrameHeight; ++r) {
        std::uint8_t* o = out->Row(r);
        const std::uint8_t* s = source->Row(r);
        for (int x = 0; x < kFrameWidth * 3; x += 3) {
            if (IsKey(o + x)) {
                o[x] = s[x];
                o[x + 1] = s[x + 1];
                o[x + 2] = s[x + 2];
            }
        }
    }
    return out;
}

Result<PixelBufferPtr> LoadFrame(const QString& framePath)
{
    const Result<QImage> picture = DecodePicture(framePath);
    if (!picture)
        return Fail(picture.error());
    if (picture->width() != kFrameWidth || picture->height() != kFrameHeight)
        return Fail(
            QStringLiteral("Image is not 1024x768 pixels in size."), MessageIcon::Exclamation,
            QStringLiteral("The picture is %1 x %2 pixels.").arg(picture->width()).arg(picture->height()));
    auto frame = std::make_shared<PixelBuffer>();
    if (!frame->CreateFromPicture(*picture))
        return Fail(kImageLoadError, MessageIcon::Exclamation, QStringLiteral("There is not enough memory."));
    return frame;
}

PixelBufferPtr ApplyFrame(const QString& framePath, const PixelBufferPtr& source)
{
    // Decoding is the expensive part; skip it when the source cannot take a frame anyway.
    if (!source || !IsFrameSized(*source))
        return source;
    const Result<PixelBufferPtr> frame = LoadFrame(framePath);
    return frame ? ApplyFrame(**frame, source) : source;
}
