#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>

class QPainter;

// A progress bar drawn by the program itself in the XP look, with a centred
// text. The position is kept as a percentage. Each redraw renders the whole
// bar into an off-screen image (which only ever grows) and the paint event
// copies that image to the screen in one step.
//
// Drawing modes (Scrolling): 0 segmented blocks, 1 plain bar (the program's
// look; also used for any value outside 2..9), 2 marquee, 3 flat, 4 etched
// gradient, 5 glassy, 6 dark, 7 hatched, 8 picture pattern, 9 shaded.
class ThemedProgressBar : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int Value READ Value WRITE SetValue)
    Q_PROPERTY(int Min READ Min WRITE SetMin)
    Q_PROPERTY(int Max READ Max WRITE SetMax)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(int Scrolling READ Scrolling WRITE SetScrolling)
    Q_PROPERTY(int Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(int BrushStyle READ BrushStyle WRITE SetBrushStyle)
    Q_PROPERTY(QImage Image READ Image WRITE SetImage)
    Q_PROPERTY(QFont Font READ Font WRITE SetFont)
    Q_PROPERTY(bool ShowText READ ShowText WRITE SetShowText)
    Q_PROPERTY(QString CustomText READ CustomText WRITE SetCustomText)

public:
    explicit ThemedProgressBar(QWidget* parent = nullptr);

    // The look of the main window's status bar: plain mode, grey bar,
    // horizontal hatch, percentage text in a small sans font.
    void ApplyStatusLook();

    // Redraws at once when the drawn percentage changes.
    int Value() const;
    void SetValue(int value);
    // Bounds only store; they apply to the next Value write.
    int Min() const { return m_min; }
    void SetMin(int min) { m_min = min; }
    int Max() const { return m_max; }
    void SetMax(int max) { m_max = max; }
    // The stored percentage (as written, before clamping to 0..100).
    int Percent() const { return m_percent; }

    // Bar colour; the default follows the palette's highlight colour.
    QColor Color() const;
    void SetColor(const QColor& colour);
    // Colour reference form: 0x00BBGGRR, or a system colour index with the high bit set.
    quint32 ColorRef() const { return m_colourRef; }
    void SetColorRef(quint32 colourRef);

    int Scrolling() const { return m_scrolling; }
    void SetScrolling(int mode);
    // 0 horizontal; anything else vertical (filling from the bottom).
    int Orientation() const { return m_orientation; }
    void SetOrientation(int orientation);
    // Hatch of mode 7: 0 horizontal, 1 vertical, 2 forward diagonal, 3 backward
    // diagonal, 4 cross, 5 diagonal cross. Only stores.
    int BrushStyle() const { return m_brushStyle; }
    void SetBrushStyle(int style) { m_brushStyle = style; }
    // Pattern picture of mode 8.
    QImage Image() const { return m_image; }
    void SetImage(const QImage& image);
    QFont Font() const { return font(); }
    void SetFont(const QFont& f) { setFont(f); }
    bool ShowText() const { return m_showText; }
    void SetShowText(bool show);
    // Shown instead of the percentage from the next redraw on; empty shows the percentage.
    QString CustomText() const { return m_customText; }
    void SetCustomText(const QString& text);

    // The whole redraw into the off-screen image, then a repaint request.
    void DrawProgressBar();
    // Renders the bar as it would look at the given size, independent of the widget's own size.
    QImage Render(QSize size, qreal devicePixelRatio = 1.0) const;
    // Copies a part of the off-screen image (logical pixels) to a painter; a
    // width or height of 0 or less copies the whole image.
    void pDraw(QPainter& hdc, int xSrc, int ySrc, int WidthSrc, int HeightSrc, int xDst, int yDst) const;

    // A one-pixel solid line that, like the classic line primitive, leaves out
    // its end point.
    static void DrawLine(int X1, int Y1, int X2, int Y2, QPainter& hdc, const QColor& colour);
    // Gradient lines from lEndColor (first line) to lStartcolor (last line). With
    // bH, X2 is the number of steps and lines run vertically from Y to Y2;
    // otherwise Y2 is the number of steps and lines run horizontally from X to X2.
    static void DrawGradient(const QColor& lEndColor, const QColor& lStartcolor, int X, int Y, int X2, int Y2,
                             QPainter& hdc, bool bH);

    // Everything one redraw depends on.
    struct State;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    State Snapshot() const;
    static void Paint(QPainter& p, int width, int height, const State& s);
    bool EnsureSurface();

    int m_percent = 0;
    int m_min = 0;
    int m_max = 100;
    quint32 m_colourRef;
    int m_scrolling = 0;
    int m_orientation = 0;
    int m_brushStyle = 4;
    QImage m_image;
    bool m_showText = false;
    QString m_customText;

    QImage m_surface;
    // The off-screen image no longer shows the current state (text, font, palette changed).
    bool m_dirty = true;
    // Logical size the off-screen image was last drawn at.
    QSize m_drawnSize;
};
