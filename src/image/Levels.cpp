#include "image/Levels.h"

#include <algorithm>
#include <cmath>

std::array<std::uint8_t, 256> LevelsTable(qint16 black, qint16 white)
{
    std::array<std::uint8_t, 256> table{};
    for (int v = 0; v < 256; ++v) {
        if (v >= white)
            table[std::size_t(v)] = 255;
        else if (v <= black)
            table[std::size_t(v)] = 0;
        else // here white - black >= 2
            table[std::size_t(v)] =
                std::uint8_t(std::nearbyint(double(v - black) / double(white - black) * 255.0));
    }
    return table;
}

void AdjustLevels(PixelBuffer& picture, qint16 black, qint16 white)
{
    if ((black <= 0 && white >= 255) || picture.IsEmpty())
        return;
    const auto table = LevelsTable(black, white);
    // Padding bytes are mapped too: they belong to the buffer and nobody reads them.
    std::uint8_t* p = picture.Bits();
    std::uint8_t* const end = p + picture.ImageSize();
    for (; p != end; ++p)
        *p = table[*p];
}

bool LevelsChangeAnything(int black, int white)
{
    return white < 255 || black >= 1;
}

bool ApplyLevels(PixelBuffer& picture, int black, int white)
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
