#pragma once

#include "app/BusyHost.h"
#include "app/Environment.h"
#include "image/PixelBuffer.h"

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

LoadingScreenTarget TargetFor(LoadingScreen screen);

// Declared size of both loading screens (stored at the next powers of two).
inline constexpr qint32 kLoadingScreenDeclaredWidth = 1024;
inline constexpr qint32 kLoadingScreenDeclaredHeight = 768;

// Writes output (the 1024 x 768 picture, frame included) as the screen's
// background texture in the game folder. The game folder must exist.
Result<QString> WriteLoadingScreen(TextureWriter& writer, const QString& gameFolder, LoadingScreen screen,
                                   const PixelBuffer& output);

// One "save as login / character selection screen", for the Screens tab and
// the command-line tool alike.
struct LoadingScreenJob
{
    LoadingScreen screen = LoadingScreen::Login;
    QString gameFolder;
    PixelBufferPtr picture; // the 1024 x 768 source picture (not changed)
    int black = 0;          // levels to apply first (the adjustment rule decides
    int white = 255;        // whether they change anything)
    QString frame;          // frame picture laid over it; empty: none
    // An unusable frame fails the job with the frame's message; otherwise the
    // plain picture is written, as the window does.
    bool frameRequired = false;
    bool compress = false;
};

// Levels, frame and write; returns the file written.
Result<QString> SaveLoadingScreen(BusyHost& host, const Environment& environment,
                                  const LoadingScreenJob& job);
