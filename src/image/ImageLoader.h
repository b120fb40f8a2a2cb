#pragma once

#include "app/BusyHost.h"
#include "image/PixelBuffer.h"

#include <QString>

// Decodes fileName and resamples it into a new width x height buffer, in a
// busy scope of its own ("Loading <name>...", then "Resampling <name>...",
// progress maximum 10). The failure is "Image could not be loaded." with the
// reason. Nothing is shown.
Result<PixelBufferPtr> LoadImageFile(BusyHost& host, const QString& fileName, qint32 width, qint32 height);

// The same for callers that tell the user themselves as the loader always
// did: on success dibDest is replaced, on failure it is left as it was and
// the message is shown through the host.
bool LoadImage(BusyHost& host, const QString& fileName, PixelBufferPtr& dibDest, qint32 width, qint32 height);

// The file name without its folder, as shown in status texts (bytes that are
// not UTF-8 shown as replacement characters).
QString BareFileName(const QString& fileName);
