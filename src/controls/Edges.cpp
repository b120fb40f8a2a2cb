#include "controls/Edges.h"

#include <QPainter>

namespace Edges {

void DrawBorder(QPainter& painter, const QRect& r, const QColor& topLeft, const QColor& bottomRight)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    painter.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
}

void DrawEdge(QPainter& painter, const QRect& r, Kind kind, const QPalette& palette)
{
    const QColor shadow = palette.color(QPalette::Dark);
    const QColor highlight = palette.color(QPalette::Light);
    const QColor darkShadow = palette.color(QPalette::Shadow);
    const QColor light = palette.color(QPalette::Midlight);
    const QRect inner = r.adjusted(1, 1, -1, -1);
    switch (kind) {
    case Kind::Etched:
        DrawBorder(painter, r, shadow, highlight);
        DrawBorder(painter, inner, highlight, shadow);
        break;
    case Kind::Bump:
        DrawBorder(painter, r, light, darkShadow);
        DrawBorder(painter, inner, shadow, highlight);
        break;
    case Kind::SunkenOuter:
        DrawBorder(painter, r, shadow, highlight);
        break;
    }
}

void DrawFrame(QPainter& painter, const QRect& r, const QColor& colour)
{
    DrawBorder(painter, r, colour, colour);
}

} // namespace Edges
