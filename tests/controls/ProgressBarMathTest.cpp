#include "controls/ProgressBarMath.h"

#include <gtest/gtest.h>
#include <limits>

using namespace ProgressBarMath;

TEST(ProgressBarMath, RoundsHalvesToEven)
{
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(2.500001), 3);
    EXPECT_EQ(RoundHalfEven(-0.7), -1);
    EXPECT_EQ(RoundHalfEven(1e300), std::numeric_limits<int>::max());
    EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(ProgressBarMath, PercentageFromValueAndBack)
{
    EXPECT_EQ(PercentFromValue(50, 0, 100), 50);
    EXPECT_EQ(PercentFromValue(50, 0, 200), 25);
    EXPECT_EQ(PercentFromValue(150, 0, 100), 150); // stored as is; the drawing clamps
    EXPECT_EQ(DrawnPercent(150), 100);
    EXPECT_EQ(DrawnPercent(-3), 0);
    // Halves to even: 0.5, 1.5, 2.5 and 12.5 per cent.
    EXPECT_EQ(PercentFromValue(1, 0, 200), 0);
    EXPECT_EQ(PercentFromValue(3, 0, 200), 2);
    EXPECT_EQ(PercentFromValue(5, 0, 200), 2);
    EXPECT_EQ(PercentFromValue(1, 0, 8), 12);
    // Large busy maxima (bytes of a file) do not overflow.
    EXPECT_EQ(PercentFromValue(2'000'000'000, 0, 2'100'000'000), 95);
    // No maximum: no percentage, rather than a division by zero.
    EXPECT_EQ(PercentFromValue(5, 0, 0), 0);

    EXPECT_EQ(ValueFromPercent(25, 0, 200), 50);
    EXPECT_EQ(ValueFromPercent(50, 0, 100), 50);
    EXPECT_EQ(ValueFromPercent(50, 2, 100), 25); // divided by Min when it is at least 1
    EXPECT_EQ(ValueFromPercent(1, 0, 50), 0);    // 0.5 -> 0
    EXPECT_EQ(ValueFromPercent(3, 0, 50), 2);    // 1.5 -> 2
}

TEST(ProgressBarMath, ColourTranslation)
{
    QPalette palette;
    palette.setColor(QPalette::Highlight, QColor(10, 20, 30));
    EXPECT_EQ(TranslateColour(0x000000FFu, palette), QColor(255, 0, 0));
    EXPECT_EQ(TranslateColour(0x00FF0000u, palette), QColor(0, 0, 255));
    EXPECT_EQ(TranslateColour(kSystemHighlight, palette), QColor(10, 20, 30));
    EXPECT_EQ(ColourRef(QColor(160, 170, 180)), 0x00B4AAA0u);
    EXPECT_EQ(TranslateColour(ColourRef(QColor(1, 2, 3)), palette), QColor(1, 2, 3));
}

TEST(ProgressBarMath, LightenAndBlend)
{
    EXPECT_EQ(Lighten(QColor(160, 160, 160), 150), QColor(215, 215, 215)); // 160*105/255 = 65, + 150
    EXPECT_EQ(Lighten(QColor(10, 200, 255), 100), QColor(106, 221, 255));
    EXPECT_EQ(Lighten(QColor(0, 0, 0), 150), QColor(150, 150, 150));
    EXPECT_EQ(Lighten(QColor(12, 34, 56), 0), QColor(12, 34, 56));
    EXPECT_EQ(Lighten(QColor(12, 34, 56), 255), QColor(255, 255, 255));

    EXPECT_EQ(Blend(QColor(200, 100, 0), QColor(0, 0, 255), 100), QColor(78, 39, 155));
    EXPECT_EQ(Blend(QColor(200, 100, 0), QColor(0, 0, 255), 255), QColor(200, 100, 0));
    EXPECT_EQ(Blend(QColor(200, 100, 0), QColor(0, 0, 255), 0), QColor(0, 0, 255));
}

TEST(ProgressBarMath, GradientSteps)
{
    // The top band of the status bar: from the lighter grey to the bar grey in 6 steps.
    const QVector<QColor> steps = GradientSteps(QColor(215, 215, 215), QColor(160, 160, 160), 6);
    ASSERT_EQ(steps.size(), 7);
    const int expected[] = {215, 206, 197, 188, 178, 169, 160}; // 187.5 rounds to 188
    for (int k = 0; k < 7; ++k)
        EXPECT_EQ(steps[k].red(), expected[k]) << "step " << k;
    EXPECT_EQ(GradientSteps(Qt::black, Qt::white, 0), QVector<QColor>{QColor(Qt::black)});
    EXPECT_TRUE(GradientSteps(Qt::black, Qt::white, -1).isEmpty());
}

TEST(ProgressBarMath, PlainAndSegmentedGeometry)
{
    // 50 %: 3 + round(197 * 50 / 98) = 104, lowered to an even width: 103.
    BarGeometry g = SegmentedBar(200, 50, false);
    EXPECT_EQ(g.right, 103);
    EXPECT_EQ(g.rightEdge, 103);
    // Blocks of 6 and gaps of 2: lowered to 3 + 12 * 8.
    EXPECT_EQ(SegmentedBar(200, 50, true).right, 99);
    // 0 % still shows a short bar.
    g = SegmentedBar(200, 0, false);
    EXPECT_EQ(g.right, 12);
    EXPECT_EQ(g.rightEdge, 12);
    // 100 % overshoots the client and is pulled back inside the border.
    g = SegmentedBar(200, 100, false);
    EXPECT_EQ(g.right, 203);
    EXPECT_EQ(g.rightEdge, 199);
    EXPECT_EQ(SegmentedBar(200, 250, false).rightEdge, 199);
    // A client narrower than the left margin never yields a bar left of it.
    EXPECT_GE(SegmentedBar(2, 100, true).right, 3);
}

TEST(ProgressBarMath, TextIsCentred)
{
    EXPECT_EQ(CentredTextOrigin(QSize(200, 19), QSize(30, 13)), QPoint(85, 3));
    EXPECT_EQ(CentredTextOrigin(QSize(200, 19), QSize(31, 13)), QPoint(84, 3)); // 84.5 -> 84
    EXPECT_EQ(CentredTextOrigin(QSize(200, 19), QSize(33, 14)), QPoint(84, 2)); // 83.5 -> 84, 2.5 -> 2
}
