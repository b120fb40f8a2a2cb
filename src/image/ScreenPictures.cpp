#include "image/ScreenPictures.h"

#include "image/Frames.h"
#include "image/ImageLoader.h"
#include "image/Levels.h"
#include "image/PictureDecoder.h"
#include "image/PreviewGeometry.h"

#include <algorithm>
#include <cstring>

namespace {

// dst = a separate byte copy of src. Reuses dst's memory when nobody else
// holds it and the size matches (the live level preview runs on every
// scroll-bar step).
void FreshCopy(PixelBufferPtr& dst, const PixelBufferPtr& src)
{
    if (!src || src->IsEmpty()) {
        dst = src;
        return;
    }
    if (dst && dst != src && dst.use_count() == 1 && dst->Width() == src->Width() &&
        dst->Height() == src->Height()) {
        std::memcpy(dst->Bits(), src->Bits(), src->ImageSize());
        return;
    }
    dst = src->Resampled(src->Size());
}

} // namespace

Result<> ScreenPictures::Load(BusyHost& host, const QString& file, double screenWidth, double screenHeight,
                              int boxWidth, bool doPreviews)
{
    const QString name = BareFileName(file);
    BusyScope busy(host, false, 10, QStringLiteral("Loading ") + name + QStringLiteral("..."));
    Result<PixelBufferPtr> loaded = LoadImageFile(host, file, 1024, 768);
    if (!loaded)
        return Fail(loaded.error());

    PixelBufferPtr preview;
    const int width = PreviewWidthFor(screenWidth, screenHeight);
    if (doPreviews) {
        busy.Step(6, QStringLiteral("Creating preview for ") + name + QStringLiteral("..."));
        preview = (*loaded)->Resampled(QSize(width, kPreviewHeight));
        if (!preview)
            return Fail(kImageLoadError, MessageIcon::Exclamation,
                        QStringLiteral("The preview cannot be made."));
    }

    SourceImage = std::move(*loaded);
    PreviewWidth = width;
    PreviewLeft = PreviewLeftFor(boxWidth, width);
    if (doPreviews) {
        PreviewImage = std::move(preview);
        DisplayedPreview = PreviewImage->Resampled(QSize(PreviewWidth, kPreviewHeight));
        PreviewMode = 0;
        busy.Step(9);
    }
    return {};
}

PixelBufferPtr ScreenPictures::PrepareOutput(bool frames, const QString& framePath)
{
    OutputImage = frames ? ApplyFrame(framePath, SourceImage) : SourceImage;
    return OutputImage;
}

void ScreenPictures::RebuildFramePreviews(BusyHost& host, bool frames, bool framesPreview,
                                          const QString& frameHL, const QString& frameHC)
{
    BusyScope busy(host, false, 0, QString());
    PreviewMode = 0;
    if (frames && framesPreview && SourceImage) {
        OutputImage = ApplyFrame(frameHL, SourceImage);
        LoginPreview = OutputImage->Resampled(QSize(PreviewWidth, kPreviewHeight));
        OutputImage = ApplyFrame(frameHC, SourceImage);
        CharacterPreview = OutputImage->Resampled(QSize(PreviewWidth, kPreviewHeight));
    } else {
        // A new buffer, not a reused one: the framed slots share it.
        DisplayedPreview = PreviewImage ? PreviewImage->Resampled(PreviewImage->Size()) : nullptr;
        LoginPreview = CharacterPreview = DisplayedPreview;
    }
}

bool ScreenPictures::ShowFramedPreview(int mode)
{
    if (mode != 1 && mode != 2)
        return false;
    if (PreviewMode == mode)
        return false;
    const PixelBufferPtr& framed = mode == 1 ? LoginPreview : CharacterPreview;
    if (!framed)
        return false;
    DisplayedPreview = framed;
    PreviewMode = mode;
    return true;
}

void ScreenPictures::ResetDisplayedPreview()
{
    FreshCopy(DisplayedPreview, PreviewImage);
}

void ScreenPictures::PreviewLevels(int black, int white)
{
    if (!PreviewImage)
        return;
    FreshCopy(DisplayedPreview, PreviewImage);
    if (DisplayedPreview)
        ::ApplyLevels(*DisplayedPreview, black, white);
}

bool ScreenPictures::ApplyLevels(BusyHost& host, int black, int white, bool frames, bool framesPreview,
                                 const QString& frameHL, const QString& frameHC)
{
    if (!HasPicture() || !::ApplyLevels(*SourceImage, black, white))
        return false;
    if (PixelBufferPtr preview = SourceImage->Resampled(QSize(PreviewWidth, kPreviewHeight)))
        PreviewImage = std::move(preview);
    RebuildFramePreviews(host, frames, framesPreview, frameHL, frameHC);
    // With framed previews the rebuild leaves the display alone; show the
    // applied picture itself, not the live approximation computed from the
    // old preview (the two differ by rounding).
    if (frames && framesPreview)
        ResetDisplayedPreview();
    return true;
}

bool ScreenPictures::HasPicture() const
{
    return SourceImage && !SourceImage->IsEmpty();
}
