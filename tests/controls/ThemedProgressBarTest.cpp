#include "controls/ThemedProgressBar.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {

constexpr int W = 200;
constexpr int H = 19;

QRgb Rgb(int r, int g, int b)
{
    return qRgb(r, g, b);
}

// The status look without text, so every pixel is geometry.
void PlainGrey(ThemedProgressBar& bar)
{
    bar.ApplyStatusLook();
    bar.SetShowText(false);
}

// Dark pixels inside the border (the text is the only dark thing on a white bar).
QRect DarkPixelBounds(const QImage& image)
{
    QRect bounds;
    for (int y = 3; y < image.height() - 3; ++y)
        for (int x = 3; x < image.width() - 3; ++x)
            if (qGray(image.pixel(x, y)) < 128)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

QImage Grab(ThemedProgressBar& bar)
{
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST(ThemedProgressBar, PlainModeBorderAndCornersArePixelExact)
{
    ThemedProgressBar bar;
    PlainGrey(bar);
    bar.SetValue(50);
    const QImage img = bar.Render(QSize(W, H));
    ASSERT_EQ(img.size(), QSize(W, H));

    struct Pixel
    {
        int x, y;
        QRgb colour;
    };
    const QRgb c255 = Rgb(255, 255, 255), c166 = Rgb(172, 171, 166), c167 = Rgb(172, 171, 167);
    const QRgb c127 = Rgb(127, 126, 125), c119 = Rgb(119, 119, 119), c190 = Rgb(190, 190, 190);
    const QRgb c104 = Rgb(104, 104, 104);
    const Pixel corners[] = {
        {0, 0, c255},         {0, 1, c166},         {0, 2, c127},         {1, 0, c167},
        {1, 1, c119},         {2, 0, c127},         {2, 2, c190},         {0, H - 1, c255},
        {1, H - 1, c166},     {2, H - 1, c127},     {0, H - 3, c127},     {0, H - 2, c167},
        {1, H - 2, c119},     {W - 1, 0, c255},     {W - 1, 1, c190},     {W - 1, 2, c127},
        {W - 2, 2, c190},     {W - 2, 1, c104},     {W - 1, H - 1, c255}, {W - 1, H - 2, c190},
        {W - 1, H - 3, c127}, {W - 2, H - 2, c119}, {W - 2, H - 1, c190}, {W - 3, H - 1, c127},
    };
    for (const Pixel& p : corners)
        EXPECT_EQ(img.pixel(p.x, p.y), p.colour) << "corner (" << p.x << ", " << p.y << ")";

    // Lines stop one pixel short of their end point, as the table's corners expect.
    const QRgb c239 = Rgb(239, 239, 239);
    for (int x = 3; x <= W - 3; ++x) {
        EXPECT_EQ(img.pixel(x, 0), c104) << x;
        EXPECT_EQ(img.pixel(x, 1), c190) << x;
        EXPECT_EQ(img.pixel(x, 2), c239) << x;
        EXPECT_EQ(img.pixel(x, H - 2), c239) << x;
        if (x <= W - 4) {
            EXPECT_EQ(img.pixel(x, H - 1), c104) << x;
        }
    }
    for (int y = 3; y <= H - 3; ++y) {
        if (y <= H - 4) {
            EXPECT_EQ(img.pixel(0, y), c104) << y;
            EXPECT_EQ(img.pixel(W - 1, y), c104) << y;
        }
        EXPECT_EQ(img.pixel(1, y), c190) << y;
        EXPECT_EQ(img.pixel(2, y), c239) << y;
        EXPECT_EQ(img.pixel(W - 2, y), c239) << y;
    }

    // The bar: gradient bands in the lighter grey, the fill in the bar grey, ending at 103.
    const int bandRows[] = {215, 206, 197, 188, 178};
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(img.pixel(50, 3 + k), Rgb(bandRows[k], bandRows[k], bandRows[k])) << "row " << 3 + k;
    EXPECT_EQ(img.pixel(4, 9), Rgb(160, 160, 160));
    EXPECT_EQ(img.pixel(102, 9), Rgb(160, 160, 160));
    EXPECT_EQ(img.pixel(103, 9), c255);
    EXPECT_EQ(img.pixel(3, 9), c255);
    EXPECT_EQ(img.pixel(50, H - 4), Rgb(215, 215, 215));
    EXPECT_EQ(img.pixel(50, H - 3), c255);
}

TEST(ThemedProgressBar, PositionDrivesTheDrawing)
{
    ThemedProgressBar bar;
    PlainGrey(bar);

    bar.SetValue(0); // 0 %: still a 12-pixel bar
    QImage img = bar.Render(QSize(W, H));
    EXPECT_EQ(img.pixel(11, 9), Rgb(160, 160, 160));
    EXPECT_EQ(img.pixel(12, 9), Rgb(255, 255, 255));

    bar.SetMax(200);
    bar.SetValue(50);
    EXPECT_EQ(bar.Percent(), 25);
    EXPECT_EQ(bar.Value(), 50);

    bar.SetMax(100);
    bar.SetValue(100);
    const QImage full = bar.Render(QSize(W, H));
    bar.SetValue(250);
    EXPECT_EQ(bar.Render(QSize(W, H)), full) << "above Max draws as 100 %";
    EXPECT_EQ(full.pixel(W - 6, 9), Rgb(160, 160, 160));

    // Bounds only store: the percentage changes at the next Value write.
    bar.SetValue(50);
    bar.SetMax(200);
    EXPECT_EQ(bar.Percent(), 50);
    bar.SetMax(0);
    bar.SetValue(10); // no maximum: an empty bar, no fault
    EXPECT_EQ(bar.Percent(), 0);
}

TEST(ThemedProgressBar, TextIsCentredAndCustomTextReplacesThePercentage)
{
    ThemedProgressBar bar;
    bar.ApplyStatusLook();
    bar.SetColor(Qt::white); // the bar disappears; only the text is dark

    bar.SetValue(10);
    const QImage tenPercent = bar.Render(QSize(W, H));
    bar.SetValue(90);
    const QImage ninetyPercent = bar.Render(QSize(W, H));
    EXPECT_NE(tenPercent, ninetyPercent);

    const QRect text = DarkPixelBounds(ninetyPercent);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_NEAR(text.center().x(), W / 2, 2);
    EXPECT_NEAR(text.center().y(), H / 2, 3);

    bar.SetCustomText(QStringLiteral("Writing map..."));
    const QImage custom90 = bar.Render(QSize(W, H));
    bar.SetValue(10);
    EXPECT_EQ(bar.Render(QSize(W, H)), custom90) << "the percentage must not show through";
    EXPECT_NE(custom90, ninetyPercent);
    EXPECT_GT(DarkPixelBounds(custom90).width(), text.width());

    bar.SetCustomText(QStringLiteral("   "));
    EXPECT_TRUE(DarkPixelBounds(bar.Render(QSize(W, H))).isEmpty());

    bar.SetShowText(false);
    bar.SetCustomText(QStringLiteral("hidden"));
    EXPECT_TRUE(DarkPixelBounds(bar.Render(QSize(W, H))).isEmpty());
}

TEST(ThemedProgressBar, NewCustomTextShowsAtTheNextValueWriteEvenWithAnUnchangedPercentage)
{
    ThemedProgressBar bar;
    bar.ApplyStatusLook();
    bar.resize(W, H);
    bar.SetValue(40);
    bar.SetCustomText(QStringLiteral("Loading picture..."));
    bar.SetValue(40); // same percentage; the status text changed

    QImage copied(W, H, QImage::Format_RGB32);
    {
        QPainter p(&copied);
        bar.pDraw(p, 0, 0, 0, 0, 0, 0);
    }
    EXPECT_EQ(copied, bar.Render(QSize(W, H)));
}

TEST(ThemedProgressBar, ResizingRedrawsWithoutStalePixels)
{
    ThemedProgressBar bar;
    bar.ApplyStatusLook();
    bar.resize(W, H);
    bar.SetValue(100);
    EXPECT_EQ(Grab(bar), bar.Render(QSize(W, H)));

    bar.resize(320, 24); // grow
    EXPECT_EQ(Grab(bar), bar.Render(QSize(320, 24)));
    bar.resize(90, 17); // shrink: the larger off-screen image must not show through
    EXPECT_EQ(Grab(bar), bar.Render(QSize(90, 17)));
    bar.SetValue(7);
    bar.resize(260, 19); // grow again after a smaller drawing
    EXPECT_EQ(Grab(bar), bar.Render(QSize(260, 19)));
}

TEST(ThemedProgressBar, DoubleDensityIsTheSameDrawingAtTwiceTheScale)
{
    ThemedProgressBar bar;
    PlainGrey(bar);
    bar.SetValue(37);
    const QImage single = bar.Render(QSize(W, H));
    const QImage twice = bar.Render(QSize(W, H), 2.0);
    ASSERT_EQ(twice.size(), QSize(2 * W, 2 * H));
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            for (int d = 0; d < 4; ++d)
                ASSERT_EQ(twice.pixel(2 * x + d % 2, 2 * y + d / 2), single.pixel(x, y)) << x << ", " << y;
}

TEST(ThemedProgressBar, EveryModeAndSizeDrawsSafely)
{
    ThemedProgressBar bar;
    bar.SetShowText(true);
    QImage pattern(4, 4, QImage::Format_RGB32);
    pattern.fill(Qt::red);
    const QSize sizes[] = {QSize(W, H), QSize(1, 1), QSize(5, 3), QSize(30, 200)};
    for (int mode = -1; mode <= 10; ++mode) {
        for (int orientation = 0; orientation <= 1; ++orientation) {
            bar.SetScrolling(mode);
            bar.SetOrientation(orientation);
            bar.SetBrushStyle(mode); // includes styles outside 0..5
            bar.SetImage(mode % 2 ? pattern : QImage());
            for (int value : {0, 50, 100, 140}) {
                bar.SetValue(value);
                for (const QSize& size : sizes)
                    ASSERT_EQ(bar.Render(size).size(), size) << "mode " << mode;
            }
        }
    }
    EXPECT_TRUE(bar.Render(QSize(0, 19)).isNull());
}

TEST(ThemedProgressBar, SegmentedModeCutsBlocks)
{
    ThemedProgressBar bar;
    PlainGrey(bar);
    bar.SetScrolling(0);
    bar.SetValue(50);
    const QImage img = bar.Render(QSize(W, H));
    // Blocks of six (4..9, 12..17) with white two-pixel gaps.
    EXPECT_EQ(img.pixel(9, 9), Rgb(160, 160, 160));
    EXPECT_EQ(img.pixel(10, 9), Rgb(255, 255, 255));
    EXPECT_EQ(img.pixel(11, 9), Rgb(255, 255, 255));
    EXPECT_EQ(img.pixel(12, 9), Rgb(160, 160, 160));
}

TEST(ThemedProgressBar, MarqueeShowsItsOwnText)
{
    ThemedProgressBar bar;
    bar.SetShowText(true);
    bar.SetColor(Qt::white);
    bar.SetScrolling(2);
    const QImage marquee = bar.Render(QSize(W, H));
    bar.SetCustomText(QStringLiteral("Searching.."));
    EXPECT_EQ(bar.Render(QSize(W, H)), marquee);
}
