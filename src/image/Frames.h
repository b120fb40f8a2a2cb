#pragma once

#include "app/Failure.h"
#include "image/PixelBuffer.h"

#include <QString>

inline constexpr int kFrameWidth = 1024, kFrameHeight = 768;

// A frame picture decoded for laying over pictures: 1024 x 768 exactly. The
// failures are the frame browse's messages: "Image could not be loaded."
// (with the decoder's reason) and "Image is not 1024x768 pixels in size.".
Result<PixelBufferPtr> LoadFrame(const QString& framePath);

// The frame laid over source: wherever the frame pixel is exactly
// B=255,G=0,R=255 the source pixel shows. A new buffer, or source itself
// (shared) when the source is not 1024x768.
PixelBufferPtr ApplyFrame(const PixelBuffer& frame, const PixelBufferPtr& source);
// The same with the frame read from its file; source itself when the file
// cannot serve as a frame (the loading screens then get the plain picture).
PixelBufferPtr ApplyFrame(const QString& framePath, const PixelBufferPtr& source);
