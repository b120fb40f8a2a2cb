#include "image/Frames.h"

#include "image/PictureDecoder.h"

#include <cstring>

namespace {

bool IsFrameSized(const cDIBSection& dib)
{
    return dib.Width() == kFrameWidth && dib.Height() == kFrameHeight;
}

// Frame pixel in B, G, R order equal to the transparent key #ff00ff.
inline bool IsKey(const std::uint8_t* p)
{
    return p[0] == 255 && p[1] == 0 && p[2] == 255;
}

} // namespace

DibRef ApplyFrame(const cDIBSection& frame, const DibRef& source)
{
    if (!source || !IsFrameSized(*source) || !IsFrameSized(frame))
        return source;
    auto out = std::make_shared<cDIBSection>();
    if (!out->Create(kFrameWidth, kFrameHeight))
        return source;
    std::memcpy(out->DIBSectionBitsPtr(), frame.DIBSectionBitsPtr(), out->ImageSize());
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

DibRef ApplyFrame(const QString& framePath, const DibRef& source)
{
    // Decoding is the expensive part; skip it when the source cannot take a frame anyway.
    if (!source || !IsFrameSized(*source))
        return source;
    const QImage picture = DecodePicture(framePath);
    if (picture.width() != kFrameWidth || picture.height() != kFrameHeight)
        return source;
    cDIBSection frame;
    if (!frame.CreateFromPicture(picture))
        return source;
    return ApplyFrame(frame, source);
}

FrameCheck CheckFrameFile(const QString& path)
{
    const QImage picture = DecodePicture(path);
    if (picture.isNull())
        return FrameCheck::NotAPicture;
    if (picture.width() != kFrameWidth || picture.height() != kFrameHeight)
        return FrameCheck::WrongSize;
    return FrameCheck::Ok;
}

QString FrameCheckMessage(FrameCheck c)
{
    switch (c) {
    case FrameCheck::Ok:
        return {};
    case FrameCheck::NotAPicture:
        return QStringLiteral("Image could not be loaded.");
    case FrameCheck::WrongSize:
        return QStringLiteral("Image is not 1024x768 pixels in size.");
    }
    return {};
}
