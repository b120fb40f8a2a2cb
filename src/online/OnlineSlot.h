#pragma once

#include "app/Failure.h"
#include "online/OnlineSettings.h"
#include "texture/CatalogueTexture.h"

#include <QUrl>
#include <array>

// A picture address the downloader can fetch, read as the user typed it
// (blanks around it ignored): http or https in any letter case, a host and a
// "/" after it. The failure's reason says what is wrong.
Result<QUrl> ParsePictureAddress(const QString& text);

// The texture values of a slot are input (an imported file, a hand-edited
// settings file): the texture they name, once checked. webPath is a relative
// path of plain folder names that starts with texture_library; webFile a plain
// base name; width and height whole numbers from 1 to 1024 (blanks around
// them allowed). The failure's reason names the value that is wrong.
Result<TextureTarget> OnlineSlotTarget(const OnlineSlotSettings& slot, int slotIndex);

// One slot's six values, checked once when they are read.
struct OnlineSlot
{
    int index = 0;
    bool inUse = false;            // both a texture (webName) and an address are given, valid or not
    Result<QUrl> address;          // webLink, or why it cannot be fetched
    Result<TextureTarget> texture; // webPath, webFile, webWidth, webHeight, or which one is wrong
};

std::array<OnlineSlot, kOnlineSlots> OnlineSlots(const OnlineSettings& settings);
