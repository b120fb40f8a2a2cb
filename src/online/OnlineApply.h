#pragma once

#include "app/BusyHost.h"
#include "online/OnlineSlot.h"

#include <QList>
#include <QString>
#include <array>

class TextureWriter;

// The file a slot's texture is written to, resolved after symlinks (the
// folders it needs are made); it must lie inside the game's data folder.
Result<QString> ConfinedTextureFile(const QString& gameFolder, const TextureTarget& target);

// What the apply step did with one stored picture.
struct AppliedSlot
{
    int slot = 0;
    Result<QString> written; // the texture file, or why it was not written
};

// Applies the pictures a batch stored (by slot; empty entries are skipped),
// in slot order, under the game folder's lock: each is loaded at its slot's
// texture size and written as that texture's replacement. Every picture file
// is deleted afterwards, written or not. Nothing is shown; the caller tells
// the user.
QList<AppliedSlot> ApplyDownloads(BusyHost& host, TextureWriter& writer, const QString& gameFolder,
                                  const std::array<OnlineSlot, kOnlineSlots>& records,
                                  const std::array<QString, kOnlineSlots>& pictures);
