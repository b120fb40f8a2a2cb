#include "controls/ThemedFrame.h"

#include "controls/ProgressBarMath.h"

#include <QFontMetrics>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

namespace {

QImage Grab(QWidget& w)
{
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// First row, from the top, whose pixel in column x differs from the background.
int FirstMarkedRow(const QImage& img, int x, QRgb background)
{
    for (int y = 0; y < img.height(); ++y)
        if (img.pixel(x, y) != background)
            return y;
    return -1;
}

struct StyledFrame
{
    explicit StyledFrame(const char* styleName) : style(QStyleFactory::create(QString::fromLatin1(styleName)))
    {
        frame.setStyle(style.get());
        frame.resize(160, 60);
    }
    std::unique_ptr<QStyle> style;
    ThemedFrame frame;
};

} // namespace

TEST(ThemedFrame, ThemedFollowsTheStyle)
{
    StyledFrame classic("Windows");
    EXPECT_FALSE(classic.frame.Themed());
    EXPECT_EQ(classic.frame.Layout().indent, 4);
    EXPECT_EQ(classic.frame.Layout().gap, 1);

    StyledFrame themed("Fusion");
    EXPECT_TRUE(themed.frame.Themed());
    EXPECT_EQ(themed.frame.Layout().indent, 9);
    EXPECT_EQ(themed.frame.Layout().gap, 2);

    themed.frame.SetThemedOverride(false);
    EXPECT_FALSE(themed.frame.Themed());
}

TEST(ThemedFrame, CaptionGeometry)
{
    ThemedFrame frame(QStringLiteral("&Login"));
    frame.SetThemedOverride(true);
    frame.resize(160, 60);
    const QFontMetrics fm(frame.font());
    const ThemedFrame::Geometry g = frame.Layout();
    EXPECT_EQ(g.captionSize, QSize(fm.horizontalAdvance(QStringLiteral("Login")), fm.height()))
        << "measured without the mnemonic mark";
    EXPECT_EQ(g.frameRect, QRect(0, ProgressBarMath::RoundHalfEven(fm.height() / 2.0), 160,
                                 60 - ProgressBarMath::RoundHalfEven(fm.height() / 2.0)));
    EXPECT_EQ(g.captionRect.topLeft(), QPoint(9, 0));
    EXPECT_EQ(g.gapRect, QRect(7, 0, g.captionSize.width() + 4, fm.height()));
    // Children sit below the caption.
    EXPECT_GT(frame.contentsRect().top(), fm.height());

    frame.SetCaption(QString());
    const ThemedFrame::Geometry empty = frame.Layout();
    EXPECT_EQ(empty.captionSize.width(), fm.horizontalAdvance(QLatin1Char(' ')));
    EXPECT_EQ(empty.frameRect.top(), ProgressBarMath::RoundHalfEven(fm.height() / 2.0));
    EXPECT_TRUE(empty.gapRect.isEmpty());
}

TEST(ThemedFrame, MnemonicMarksAreNotMeasured)
{
    EXPECT_EQ(ThemedFrame::MeasuredText(QStringLiteral("&Login")), QStringLiteral("Login"));
    EXPECT_EQ(ThemedFrame::MeasuredText(QStringLiteral("Pocket &D")), QStringLiteral("Pocket D"));
    EXPECT_EQ(ThemedFrame::MeasuredText(QStringLiteral("Save && &Load")), QStringLiteral("Save & Load"));
    EXPECT_EQ(ThemedFrame::MeasuredText(QString()), QStringLiteral(" "));

    // Drawn with the letter underlined, in both looks.
    for (const char* styleName : {"Windows", "Fusion"}) {
        StyledFrame plain(styleName), marked(styleName);
        plain.frame.SetCaption(QStringLiteral("Login"));
        marked.frame.SetCaption(QStringLiteral("&Login"));
        EXPECT_EQ(plain.frame.Layout().captionSize, marked.frame.Layout().captionSize) << styleName;
        EXPECT_NE(Grab(plain.frame), Grab(marked.frame)) << styleName;
    }
}

TEST(ThemedFrame, FrameLineRunsThroughTheMiddleOfTheCaption)
{
    for (const char* styleName : {"Windows", "Fusion"}) {
        StyledFrame s(styleName);
        s.frame.SetCaption(QStringLiteral("BoomBox"));
        const ThemedFrame::Geometry g = s.frame.Layout();
        const QImage img = Grab(s.frame);
        const QRgb back = s.frame.palette().color(s.frame.backgroundRole()).rgb();
        // Right of the caption the style's line starts exactly at the frame's top.
        EXPECT_EQ(FirstMarkedRow(img, 140, back), g.frameRect.top()) << styleName;
        // The gap left of the caption is cleared down to the caption's bottom.
        EXPECT_GE(FirstMarkedRow(img, g.indent - g.gap, back), g.captionSize.height()) << styleName;

        // No caption: no gap, the line runs through the caption's place.
        s.frame.SetCaption(QString());
        const QImage bare = Grab(s.frame);
        EXPECT_EQ(FirstMarkedRow(bare, g.indent - g.gap, back), s.frame.Layout().frameRect.top())
            << styleName;
    }
}

TEST(ThemedFrame, DisablingBlocksChildrenAndGreysTheCaption)
{
    for (const char* styleName : {"Windows", "Fusion"}) {
        StyledFrame s(styleName);
        s.frame.SetCaption(QStringLiteral("Source sound file"));
        auto* layout = new QVBoxLayout(&s.frame);
        auto* button = new QPushButton(QStringLiteral("Browse"));
        auto* fixedOff = new QPushButton(QStringLiteral("Off"));
        layout->addWidget(button);
        layout->addWidget(fixedOff);
        fixedOff->setEnabled(false);
        const QImage enabledLook = Grab(s.frame);

        s.frame.SetEnabled(false);
        EXPECT_FALSE(s.frame.Enabled());
        EXPECT_FALSE(button->isEnabled());
        EXPECT_NE(Grab(s.frame), enabledLook) << styleName;

        s.frame.SetEnabled(true);
        EXPECT_TRUE(s.frame.Enabled());
        EXPECT_TRUE(button->isEnabled());
        EXPECT_FALSE(fixedOff->isEnabled()) << "a control disabled on its own stays disabled";
        EXPECT_EQ(Grab(s.frame), enabledLook) << styleName;
    }
}

TEST(ThemedFrame, CaptionDefaultsToTheObjectName)
{
    ThemedFrame frame;
    frame.setObjectName(QStringLiteral("Frame1"));
    EXPECT_EQ(frame.Caption(), QStringLiteral("Frame1"));
    frame.SetCaption(QStringLiteral("Login"));
    frame.setObjectName(QStringLiteral("FrameHL"));
    EXPECT_EQ(frame.Caption(), QStringLiteral("Login"));
}
