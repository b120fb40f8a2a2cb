#pragma once

#include "app/BusyHost.h"
#include "online/OnlineSettings.h"
#include "texture/CatalogueTexture.h"

#include <QList>
#include <QString>
#include <array>

class TextureWriter;

// The stored values of a slot are input (an imported file, a hand-edited
// settings file): the texture they name, once checked. webPath is a relative
// path of plain folder names that starts with texture_library; webFile a plain
// base name; width and height whole numbers from 1 to 1024 (blanks around
// them allowed). The failure's reason names the value that is wrong.
Result<TextureTarget> OnlineSlotTarget(const OnlineSlotSettings& slot, int slotIndex);

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
// in slot order: each is checked against the slot's settings as they are now,
// loaded at the texture's size and written as its replacement. Every picture
// file is deleted afterwards, written or not. Nothing is shown; the caller
// tells the user.
QList<AppliedSlot> ApplyDownloads(BusyHost& host, TextureWriter& writer, const QString& gameFolder,
                                  const OnlineSettings& settings,
                                  const std::array<QString, kOnlineSlots>& pictures);
