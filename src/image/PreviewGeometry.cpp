#include "image/PreviewGeometry.h"

#include <algorithm>
#include <cmath>

int PreviewWidthFor(double screenWidth, double screenHeight)
{
    // Zero, negative or unreadable sizes fall back to a 4:3 preview.
    if (!(screenWidth > 0.0) || !(screenHeight > 0.0) || !std::isfinite(screenWidth) ||
        !std::isfinite(screenHeight))
        return 240;
    const double width = std::clamp(screenWidth / screenHeight * 180.0, 10.0, 425.0);
    return int(std::nearbyint(width));
}

int PreviewLeftFor(int boxWidth, int previewWidth)
{
    return int((static_cast<long long>(boxWidth) - previewWidth) / 2);
}
