#pragma once

#include "app/BusyHost.h"
#include "online/OnlineSlot.h"

#include <QList>
#include <QSize>
#include <QString>
#include <array>
#include <future>

class TextureWriter;

// A stored picture and, once started, its decode and resample at a texture
// size on a worker (one load a core at a time, in the order they start).
struct StoredPicture
{
    QString file; // empty when the slot stored nothing
    QSize size;   // the size load makes
    std::shared_future<Result<PixelBufferPtr>> load;
};
using StoredPictures = std::array<StoredPicture, kOnlineSlots>;

StoredPicture StartPictureLoad(const QString& file, QSize size);

// What the apply step did with one stored picture.
struct AppliedSlot
{
    int slot = 0;
    Result<QString> written; // the texture file, or why it was not written
};

// Applies the stored pictures (empty entries skipped) under the game folder's
// lock: each is loaded at its slot's texture size (a load already started at
// that size is used) and written as that texture's replacement as soon as it is
// loaded, after any earlier slot naming the same texture. Every picture file is
// deleted afterwards, written or not. The list is in slot order; nothing is
// shown, the caller tells the user.
QList<AppliedSlot> ApplyDownloads(BusyHost& host, TextureWriter& writer, const QString& gameFolder,
                                  const std::array<OnlineSlot, kOnlineSlots>& records,
                                  StoredPictures pictures);
