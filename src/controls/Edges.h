#pragma once

#include <QColor>
#include <QPalette>
#include <QRect>

class QPainter;

// Classic 3-D edges drawn with one-pixel lines, in the two-border layout of the
// classic desktop: an outer border on the rectangle and an inner border one
// pixel in. Colours come from the palette (Dark = button shadow, Light =
// button highlight, Shadow = dark shadow, Midlight = 3-D light).
namespace Edges {

enum class Kind
{
    Etched,      // sunken outer + raised inner: the group-frame groove
    Bump,        // raised outer + sunken inner: a ridge
    SunkenOuter, // one thin sunken border
};

// A one-pixel outline of r: top and left in topLeft, bottom and right in
// bottomRight (bottom-right wins at the two shared corners).
void DrawBorder(QPainter& painter, const QRect& r, const QColor& topLeft, const QColor& bottomRight);
void DrawEdge(QPainter& painter, const QRect& r, Kind kind, const QPalette& palette);
// A plain one-pixel frame around r.
void DrawFrame(QPainter& painter, const QRect& r, const QColor& colour);

} // namespace Edges
