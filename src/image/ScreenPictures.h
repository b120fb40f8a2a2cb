#pragma once

#include "app/BusyHost.h"
#include "image/PixelBuffer.h"

#include <QString>

// The Screens tab's picture slots and their logic, without widgets. The tab
// widget holds one and draws DisplayedPreview at (PreviewLeft, 0).
class ScreenPictures
{
public:
    PixelBufferPtr SourceImage, OutputImage, PreviewImage, DisplayedPreview, LoginPreview, CharacterPreview;
    int PreviewWidth = 240, PreviewLeft = 0, PreviewMode = 0; // 0 plain, 1 login frame, 2 character frame
    static constexpr int kPreviewHeight = 180;

    // Loads a picture as the 1024x768 SourceImage, recomputes the preview
    // geometry from the screen size and the preview box width and (doPreviews)
    // rebuilds PreviewImage and DisplayedPreview with PreviewMode 0. One busy
    // scope for the whole load. On failure nothing changes.
    Result<> Load(BusyHost& host, const QString& file, double screenWidth, double screenHeight, int boxWidth,
                  bool doPreviews = true);
    // OutputImage = frames ? SourceImage with the frame laid over : SourceImage. Returns OutputImage.
    PixelBufferPtr PrepareOutput(bool frames, const QString& framePath);
    // Recomputes LoginPreview and CharacterPreview (framed when both switches
    // are on; otherwise DisplayedPreview is reset to the plain preview and both
    // refer to it). PreviewMode returns to 0.
    void RebuildFramePreviews(BusyHost& host, bool frames, bool framesPreview, const QString& frameHL,
                              const QString& frameHC);
    // Pointer over a save button: mode 1 (login) / 2 (character). True when
    // DisplayedPreview changed (redraw needed).
    bool ShowFramedPreview(int mode);
    // DisplayedPreview = fresh copy of PreviewImage (Cancel, opening the adjustment).
    void ResetDisplayedPreview();
    // Live level preview: DisplayedPreview = PreviewImage adjusted, never
    // accumulating earlier live results.
    void PreviewLevels(int black, int white);
    // Applies the levels to SourceImage and rebuilds the previews; returns
    // whether anything changed.
    bool ApplyLevels(BusyHost& host, int black, int white, bool frames, bool framesPreview,
                     const QString& frameHL, const QString& frameHC);
    bool HasPicture() const;
};
