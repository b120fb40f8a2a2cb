#include "TestPictures.h"
#include "image/Frames.h"
#include "image/Levels.h"
#include "image/PreviewGeometry.h"

#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace testpics;

TEST(Levels, TableStretchesWithTiesToEven)
{
    const auto t = LevelsTable(10, 20);
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[10], 0);
    EXPECT_EQ(t[11], 26);  // 25.5
    EXPECT_EQ(t[15], 128); // 127.5
    EXPECT_EQ(t[19], 230); // 229.5
    EXPECT_EQ(t[20], 255);
    EXPECT_EQ(t[255], 255);
    EXPECT_EQ(LevelsTable(0, 2)[1], 128); // 127.5
    // White at or below black is a threshold at white.
    const auto th = LevelsTable(50, 40);
    EXPECT_EQ(th[39], 0);
    EXPECT_EQ(th[40], 255);
}

TEST(Levels, AdjustMapsEveryByteIncludingPadding)
{
    PixelBuffer dib;
    ASSERT_TRUE(dib.Create(1, 2)); // 3 pixel bytes + 1 padding byte per row
    const std::uint8_t bytes[8] = {10, 11, 15, 19, 20, 100, 5, 12};
    std::memcpy(dib.Bits(), bytes, 8);
    AdjustLevels(dib, 10, 20);
    const std::uint8_t want[8] = {0, 26, 128, 230, 255, 255, 0, 51};
    EXPECT_EQ(std::memcmp(dib.Bits(), want, 8), 0);
}

TEST(Levels, FullRangeLeavesBufferAlone)
{
    const PixelBufferPtr dib = Noise(9, 4, 1);
    const PixelBufferPtr before = dib->Resampled(QSize(9, 4));
    AdjustLevels(*dib, 0, 255);
    AdjustLevels(*dib, -5, 300);
    EXPECT_EQ(std::memcmp(dib->Bits(), before->Bits(), dib->ImageSize()), 0);
    PixelBuffer empty;
    AdjustLevels(empty, 10, 20); // harmless
}

TEST(Levels, PushBackKeepsBlackBelowWhiteWithinRange)
{
    EXPECT_EQ(PushBackBlack(100, 200), 100);
    EXPECT_EQ(PushBackBlack(200, 200), 199);
    EXPECT_EQ(PushBackBlack(250, 200), 199);
    EXPECT_EQ(PushBackBlack(255, 255), 254);
    EXPECT_EQ(PushBackBlack(0, 0), 0); // cannot go below 0
    EXPECT_EQ(PushBackWhite(100, 200), 200);
    EXPECT_EQ(PushBackWhite(100, 100), 101);
    EXPECT_EQ(PushBackWhite(100, 50), 101);
    EXPECT_EQ(PushBackWhite(0, 0), 1);
    EXPECT_EQ(PushBackWhite(255, 255), 255); // cannot go above 255
    EXPECT_EQ(PushBackWhite(0, 400), 255);
}

TEST(PreviewGeometry, WidthFollowsScreenAspect)
{
    EXPECT_EQ(PreviewWidthFor(1920, 1080), 320);
    EXPECT_EQ(PreviewWidthFor(1280, 1024), 225);
    EXPECT_EQ(PreviewWidthFor(800, 600), 240);
    EXPECT_EQ(PreviewWidthFor(4000, 100), 425);
    EXPECT_EQ(PreviewWidthFor(100, 4000), 10);
    EXPECT_EQ(PreviewWidthFor(0, 1080), 240);
    EXPECT_EQ(PreviewWidthFor(1920, 0), 240);
    EXPECT_EQ(PreviewWidthFor(-1920, 1080), 240);
    EXPECT_EQ(PreviewWidthFor(std::nan(""), 1080), 240);
    EXPECT_EQ(PreviewWidthFor(std::numeric_limits<double>::infinity(), 1), 240);
    EXPECT_EQ(PreviewWidthFor(1e300, 1e-300), 425);
    // 5/4 * 180 = 225 exactly; 1366x768 -> 320.16 -> 320; ties go to even.
    EXPECT_EQ(PreviewWidthFor(1366, 768), 320);
    EXPECT_EQ(PreviewWidthFor(128, 1024), 22); // 22.5
    EXPECT_EQ(PreviewWidthFor(384, 1024), 68); // 67.5
}

TEST(PreviewGeometry, LeftCentresAndTruncatesTowardZero)
{
    EXPECT_EQ(PreviewLeftFor(480, 320), 80);
    EXPECT_EQ(PreviewLeftFor(481, 320), 80);
    EXPECT_EQ(PreviewLeftFor(300, 320), -10);
    EXPECT_EQ(PreviewLeftFor(319, 320), 0); // -0.5 truncates to 0
    EXPECT_EQ(PreviewLeftFor(317, 320), -1);
}

namespace {

class Frames : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_source = std::make_shared<PixelBuffer>();
        ASSERT_TRUE(m_source->CreateFromPicture(Quadrants()));
    }
    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    static QImage Magenta(int w = 1024, int h = 768)
    {
        QImage img(w, h, QImage::Format_RGB888);
        img.fill(qRgb(255, 0, 255));
        return img;
    }

    QTemporaryDir m_dir;
    PixelBufferPtr m_source;
};

} // namespace

TEST_F(Frames, KeyPixelsShowSourceAndOthersStay)
{
    QImage frame = Magenta();
    frame.setPixel(0, 0, qRgb(255, 0, 254));     // one off the key
    frame.setPixel(1, 0, qRgb(254, 0, 255));     // one off the key
    frame.setPixel(1023, 767, qRgb(1, 2, 3));    // ordinary frame colour
    frame.setPixel(512, 100, qRgb(255, 1, 255)); // one off the key
    ASSERT_TRUE(frame.save(Path("frame.png")));

    const PixelBufferPtr out = ApplyFrame(Path("frame.png"), m_source);
    ASSERT_TRUE(out);
    EXPECT_NE(out.get(), m_source.get());
    const QImage got = out->ToImage();
    const QImage src = m_source->ToImage();
    EXPECT_EQ(PixelAt(got, 0, 0), (Rgb{255, 0, 254}));
    EXPECT_EQ(PixelAt(got, 1, 0), (Rgb{254, 0, 255}));
    EXPECT_EQ(PixelAt(got, 1023, 767), (Rgb{1, 2, 3}));
    EXPECT_EQ(PixelAt(got, 512, 100), (Rgb{255, 1, 255}));
    EXPECT_EQ(PixelAt(got, 2, 0), PixelAt(src, 2, 0));
    EXPECT_EQ(PixelAt(got, 1023, 0), PixelAt(src, 1023, 0));
    EXPECT_EQ(PixelAt(got, 0, 767), PixelAt(src, 0, 767));
    EXPECT_EQ(PixelAt(got, 700, 500), PixelAt(src, 700, 500));
}

TEST_F(Frames, AllKeyFrameGivesSourceExactly)
{
    ASSERT_TRUE(Magenta().save(Path("clear.bmp")));
    const PixelBufferPtr out = ApplyFrame(Path("clear.bmp"), m_source);
    ASSERT_TRUE(out);
    EXPECT_NE(out.get(), m_source.get());
    EXPECT_EQ(std::memcmp(out->Bits(), m_source->Bits(), m_source->ImageSize()), 0);
}

// The message a frame file would give, or "" when it can serve as a frame.
QString FrameMessage(const QString& path)
{
    const Result<PixelBufferPtr> frame = LoadFrame(path);
    return frame ? QString() : frame.error().Headline().text;
}

TEST_F(Frames, UnusableFrameOrSourceGivesSourceItself)
{
    ASSERT_TRUE(Magenta(1024, 767).save(Path("short.png")));
    EXPECT_EQ(FrameMessage(Path("short.png")), QStringLiteral("Image is not 1024x768 pixels in size."));
    EXPECT_EQ(ApplyFrame(Path("short.png"), m_source), m_source);

    EXPECT_EQ(FrameMessage(Path("gone.png")), QStringLiteral("Image could not be loaded."));
    EXPECT_EQ(ApplyFrame(Path("gone.png"), m_source), m_source);
    EXPECT_EQ(ApplyFrame(QString(), m_source), m_source);

    ASSERT_TRUE(WriteBytes(Path("text.png"), "not a picture"));
    EXPECT_EQ(FrameMessage(Path("text.png")), QStringLiteral("Image could not be loaded."));

    ASSERT_TRUE(Magenta().save(Path("good.png")));
    EXPECT_TRUE(FrameMessage(Path("good.png")).isEmpty());
    // A source of another size is never read beyond its end.
    const PixelBufferPtr small = Noise(640, 480, 3);
    EXPECT_EQ(ApplyFrame(Path("good.png"), small), small);
    EXPECT_EQ(ApplyFrame(Path("good.png"), PixelBufferPtr()), PixelBufferPtr());

    // The frame file vanished after it was chosen.
    ASSERT_TRUE(QFile::remove(Path("good.png")));
    EXPECT_EQ(ApplyFrame(Path("good.png"), m_source), m_source);
}
