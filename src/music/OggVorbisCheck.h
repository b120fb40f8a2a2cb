#pragma once

#include "app/Failure.h"

#include <QString>

// Whether the file can go into the game as it is: one whole Ogg stream of
// Vorbis audio. Every page must be whole, with its checksum right and in
// sequence, all of one logical stream that opens with the three Vorbis headers
// (libvorbis reads them) and closes with its last page, nothing after it. The
// failure's reason says what is wrong and where. libogg and libvorbis are
// opened by name here, as the encoder opens them.
Result<> CheckOggVorbis(const QString& path);
