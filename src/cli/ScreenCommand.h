#pragma once

#include "app/Environment.h"

#include <QString>
#include <cstdio>

// What `lumivale-cli screen` was asked to do.
struct ScreenRequest
{
    bool login = true;
    QString picture;
    QString gameFolder;
    QString frame; // empty: no frame
    bool compress = false;
    int black = 0;
    int white = 255;
};

// Exit codes of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Loads the picture at 1024 x 768 and saves it, with levels and frame, as the
// loading screen. Progress and messages go to err. Returns an exit code.
int RunScreenCommand(const ScreenRequest& request, const Environment& environment, std::FILE* err);
