#include "image/Levels.h"

#include <algorithm>
#include <cmath>

std::array<std::uint8_t, 256> LevelsTable(qint16 Black, qint16 White)
{
    std::array<std::uint8_t, 256> table{};
    for (int v = 0; v < 256; ++v) {
        if (v >= White)
            table[std::size_t(v)] = 255;
        else if (v <= Black)
            table[std::size_t(v)] = 0;
        else // here White - Black >= 2
            table[std::size_t(v)] =
                std::uint8_t(std::nearbyint(double(v - Black) / double(White - Black) * 255.0));
    }
    return table;
}

void AdjustLevels(cDIBSection& cDib, qint16 Black, qint16 White)
{
    if ((Black <= 0 && White >= 255) || cDib.IsEmpty())
        return;
    const auto table = LevelsTable(Black, White);
    // Padding bytes are mapped too: they belong to the buffer and nobody reads them.
    std::uint8_t* p = cDib.DIBSectionBitsPtr();
    std::uint8_t* const end = p + cDib.ImageSize();
    for (; p != end; ++p)
        *p = table[*p];
}

bool LevelsChangeAnything(int black, int white)
{
    return white < 255 || black >= 1;
}

bool ApplyLevels(cDIBSection& picture, int black, int white)
{
    if (!LevelsChangeAnything(black, white) || picture.IsEmpty())
        return false;
    AdjustLevels(picture, qint16(std::clamp(black, -32768, 32767)), qint16(std::clamp(white, -32768, 32767)));
    return true;
}

int PushBackBlack(int black, int white)
{
    int b = std::clamp(black, 0, 255);
    if (b >= white)
        b = white - 1;
    return std::clamp(b, 0, 255);
}

int PushBackWhite(int black, int white)
{
    int w = std::clamp(white, 0, 255);
    if (w <= black)
        w = black + 1;
    return std::clamp(w, 0, 255);
}
