#pragma once

#include "app/BusyHost.h"
#include "image/PixelBuffer.h"

#include <QString>

class TextureWriter;
struct TextureRequest;

// One catalogued texture of the game: its folder below the game's data folder
// ('/' separated, no separator at either end), its base name, and the size
// the game declares for it.
struct TextureTarget
{
    QString gamePath;
    QString fileName;
    qint32 width = 0;
    qint32 height = 0;
};

// The stored size of a texture declared at size: the next power of two (the
// client reads the stored picture at the power of two of each declared side).
qint32 StoredTextureSize(qint32 declared);

// The replacement file of a target below the game folder:
// "data/" + gamePath + "/" + fileName + ".texture".
QString TextureFilePath(const TextureTarget& target);

// An empty or mistyped game folder would otherwise put a data tree below the
// working folder or create the game folder itself: refused with the write
// error and the reason.
Result<> CheckGameFolder(const QString& gameFolder);

// The request that writes picture (already at the declared size) as the
// target's replacement below gameFolder (see WriteTextureTarget); no alpha.
TextureRequest TextureRequestFor(const QString& gameFolder, const TextureTarget& target,
                                 const PixelBuffer& picture);

// Writes picture (already at the declared size) as the target's replacement:
// declared width x height in the header, stored at the next powers of two
// (columns beyond zero, rows beyond repeating the last), recorded name
// gamePath + "/" + fileName + ".dds", alpha from the mask's blue channel when
// one is given (the has-alpha byte then set). Through the writer's busy scope,
// compression switch and the game-file rules (confined, atomic, backups).
Result<QString> WriteTextureTarget(TextureWriter& writer, const QString& gameFolder,
                                   const TextureTarget& target, const PixelBuffer& picture,
                                   const PixelBuffer* alpha);

// The file a target read from input (settings, an imported file) is written
// to, resolved after symlinks (the folders it needs are made, the data folder
// too when the game has none yet); it must lie inside the game's data folder.
Result<QString> ConfinedTextureFile(const QString& gameFolder, const TextureTarget& target);
// WriteTextureTarget without alpha into file, a ConfinedTextureFile (its
// spelling on disk kept); the target's own path and name are recorded inside.
Result<QString> WriteTextureTargetTo(TextureWriter& writer, const QString& gameFolder, const QString& file,
                                     const TextureTarget& target, const PixelBuffer& picture);
