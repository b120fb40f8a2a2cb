#pragma once

#include "image/cDIBSection.h"

#include <QString>

inline constexpr int kFrameWidth = 1024, kFrameHeight = 768;

// The frame laid over source: wherever the frame pixel is exactly B=255,G=0,R=255
// the source pixel shows. Returns a new buffer, or `source` itself (shared) when
// the frame file is missing, undecodable or not 1024x768, or the source is not
// 1024x768.
DibRef ApplyFrame(const QString& framePath, const DibRef& source);
// The same with an already decoded frame (not changed).
DibRef ApplyFrame(const cDIBSection& frame, const DibRef& source);

enum class FrameCheck
{
    Ok,
    NotAPicture,
    WrongSize
};
// Whether a file can serve as a frame.
FrameCheck CheckFrameFile(const QString& path);
// "Image could not be loaded." / "Image is not 1024x768 pixels in size." (empty for Ok).
QString FrameCheckMessage(FrameCheck c);
