#pragma once

#include "app/BusyHost.h"
#include "app/Environment.h"
#include "image/PixelBuffer.h"
#include "texture/LoadingScreen.h"

#include <QString>
#include <QStringList>
#include <functional>

// The pool folder below the game folder: "Lumivale/RandomHL" or "Lumivale/RandomHC".
QString PoolFolder(LoadingScreen screen);
// "Add to login screen" / "Add to character selection screen".
QString PoolButtonCaption(LoadingScreen screen);

// The message shown when a folder holds more pictures than a pass takes.
inline const QString kPoolLimitMessage = QStringLiteral("Lumivale will only process the first 1000 images.");
inline constexpr int kPoolPassLimit = 1000;

// A name the folder pass takes: its last four characters, lower-cased, are
// ".jpg", "jpeg", ".png", ".gif", ".bmp" or ".tga".
bool IsPoolPicture(const QString& fileName);

struct FolderPictures
{
    QStringList names;   // at most kPoolPassLimit, in name order
    bool capped = false; // the folder held that many or more
};
// The pictures of a folder for a pass: plain files (after symlinks) whose
// names IsPoolPicture takes, sorted as a file manager sorts them (numbers by
// value, case ignored), the first kPoolPassLimit of them.
FolderPictures ListFolderPictures(const QString& folder);

// What every add to a pool needs besides the picture.
struct PoolTarget
{
    QString gameFolder;
    LoadingScreen screen = LoadingScreen::Login;
    QString frame;         // the screen's frame picture; empty: no frame
    bool compress = false; // "TextureCompression"
};

// Writes picture (1024 x 768; framed when target.frame names a usable frame)
// as the pool file name (as DisplayFileName shows it) + ".dds", a 1024 x 1024 bare surface, into the
// screen's pool folder (created with its parents; the write stays inside it).
// Returns the file written.
Result<QString> AddToPool(BusyHost& host, const Environment& environment, const PoolTarget& target,
                          const QString& name, const PixelBufferPtr& picture);
// The same with a frame decoded once for many pictures (null: no frame).
Result<QString> AddToPool(BusyHost& host, const Environment& environment, const PoolTarget& target,
                          const QString& name, const PixelBufferPtr& picture, const PixelBuffer* frame);

// The result of a folder pass.
struct PassSummary
{
    int total = 0;     // pictures in the pass
    QStringList added; // pool files written, in order
    // The pictures skipped, each with why, in order.
    QList<QPair<QString, Failure>> skipped;
    bool cancelled = false;
    QString lastPicture; // the last picture of the pass (full path), "" when none
};

// Adds every picture of folder to the pool in name order, in one cancellable
// busy scope. The next pictures are decoded and resampled on worker threads
// while the current one is written, and written in order. A picture that
// cannot be decoded or written is skipped and the pass goes on; a cancel stops
// after the picture being written (only complete pool files stay).
// onPicture(i, n) runs on this thread before picture i (1-based) is written.
PassSummary AddFolderToPool(BusyHost& host, const Environment& environment, const PoolTarget& target,
                            const QString& folder, const FolderPictures& pictures,
                            const std::function<void(int, int)>& onPicture = {});

// The one message at the end of a pass that skipped pictures: each failure's
// headline text, then the names it applies to (with their reasons). Empty
// failure (nothing to say) when nothing was skipped.
Failure SkippedPicturesMessage(const PassSummary& summary);
