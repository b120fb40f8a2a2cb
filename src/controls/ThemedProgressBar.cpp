#include "controls/ThemedProgressBar.h"

#include "controls/Edges.h"
#include "controls/ProgressBarMath.h"

#include <QEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstdlib>

using namespace ProgressBarMath;

struct ThemedProgressBar::State
{
    int percent = 0; // already clamped to 0..100
    int mode = 0;
    int orientation = 0;
    int brushStyle = 4;
    QColor colour;
    QImage image;
    QFont font;
    QPalette palette;
    bool showText = false;
    QString customText;
};

namespace {

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);

// Fills the half-open box x1 <= x < x2, y1 <= y < y2; an empty or inverted box draws nothing.
void FillBox(QPainter& p, int x1, int y1, int x2, int y2, const QBrush& brush)
{
    if (x2 > x1 && y2 > y1)
        p.fillRect(QRect(x1, y1, x2 - x1, y2 - y1), brush);
}

void SetPixel(QPainter& p, int x, int y, const QColor& c)
{
    p.fillRect(QRect(x, y, 1, 1), c);
}

Qt::BrushStyle HatchStyle(int style)
{
    switch (style) {
    case 0:
        return Qt::HorPattern;
    case 1:
        return Qt::VerPattern;
    case 2:
        return Qt::FDiagPattern;
    case 3:
        return Qt::BDiagPattern;
    case 5:
        return Qt::DiagCrossPattern;
    default:
        return Qt::CrossPattern;
    }
}

// Inner highlights, the dark frame and the rounded corners of the XP look.
void DrawXPBorder(QPainter& p, int W, int H)
{
    const QColor c190(190, 190, 190), c239(239, 239, 239), c104(104, 104, 104);
    const QColor c255(255, 255, 255), c172a(172, 171, 166), c172b(172, 171, 167);
    const QColor c127(127, 126, 125), c119(119, 119, 119);
    ThemedProgressBar::DrawLine(2, 1, W - 2, 1, p, c190);
    ThemedProgressBar::DrawLine(2, H - 2, W - 2, H - 2, p, c239);
    ThemedProgressBar::DrawLine(1, 2, 1, H - 2, p, c190);
    ThemedProgressBar::DrawLine(2, 2, 2, H - 2, p, c239);
    ThemedProgressBar::DrawLine(2, 2, W - 2, 2, p, c239);
    ThemedProgressBar::DrawLine(W - 2, 2, W - 2, H - 2, p, c239);
    Edges::DrawFrame(p, QRect(0, 0, W, H), c104);

    SetPixel(p, 0, 0, c255);
    SetPixel(p, 0, 1, c172a);
    SetPixel(p, 0, 2, c127);
    SetPixel(p, 1, 0, c172b);
    SetPixel(p, 1, 1, c119);
    SetPixel(p, 2, 0, c127);
    SetPixel(p, 2, 2, c190);
    SetPixel(p, 0, H - 1, c255);
    SetPixel(p, 1, H - 1, c172a);
    SetPixel(p, 2, H - 1, c127);
    SetPixel(p, 0, H - 3, c127);
    SetPixel(p, 0, H - 2, c172b);
    SetPixel(p, 1, H - 2, c119);
    SetPixel(p, W - 1, 0, c255);
    SetPixel(p, W - 1, 1, c190);
    SetPixel(p, W - 1, 2, c127);
    SetPixel(p, W - 2, 2, c190);
    SetPixel(p, W - 2, 1, c104);
    SetPixel(p, W - 1, H - 1, c255);
    SetPixel(p, W - 1, H - 2, c190);
    SetPixel(p, W - 1, H - 3, c127);
    SetPixel(p, W - 2, H - 2, c119);
    SetPixel(p, W - 2, H - 1, c190);
    SetPixel(p, W - 3, H - 1, c127);
}

void DrawPlainOrBlocks(QPainter& p, int W, int H, int percent, bool blocks, const QColor& colour)
{
    const BarGeometry g = SegmentedBar(W, percent, blocks);
    const QColor lighter = Lighten(colour, 150);
    ThemedProgressBar::DrawGradient(lighter, colour, 4, 3, g.rightEdge, 6, p, false);
    FillBox(p, 4, 8, g.rightEdge, H - 8, colour);
    ThemedProgressBar::DrawGradient(colour, lighter, 4, H - 10, g.rightEdge, 6, p, false);
    if (blocks) {
        for (int x = g.left + g.blockWidth; x <= g.rightEdge; x += g.blockWidth + g.gap)
            FillBox(p, x + 1, 0, x + 3, H, kWhite);
    }
    DrawXPBorder(p, W, H);
}

void DrawMarquee(QPainter& p, int W, int H, int percent, const QColor& colour)
{
    const BarGeometry g = SegmentedBar(W, percent, false);
    const int start = g.right - RoundHalfEven((100 - percent) * 45 / 100.0);
    p.save();
    p.setClipRect(QRect(3, 0, std::max(0, W - 6), H));
    for (int k = 0; k < 3; ++k) {
        ThemedProgressBar::DrawGradient(Lighten(colour, 220 - 40 * k), Lighten(colour, 200 - 40 * k),
                                        start + 12 * k, 3, 9, H - 2, p, true);
    }
    p.restore();
    DrawXPBorder(p, W, H);
}

int Scaled(int size, int percent, double divisor)
{
    return RoundHalfEven(static_cast<double>(size) * percent / divisor);
}

void DrawBar(QPainter& p, int W, int H, const ThemedProgressBar::State& s)
{
    const QColor& c = s.colour;
    switch (s.mode) {
    case 2:
        DrawMarquee(p, W, H, s.percent, c);
        break;
    case 3: {
        const int right = std::min(Scaled(W, s.percent, 100), W - 1);
        Edges::DrawFrame(p, QRect(0, 0, W, H), Lighten(c, 100));
        FillBox(p, 1, 1, right, H - 1, Lighten(c, 180));
        break;
    }
    case 4: {
        const int right = Scaled(W - 4, s.percent, 100);
        Edges::DrawEdge(p, QRect(0, 0, W, H), Edges::Kind::Etched, s.palette);
        ThemedProgressBar::DrawGradient(Lighten(c, 140), Lighten(c, 200), 2, 2, right - 3, H - 3, p, true);
        break;
    }
    case 5: {
        const int right = std::min(Scaled(W, s.percent, 101), W - 3);
        Edges::DrawFrame(p, QRect(0, 0, W, H), Lighten(c, 10));
        ThemedProgressBar::DrawGradient(c, Lighten(c, 100), 2, 2, W - 2, H - 5, p, false);
        ThemedProgressBar::DrawGradient(Lighten(c, 250), c, 3, 3, right, H - 6, p, false);
        if (right >= 3)
            ThemedProgressBar::DrawLine(right, 2, right, H - 2, p, Lighten(c, 25));
        break;
    }
    case 6: {
        const int right = Scaled(W - 5, s.percent, 100);
        Edges::DrawFrame(p, QRect(0, 0, W, H), Blend(c, kBlack, 200));
        ThemedProgressBar::DrawGradient(kBlack, Lighten(Blend(c, kBlack, 100), 10), 2, 2, right - 3, H - 2, p,
                                        true);
        break;
    }
    case 7: {
        const int right = std::min(Scaled(W, s.percent, 101), W - 2);
        Edges::DrawEdge(p, QRect(0, 0, W, H), Edges::Kind::Bump, s.palette);
        FillBox(p, 2, 2, right, H - 2, Lighten(c, 140));
        FillBox(p, 2, 2, right, H - 2, QBrush(c, HatchStyle(s.brushStyle)));
        break;
    }
    case 8: {
        Edges::DrawEdge(p, QRect(0, 0, W, H), Edges::Kind::SunkenOuter, s.palette);
        if (!s.image.isNull()) {
            const int width = std::min(Scaled(W, s.percent, 101), W - 4);
            FillBox(p, 2, 2, 2 + width, H - 2, QBrush(s.image));
        }
        break;
    }
    case 9: {
        const int right = 2 + Scaled(W - 4, s.percent, 100);
        Edges::DrawEdge(p, QRect(0, 0, W, H), Edges::Kind::SunkenOuter, s.palette);
        const int middle = RoundHalfEven((H - 3) / 2.0);
        const QColor grey(192, 192, 192);
        for (int y = 2; y < H - 2; ++y) {
            const double t =
                middle > 0 ? std::min(1.0, std::abs(y - middle) / static_cast<double>(middle)) : 0;
            ThemedProgressBar::DrawLine(2, y, right, y, p, Blend(grey, kWhite, RoundHalfEven(t * 255)));
        }
        break;
    }
    default:
        DrawPlainOrBlocks(p, W, H, s.percent, s.mode == 0, c);
        break;
    }
}

void DrawText(QPainter& p, int W, int H, const ThemedProgressBar::State& s)
{
    QString text = s.customText;
    if (text.isEmpty())
        text =
            s.mode == 2 ? QStringLiteral("Searching..") : QString::number(s.percent) + QStringLiteral(" %");
    p.setFont(s.font);
    const QFontMetrics fm(s.font, p.device());
    const QSize textSize = fm.size(Qt::TextSingleLine, text);
    const QRect box(CentredTextOrigin(QSize(W, H), textSize), textSize);
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;

    if (s.mode != 6 && s.mode != 9) {
        p.setPen(kBlack);
        p.drawText(box, flags, text);
        return;
    }
    // Two passes: the part of the text beside the bar in the plain colour, the
    // part over the bar in a colour that stands out against it.
    const int barEnd = Scaled(W, s.percent, 100);
    const QColor plain = s.mode == 6 ? QColor(192, 192, 192) : kBlack;
    const QColor overBar = s.mode == 6 ? kWhite : s.colour;
    p.save();
    if (box.right() + 1 >= barEnd) {
        p.setClipRect(QRect(barEnd, 0, std::max(0, W - barEnd), H));
        p.setPen(plain);
        p.drawText(box, flags, text);
    }
    if (box.left() <= barEnd) {
        p.setClipRect(QRect(0, 0, std::max(0, barEnd), H));
        p.setPen(overBar);
        p.drawText(box, flags, text);
    }
    p.restore();
}

} // namespace

ThemedProgressBar::ThemedProgressBar(QWidget* parent) : QWidget(parent), m_colourRef(kSystemHighlight)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ThemedProgressBar::ApplyStatusLook()
{
    SetBrushStyle(0);
    SetColor(QColor(160, 160, 160));
    SetScrolling(1);
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    f.setPointSizeF(8.25);
    f.setWeight(QFont::Normal);
    f.setItalic(false);
    SetFont(f);
    SetShowText(true);
}

int ThemedProgressBar::Value() const
{
    return ValueFromPercent(m_percent, m_min, m_max);
}

void ThemedProgressBar::SetValue(int value)
{
    const int percent = PercentFromValue(value, m_min, m_max);
    const bool unchanged = DrawnPercent(percent) == DrawnPercent(m_percent);
    m_percent = percent;
    // A write that changes nothing visible skips the render: the busy protocol
    // writes the value once per row, far more often than the percentage moves.
    if (unchanged && !m_dirty && m_drawnSize == size())
        return;
    DrawProgressBar();
}

QColor ThemedProgressBar::Color() const
{
    return TranslateColour(m_colourRef, palette());
}

void ThemedProgressBar::SetColor(const QColor& colour)
{
    SetColorRef(colour.isValid() ? ColourRef(colour) : kSystemHighlight);
}

void ThemedProgressBar::SetColorRef(quint32 colourRef)
{
    m_colourRef = colourRef;
    DrawProgressBar();
}

void ThemedProgressBar::SetScrolling(int mode)
{
    m_scrolling = mode;
    DrawProgressBar();
}

void ThemedProgressBar::SetOrientation(int orientation)
{
    m_orientation = orientation;
    updateGeometry();
    DrawProgressBar();
}

void ThemedProgressBar::SetImage(const QImage& image)
{
    m_image = image;
    DrawProgressBar();
}

void ThemedProgressBar::SetShowText(bool show)
{
    m_showText = show;
    DrawProgressBar();
}

void ThemedProgressBar::SetCustomText(const QString& text)
{
    if (text != m_customText)
        m_dirty = true;
    m_customText = text;
}

ThemedProgressBar::State ThemedProgressBar::Snapshot() const
{
    State s;
    s.percent = DrawnPercent(m_percent);
    s.mode = m_scrolling;
    s.orientation = m_orientation;
    s.brushStyle = m_brushStyle;
    s.colour = Color();
    s.image = m_image;
    s.font = font();
    s.palette = palette();
    s.showText = m_showText;
    s.customText = m_customText;
    return s;
}

void ThemedProgressBar::Paint(QPainter& p, int width, int height, const State& s)
{
    if (width <= 0 || height <= 0)
        return;
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(0, 0, width, height), s.mode == 6 ? kBlack : kWhite);
    if (s.orientation == 0) {
        DrawBar(p, width, height, s);
    } else {
        // Vertical: the horizontal bar turned a quarter to the left, so it fills
        // from the bottom; the text stays upright.
        const qreal dpr = p.device()->devicePixelRatioF();
        QImage turned(QSize(height, width) * dpr, QImage::Format_RGB32);
        if (turned.isNull())
            return;
        turned.setDevicePixelRatio(dpr);
        {
            QPainter tp(&turned);
            tp.fillRect(QRect(0, 0, height, width), s.mode == 6 ? kBlack : kWhite);
            DrawBar(tp, height, width, s);
        }
        p.drawImage(QRect(0, 0, width, height), turned.transformed(QTransform().rotate(-90)));
    }
    if (s.showText)
        DrawText(p, width, height, s);
}

QImage ThemedProgressBar::Render(QSize size, qreal devicePixelRatio) const
{
    if (size.isEmpty())
        return QImage();
    QImage image(size * devicePixelRatio, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.setDevicePixelRatio(devicePixelRatio);
    QPainter p(&image);
    Paint(p, size.width(), size.height(), Snapshot());
    return image;
}

bool ThemedProgressBar::EnsureSurface()
{
    const qreal dpr = devicePixelRatioF();
    const QSize needed = size() * dpr;
    if (needed.isEmpty())
        return !m_surface.isNull();
    if (!m_surface.isNull() && m_surface.devicePixelRatio() == dpr && m_surface.width() >= needed.width() &&
        m_surface.height() >= needed.height())
        return true;
    // Grow only: keep the larger of the old and new extents in each direction.
    QSize grown = needed;
    if (!m_surface.isNull() && m_surface.devicePixelRatio() == dpr)
        grown = grown.expandedTo(m_surface.size());
    m_surface = QImage(grown, QImage::Format_RGB32);
    if (!m_surface.isNull())
        m_surface.setDevicePixelRatio(dpr);
    m_dirty = true;
    return !m_surface.isNull();
}

void ThemedProgressBar::DrawProgressBar()
{
    if (EnsureSurface()) {
        QPainter p(&m_surface);
        Paint(p, width(), height(), Snapshot());
        m_dirty = false;
        m_drawnSize = size();
    }
    update();
}

void ThemedProgressBar::pDraw(QPainter& hdc, int xSrc, int ySrc, int WidthSrc, int HeightSrc, int xDst,
                              int yDst) const
{
    if (m_surface.isNull())
        return;
    const qreal dpr = m_surface.devicePixelRatio();
    if (WidthSrc <= 0 || HeightSrc <= 0) {
        xSrc = ySrc = 0;
        WidthSrc = RoundHalfEven(m_surface.width() / dpr);
        HeightSrc = RoundHalfEven(m_surface.height() / dpr);
    }
    const QRectF source(xSrc * dpr, ySrc * dpr, WidthSrc * dpr, HeightSrc * dpr);
    hdc.drawImage(QRectF(xDst, yDst, WidthSrc, HeightSrc), m_surface, source);
}

void ThemedProgressBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!EnsureSurface()) {
        // No off-screen image could be made: draw straight onto the widget.
        Paint(p, width(), height(), Snapshot());
        return;
    }
    if (m_dirty || m_drawnSize != size()) {
        QPainter sp(&m_surface);
        Paint(sp, width(), height(), Snapshot());
        m_dirty = false;
        m_drawnSize = size();
    }
    pDraw(p, 0, 0, width(), height(), 0, 0);
}

void ThemedProgressBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    EnsureSurface();
}

void ThemedProgressBar::changeEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
        m_dirty = true;
        update();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

QSize ThemedProgressBar::sizeHint() const
{
    return m_orientation == 0 ? QSize(200, 19) : QSize(19, 200);
}

QSize ThemedProgressBar::minimumSizeHint() const
{
    return m_orientation == 0 ? QSize(24, 19) : QSize(19, 24);
}

void ThemedProgressBar::DrawLine(int X1, int Y1, int X2, int Y2, QPainter& hdc, const QColor& colour)
{
    if (X1 == X2 && Y1 == Y2)
        return;
    if (Y1 == Y2) {
        FillBox(hdc, std::min(X1, X2 + 1), Y1, std::max(X1 + 1, X2), Y1 + 1, colour);
        return;
    }
    if (X1 == X2) {
        FillBox(hdc, X1, std::min(Y1, Y2 + 1), X1 + 1, std::max(Y1 + 1, Y2), colour);
        return;
    }
    // Any other slope: step along the longer axis and stop before the end point.
    const int dx = std::abs(X2 - X1), dy = std::abs(Y2 - Y1);
    const int steps = std::max(dx, dy);
    for (int i = 0; i < steps; ++i) {
        const int x = X1 + RoundHalfEven(static_cast<double>(X2 - X1) * i / steps);
        const int y = Y1 + RoundHalfEven(static_cast<double>(Y2 - Y1) * i / steps);
        SetPixel(hdc, x, y, colour);
    }
}

void ThemedProgressBar::DrawGradient(const QColor& lEndColor, const QColor& lStartcolor, int X, int Y, int X2,
                                     int Y2, QPainter& hdc, bool bH)
{
    const QVector<QColor> steps = GradientSteps(lEndColor, lStartcolor, bH ? X2 : Y2);
    for (int k = 0; k < steps.size(); ++k) {
        if (bH)
            DrawLine(X + k, Y, X + k, Y2, hdc, steps[k]);
        else
            DrawLine(X, Y + k, X2, Y + k, hdc, steps[k]);
    }
}
