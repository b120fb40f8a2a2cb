#pragma once

#include <QColor>
#include <QPalette>
#include <QRect>
#include <QSize>
#include <QVector>
#include <QtGlobal>

// Pure arithmetic of the drawn progress bar: position, colours and the
// geometry of the segmented look. No widgets, so it is tested on its own.
namespace ProgressBarMath {

// Nearest integer, halves to even (0.5 -> 0, 1.5 -> 2, -2.5 -> -2). Values
// beyond the int range are clamped instead of overflowing.
int RoundHalfEven(double value);

// Percentage kept by the bar for a written Value: value * 100 / max + min,
// rounded. A max of 0 has no meaningful percentage and gives 0.
int PercentFromValue(qint64 value, qint32 min, qint32 max);
// Value read back from a percentage: (percent / 100 * max) / max(min, 1), rounded.
int ValueFromPercent(int percent, qint32 min, qint32 max);
// The percentage as the drawing uses it: never above 100 and never below 0.
int DrawnPercent(int percent);

// Colour reference as the persisted property holds it: 0x00BBGGRR, or a
// system colour index in the low bits when the high bit is set.
constexpr quint32 kSystemColourFlag = 0x80000000u;
constexpr quint32 kSystemHighlight = kSystemColourFlag | 13u;
quint32 ColourRef(const QColor& colour);
QColor TranslateColour(quint32 colourRef, const QPalette& palette);

// Each of red, green and blue becomes x * (255 - a) / 255 + a (integer
// division), capped at 255: a = 0 keeps the colour, a = 255 gives white.
QColor Lighten(const QColor& colour, int amount);
// Each component becomes c1 * a / 255 + c2 * (255 - a) / 255, rounded.
QColor Blend(const QColor& c1, const QColor& c2, int amount);
// Colours of the lines of a gradient of n steps: k = 0 .. n, from endColour
// (k = 0) to startColour (k = n). Empty when n < 0.
QVector<QColor> GradientSteps(const QColor& endColour, const QColor& startColour, int n);

// Bar geometry of the plain (mode 1) and segmented (mode 0) looks.
struct BarGeometry
{
    int left = 3;
    int right = 12;     // right end before the border adjustment
    int rightEdge = 12; // where the filled bar stops (exclusive)
    int blockWidth = 0;
    int gap = 2;
};
BarGeometry SegmentedBar(int width, int percent, bool segmented);

// Top-left of a text of textSize centred in a client of clientSize.
QPoint CentredTextOrigin(QSize clientSize, QSize textSize);

} // namespace ProgressBarMath
