#include "controls/ProgressBarMath.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ProgressBarMath {

int RoundHalfEven(double value)
{
    if (std::isnan(value))
        return 0;
    constexpr double lo = std::numeric_limits<int>::min();
    constexpr double hi = std::numeric_limits<int>::max();
    if (value <= lo)
        return std::numeric_limits<int>::min();
    if (value >= hi)
        return std::numeric_limits<int>::max();
    const double floorValue = std::floor(value);
    const double fraction = value - floorValue;
    double result = floorValue;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floorValue, 2.0) != 0.0))
        result = floorValue + 1.0;
    return static_cast<int>(result);
}

int PercentFromValue(qint64 value, qint32 min, qint32 max)
{
    if (max == 0)
        return 0;
    return RoundHalfEven(static_cast<double>(value) * 100.0 / max + min);
}

int ValueFromPercent(int percent, qint32 min, qint32 max)
{
    const double divisor = min >= 1 ? min : 1;
    return RoundHalfEven(percent / 100.0 * max / divisor);
}

int DrawnPercent(int percent)
{
    return std::clamp(percent, 0, 100);
}

quint32 ColourRef(const QColor& colour)
{
    const QRgb rgb = colour.rgb();
    return static_cast<quint32>(qRed(rgb)) | static_cast<quint32>(qGreen(rgb)) << 8 |
           static_cast<quint32>(qBlue(rgb)) << 16;
}

namespace {

QColor SystemColour(quint32 index, const QPalette& p)
{
    switch (index) {
    case 0:  // scroll bar
    case 4:  // menu
    case 15: // button face
        return p.color(QPalette::Button);
    case 1:  // desktop
    case 12: // application workspace
        return p.color(QPalette::Dark);
    case 2:  // active caption
    case 13: // highlight
        return p.color(QPalette::Highlight);
    case 3: // inactive caption
        return p.color(QPalette::Inactive, QPalette::Highlight);
    case 5: // window
        return p.color(QPalette::Base);
    case 6:  // window frame
    case 21: // 3D dark shadow
        return p.color(QPalette::Shadow);
    case 7: // menu text
    case 8: // window text
        return p.color(QPalette::WindowText);
    case 9:  // caption text
    case 14: // highlight text
        return p.color(QPalette::HighlightedText);
    case 10: // active border
    case 11: // inactive border
        return p.color(QPalette::Window);
    case 16: // button shadow
        return p.color(QPalette::Dark);
    case 17: // grey text
        return p.color(QPalette::Disabled, QPalette::WindowText);
    case 18: // button text
        return p.color(QPalette::ButtonText);
    case 19: // inactive caption text
        return p.color(QPalette::Inactive, QPalette::HighlightedText);
    case 20: // button highlight
        return p.color(QPalette::Light);
    case 22: // 3D light
        return p.color(QPalette::Midlight);
    case 23: // tooltip text
        return p.color(QPalette::ToolTipText);
    case 24: // tooltip back
        return p.color(QPalette::ToolTipBase);
    case 26: // hot-tracked item
        return p.color(QPalette::Link);
    default:
        return QColor(0, 0, 0);
    }
}

int Channel(const QColor& c, int which)
{
    const QRgb rgb = c.rgb();
    return which == 0 ? qRed(rgb) : which == 1 ? qGreen(rgb) : qBlue(rgb);
}

} // namespace

QColor TranslateColour(quint32 colourRef, const QPalette& palette)
{
    if (colourRef & kSystemColourFlag)
        return SystemColour(colourRef & 0xFFFFu, palette);
    return QColor(static_cast<int>(colourRef & 0xFF), static_cast<int>((colourRef >> 8) & 0xFF),
                  static_cast<int>((colourRef >> 16) & 0xFF));
}

QColor Lighten(const QColor& colour, int amount)
{
    int out[3];
    for (int i = 0; i < 3; ++i) {
        const int x = Channel(colour, i);
        out[i] = std::clamp(x * (255 - amount) / 255 + amount, 0, 255);
    }
    return QColor(out[0], out[1], out[2]);
}

QColor Blend(const QColor& c1, const QColor& c2, int amount)
{
    int out[3];
    for (int i = 0; i < 3; ++i) {
        // One division, so a sum that is exactly a half stays exact.
        const double v = (Channel(c1, i) * amount + Channel(c2, i) * (255 - amount)) / 255.0;
        out[i] = std::clamp(RoundHalfEven(v), 0, 255);
    }
    return QColor(out[0], out[1], out[2]);
}

QVector<QColor> GradientSteps(const QColor& endColour, const QColor& startColour, int n)
{
    QVector<QColor> steps;
    if (n < 0)
        return steps;
    steps.reserve(n + 1);
    for (int k = 0; k <= n; ++k) {
        int c[3];
        // end + k * (start - end) / n, divided last so halves come out exact.
        for (int i = 0; i < 3; ++i) {
            const int end = Channel(endColour, i);
            const int diff = Channel(startColour, i) - end;
            const double v = n > 0 ? end + static_cast<double>(k) * diff / n : end;
            c[i] = std::clamp(RoundHalfEven(v), 0, 255);
        }
        steps.append(QColor(c[0], c[1], c[2]));
    }
    return steps;
}

BarGeometry SegmentedBar(int width, int percent, bool segmented)
{
    BarGeometry g;
    g.blockWidth = segmented ? 6 : 0;
    const int pitch = g.blockWidth + g.gap;
    int right = g.left + RoundHalfEven(static_cast<double>(width - g.left) * DrawnPercent(percent) / 98.0);
    right = g.left + std::max(0, (right - g.left) / pitch) * pitch;
    if (right < 15)
        right = 12;
    g.right = right;
    g.rightEdge = right + 4 > width ? right - 4 : right;
    return g;
}

QPoint CentredTextOrigin(QSize clientSize, QSize textSize)
{
    return QPoint(RoundHalfEven(clientSize.width() / 2.0 - textSize.width() / 2.0),
                  RoundHalfEven(clientSize.height() / 2.0 - textSize.height() / 2.0));
}

} // namespace ProgressBarMath
