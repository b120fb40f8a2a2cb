#pragma once

#include "app/BusyHost.h"
#include "image/cDIBSection.h"

#include <QString>

// Decodes FileName, fills and resamples a new buffer to ImageWidth x ImageHeight
// and replaces dibDest. Shows "Loading <name>..." and "Resampling <name>..."
// (progress maximum 10) and, on failure, "Image could not be loaded." through
// the host; dibDest is left untouched on failure. The busy state is left on
// every way out.
bool LoadImage(BusyHost& host, const QString& FileName, DibRef& dibDest, qint32 ImageWidth,
               qint32 ImageHeight);

// The same steps without leaving the busy state at the end (it enters it with
// the loading text), for callers that keep one busy state over several steps
// and leave it themselves.
bool LoadImageSteps(BusyHost& host, const QString& FileName, DibRef& dibDest, qint32 ImageWidth,
                    qint32 ImageHeight);

// The file name without its folder, as shown in status texts.
QString BareFileName(const QString& FileName);
