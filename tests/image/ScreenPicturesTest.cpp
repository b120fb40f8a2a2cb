#include "image/ScreenPictures.h"

#include "RecordingBusyHost.h"
#include "TestPictures.h"
#include "image/ImageLoader.h"
#include "image/Levels.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testpics;

namespace {

class Loading : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(Quadrants(512, 384).save(Path("Pic.PNG")));
        ASSERT_TRUE(Quadrants().save(Path("exact.bmp")));
        ASSERT_TRUE(WriteBytes(Path("notes.jpg"), "hello, this is text\n"));
    }
    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    static bool SameBytes(const PixelBufferPtr& a, const PixelBufferPtr& b)
    {
        return a && b && a->ImageSize() == b->ImageSize() &&
               std::memcmp(a->Bits(), b->Bits(), a->ImageSize()) == 0;
    }

    QTemporaryDir m_dir;
    RecordingBusyHost m_host;
};

} // namespace

TEST_F(Loading, LoadImageResamplesAndReportsWithBareName)
{
    PixelBufferPtr dest;
    ASSERT_TRUE(LoadImage(m_host, Path("Pic.PNG"), dest, 256, 128));
    ASSERT_TRUE(dest);
    EXPECT_EQ(dest->Width(), 256);
    EXPECT_EQ(dest->Height(), 128);
    EXPECT_FALSE(m_host.Busy());
    EXPECT_EQ(m_host.Maximum(), 10);
    EXPECT_EQ(m_host.Value(), 4);
    // The name keeps its case and loses its folder.
    EXPECT_EQ(m_host.StatusText(), QStringLiteral("Resampling Pic.PNG..."));
    EXPECT_TRUE(m_host.Messages().isEmpty());

    // Same size: copied, not interpolated.
    PixelBufferPtr exact;
    ASSERT_TRUE(LoadImage(m_host, Path("exact.bmp"), exact, 1024, 768));
    EXPECT_EQ(exact->ToImage(), Quadrants());
}

TEST_F(Loading, LoadImageFailureLeavesDestinationAndSaysSo)
{
    const PixelBufferPtr previous = Noise(8, 8, 1);
    PixelBufferPtr dest = previous;
    EXPECT_FALSE(LoadImage(m_host, Path("notes.jpg"), dest, 1024, 768));
    EXPECT_EQ(dest, previous);
    EXPECT_FALSE(m_host.Busy());
    EXPECT_EQ(m_host.StatusText(), QStringLiteral("Loading notes.jpg..."));
    ASSERT_EQ(m_host.Messages().size(), 1);
    EXPECT_EQ(m_host.Messages()[0].text, QStringLiteral("Image could not be loaded."));
    EXPECT_EQ(m_host.Messages()[0].icon, MessageIcon::Exclamation);

    m_host.ClearMessages();
    EXPECT_FALSE(LoadImage(m_host, Path("nowhere.png"), dest, 1024, 768));
    EXPECT_EQ(dest, previous);
    EXPECT_EQ(m_host.Messages().size(), 1);
    // A target size that cannot exist fails the same way instead of leaving a null picture.
    EXPECT_FALSE(LoadImage(m_host, Path("Pic.PNG"), dest, 0, 768));
    EXPECT_EQ(dest, previous);
}

TEST_F(Loading, ScreenLoadBuildsPreviewInOneBusyState)
{
    ScreenPictures pics;
    ASSERT_TRUE(pics.Load(m_host, Path("Pic.PNG"), 1920, 1080, 480));
    EXPECT_FALSE(m_host.Busy());
    EXPECT_EQ(m_host.BusyEntries(), 1);
    EXPECT_EQ(m_host.Value(), 9);
    EXPECT_EQ(m_host.StatusText(), QStringLiteral("Creating preview for Pic.PNG..."));
    ASSERT_TRUE(pics.HasPicture());
    EXPECT_EQ(pics.SourceImage->Width(), 1024);
    EXPECT_EQ(pics.SourceImage->Height(), 768);
    EXPECT_EQ(pics.PreviewWidth, 320);
    EXPECT_EQ(pics.PreviewLeft, 80);
    EXPECT_EQ(pics.PreviewMode, 0);
    ASSERT_TRUE(pics.PreviewImage);
    EXPECT_EQ(pics.PreviewImage->Width(), 320);
    EXPECT_EQ(pics.PreviewImage->Height(), ScreenPictures::kPreviewHeight);
    EXPECT_NE(pics.DisplayedPreview, pics.PreviewImage);
    EXPECT_TRUE(SameBytes(pics.DisplayedPreview, pics.PreviewImage));

    // Without previews the geometry still follows the settings.
    const PixelBufferPtr preview = pics.PreviewImage;
    ASSERT_TRUE(pics.Load(m_host, Path("exact.bmp"), 0, 0, 100, false));
    EXPECT_EQ(pics.PreviewWidth, 240);
    EXPECT_EQ(pics.PreviewLeft, -70);
    EXPECT_EQ(pics.PreviewImage, preview);
}

TEST_F(Loading, ScreenLoadFailureKeepsPictureAndPreview)
{
    ScreenPictures pics;
    ASSERT_TRUE(pics.Load(m_host, Path("Pic.PNG"), 1920, 1080, 480));
    const ScreenPictures before = pics;
    const Result<> failed = pics.Load(m_host, Path("notes.jpg"), 800, 600, 300);
    ASSERT_FALSE(failed);
    m_host.ShowFailure(failed.error());
    EXPECT_FALSE(m_host.Busy());
    EXPECT_EQ(pics.SourceImage, before.SourceImage);
    EXPECT_EQ(pics.PreviewImage, before.PreviewImage);
    EXPECT_EQ(pics.DisplayedPreview, before.DisplayedPreview);
    EXPECT_EQ(pics.PreviewWidth, 320);
    EXPECT_EQ(pics.PreviewLeft, 80);
    EXPECT_EQ(m_host.Messages().size(), 1);
}

TEST_F(Loading, LivePreviewAlwaysStartsFromUnadjustedPreview)
{
    ScreenPictures pics;
    ASSERT_TRUE(pics.Load(m_host, Path("Pic.PNG"), 1920, 1080, 480));
    pics.RebuildFramePreviews(m_host, false, false, QString(), QString());
    const PixelBufferPtr plainLogin = pics.LoginPreview;
    const PixelBufferPtr untouched = pics.PreviewImage->Resampled(QSize(320, 180));

    pics.PreviewLevels(100, 110); // harsh
    pics.PreviewLevels(10, 200);  // then milder: must not build on the harsh result
    PixelBufferPtr want = pics.PreviewImage->Resampled(QSize(320, 180));
    AdjustLevels(*want, 10, 200);
    EXPECT_TRUE(SameBytes(pics.DisplayedPreview, want));
    EXPECT_TRUE(SameBytes(pics.PreviewImage, untouched));
    // The framed slots keep the plain preview while the levels are tried.
    EXPECT_TRUE(SameBytes(plainLogin, untouched));
    EXPECT_TRUE(SameBytes(pics.CharacterPreview, untouched));

    pics.ResetDisplayedPreview();
    EXPECT_TRUE(SameBytes(pics.DisplayedPreview, untouched));
}

TEST_F(Loading, ApplyLevelsStretchesSourceEachTime)
{
    ScreenPictures pics;
    ASSERT_TRUE(pics.Load(m_host, Path("exact.bmp"), 1920, 1080, 480));
    const PixelBufferPtr original = pics.SourceImage->Resampled(QSize(1024, 768));
    EXPECT_FALSE(pics.ApplyLevels(m_host, 0, 255, false, false, QString(), QString()));
    EXPECT_TRUE(SameBytes(pics.SourceImage, original));

    ASSERT_TRUE(pics.ApplyLevels(m_host, 40, 220, false, false, QString(), QString()));
    ASSERT_TRUE(pics.ApplyLevels(m_host, 40, 220, false, false, QString(), QString()));
    PixelBufferPtr twice = original->Resampled(QSize(1024, 768));
    AdjustLevels(*twice, 40, 220);
    AdjustLevels(*twice, 40, 220);
    EXPECT_TRUE(SameBytes(pics.SourceImage, twice));
    EXPECT_TRUE(SameBytes(pics.PreviewImage, twice->Resampled(QSize(320, 180))));
    EXPECT_TRUE(SameBytes(pics.DisplayedPreview, pics.PreviewImage));
    EXPECT_FALSE(m_host.Busy());

    // With framed previews on, the display shows the applied picture, not the live approximation.
    pics.PreviewLevels(30, 200);
    ASSERT_TRUE(pics.ApplyLevels(m_host, 30, 200, true, true, Path("none.png"), Path("none.png")));
    EXPECT_TRUE(SameBytes(pics.DisplayedPreview, pics.PreviewImage));
}

TEST_F(Loading, FramedPreviewsFollowTheSwitches)
{
    QImage login(1024, 768, QImage::Format_RGB888);
    login.fill(qRgb(255, 0, 255));
    login.setPixel(0, 0, qRgb(9, 9, 9));
    ASSERT_TRUE(login.save(Path("login.png")));
    QImage chars = login;
    chars.fill(qRgb(0, 200, 0)); // opaque frame: nothing of the picture shows
    ASSERT_TRUE(chars.save(Path("chars.png")));

    ScreenPictures pics;
    ASSERT_TRUE(pics.Load(m_host, Path("exact.bmp"), 1024, 768, 240));
    pics.RebuildFramePreviews(m_host, true, true, Path("login.png"), Path("chars.png"));
    EXPECT_FALSE(m_host.Busy());
    ASSERT_TRUE(pics.LoginPreview && pics.CharacterPreview);
    EXPECT_EQ(pics.LoginPreview->Width(), 240);
    EXPECT_EQ(PixelAt(pics.CharacterPreview->ToImage(), 100, 100), (Rgb{0, 200, 0}));
    EXPECT_EQ(PixelAt(pics.LoginPreview->ToImage(), 100, 100),
              PixelAt(pics.PreviewImage->ToImage(), 100, 100));

    EXPECT_TRUE(pics.ShowFramedPreview(1));
    EXPECT_EQ(pics.DisplayedPreview, pics.LoginPreview);
    EXPECT_FALSE(pics.ShowFramedPreview(1)); // already shown: no redraw
    EXPECT_TRUE(pics.ShowFramedPreview(2));
    EXPECT_EQ(pics.DisplayedPreview, pics.CharacterPreview);
    EXPECT_EQ(pics.PreviewMode, 2);

    // Frames on for saving only: the preview shows none, the output has the frame.
    pics.RebuildFramePreviews(m_host, true, false, Path("login.png"), Path("chars.png"));
    EXPECT_EQ(pics.PreviewMode, 0);
    EXPECT_EQ(pics.LoginPreview, pics.DisplayedPreview);
    EXPECT_TRUE(SameBytes(pics.DisplayedPreview, pics.PreviewImage));
    const PixelBufferPtr out = pics.PrepareOutput(true, Path("chars.png"));
    EXPECT_NE(out, pics.SourceImage);
    EXPECT_EQ(PixelAt(out->ToImage(), 5, 5), (Rgb{0, 200, 0}));
    EXPECT_EQ(pics.PrepareOutput(false, Path("chars.png")), pics.SourceImage);
}
