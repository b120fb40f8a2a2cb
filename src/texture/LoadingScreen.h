#pragma once

#include "image/cDIBSection.h"

#include <QString>

class TextureWriter;

enum class LoadingScreen
{
    Login,
    Character
};

struct LoadingScreenTarget
{
    QString folder;  // below the game folder, '/' separated
    QString name;    // file name without extension and recorded texture name
    QString texPath; // recorded path prefix, ending in '/'
};

LoadingScreenTarget TargetFor(LoadingScreen s);

// Stored size and declared size of both loading screens.
inline constexpr qint32 kLoadingScreenStoredWidth = 1024;
inline constexpr qint32 kLoadingScreenStoredHeight = 1024;
inline constexpr qint32 kLoadingScreenDeclaredWidth = 1024;
inline constexpr qint32 kLoadingScreenDeclaredHeight = 768;

// Writes outputImage as the screen's background texture in the game folder.
// False (nothing written) when the game folder is empty or does not exist, or
// when the writer fails.
bool SaveLoadingScreen(TextureWriter& writer, const QString& gameFolder, LoadingScreen s,
                       const cDIBSection& outputImage);
