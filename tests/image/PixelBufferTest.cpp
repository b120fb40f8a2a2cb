#include "image/PixelBuffer.h"

#include "TestPictures.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using namespace testpics;

namespace {

// Straightforward bilinear reference over memory rows, written from the
// algorithm's description rather than from the optimised code.
PixelBufferPtr ReferenceResample(const PixelBuffer& src, int newHeight, int newWidth)
{
    auto out = std::make_shared<PixelBuffer>();
    if (!out->Create(newWidth, newHeight))
        return nullptr;
    const int sw = src.Width(), sh = src.Height();
    const float xScale = float(sw - 1) / float(newWidth);
    const float yScale = float(sh - 1) / float(newHeight);
    const auto at = [&](int x, int y, int ch) {
        x = std::min(x, sw - 1);
        y = std::min(y, sh - 1);
        return double(
            src.Bits()[std::size_t(y) * std::size_t(src.BytesPerScanLine()) + std::size_t(3 * x + ch)]);
    };
    for (int y = 0; y < newHeight; ++y) {
        const float fy = float(y) * yScale;
        const int iy = int(std::floor(fy));
        const float dy = fy - float(iy);
        for (int x = 0; x < newWidth; ++x) {
            const float fx = float(x) * xScale;
            const int ix = int(std::floor(fx));
            const float dx = fx - float(ix);
            for (int ch = 0; ch < 3; ++ch) {
                const double a =
                    std::nearbyint((1.0 - dy) * at(ix, iy, ch) + double(dy) * at(ix, iy + 1, ch));
                const double b =
                    std::nearbyint((1.0 - dy) * at(ix + 1, iy, ch) + double(dy) * at(ix + 1, iy + 1, ch));
                const double v = std::clamp(std::nearbyint((1.0 - dx) * a + double(dx) * b), 0.0, 255.0);
                out->Row(y)[3 * x + ch] = std::uint8_t(v);
            }
        }
    }
    return out;
}

bool SamePixels(const PixelBuffer& a, const PixelBuffer& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return false;
    for (int r = 0; r < a.Height(); ++r)
        if (std::memcmp(a.Row(r), b.Row(r), std::size_t(3 * a.Width())) != 0)
            return false;
    return true;
}

} // namespace

TEST(PixelBuffer, ScanLinesArePaddedToFourBytes)
{
    EXPECT_EQ(PixelBuffer::ScanLineBytes(1), 4);
    EXPECT_EQ(PixelBuffer::ScanLineBytes(2), 8);
    EXPECT_EQ(PixelBuffer::ScanLineBytes(4), 12);
    EXPECT_EQ(PixelBuffer::ScanLineBytes(5), 16);
    EXPECT_EQ(PixelBuffer::ScanLineBytes(1024), 3072);
    PixelBuffer dib;
    ASSERT_TRUE(dib.Create(5, 3));
    EXPECT_EQ(dib.ImageSize(), 48u);
}

TEST(PixelBuffer, CreateRefusesEmptyAndAbsurdSizes)
{
    PixelBuffer dib;
    ASSERT_TRUE(dib.Create(4, 4));
    EXPECT_FALSE(dib.Create(0, 10));
    EXPECT_TRUE(dib.IsEmpty()); // a refused Create leaves the buffer empty
    EXPECT_FALSE(dib.Create(10, -1));
    EXPECT_FALSE(dib.Create(INT32_MAX, 1));
    EXPECT_FALSE(dib.Create(1 << 20, 1 << 20));
    EXPECT_TRUE(dib.IsEmpty());
    dib.ClearUp();
    dib.ClearUp();
    EXPECT_EQ(dib.Width(), 0);
}

TEST(PixelBuffer, ResampleToSameSizeIsSeparateIdenticalCopy)
{
    const PixelBufferPtr src = Noise(7, 5, 1);
    const PixelBufferPtr copy = src->Resampled(QSize(7, 5));
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), src.get());
    EXPECT_NE(copy->Bits(), src->Bits());
    EXPECT_EQ(std::memcmp(copy->Bits(), src->Bits(), src->ImageSize()), 0);
}

TEST(PixelBuffer, ResampleArgumentsAreHeightThenWidth)
{
    const PixelBufferPtr src = Noise(1024, 768, 2);
    const PixelBufferPtr small = src->Resampled(QSize(240, 180));
    ASSERT_TRUE(small);
    EXPECT_EQ(small->Width(), 240);
    EXPECT_EQ(small->Height(), 180);
    // Sampling starts exactly at the first pixel in memory.
    EXPECT_EQ(std::memcmp(small->Row(0), src->Row(0), 3), 0);
}

TEST(PixelBuffer, ResampleMatchesStraightforwardReference)
{
    const struct
    {
        int w, h, nw, nh;
    } cases[] = {{37, 23, 16, 11}, {5, 4, 13, 9}, {1920, 1080, 1024, 768}, {3, 2, 3, 7}, {9, 9, 2, 1}};
    unsigned seed = 10;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " -> " << c.nw << "x" << c.nh);
        const PixelBufferPtr src = Noise(c.w, c.h, seed++);
        const PixelBufferPtr got = src->Resampled(QSize(c.nw, c.nh));
        const PixelBufferPtr want = ReferenceResample(*src, c.nh, c.nw);
        ASSERT_TRUE(got && want);
        EXPECT_TRUE(SamePixels(*got, *want));
        // The row padding is part of the buffer's bytes (saved bitmaps carry it): zero, not leftovers.
        for (int r = 0; r < got->Height(); ++r)
            for (int b = 3 * got->Width(); b < got->BytesPerScanLine(); ++b)
                ASSERT_EQ(got->Row(r)[b], 0) << "row " << r;
    }
}

TEST(PixelBuffer, ResamplingTheDecodedPictureEqualsCopyingThenResampling)
{
    const struct
    {
        int w, h, nw, nh;
    } cases[] = {{1920, 1080, 1024, 768}, {37, 23, 16, 11}, {64, 48, 64, 48}};
    unsigned seed = 40;
    for (const auto& c : cases) {
        const QImage picture = Noise(c.w, c.h, seed++)->ToImage();
        for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888}) {
            SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " format " << int(format));
            const QImage decoded = picture.convertToFormat(format);
            PixelBuffer full;
            ASSERT_TRUE(full.CreateFromPicture(decoded));
            const PixelBufferPtr want = full.Resampled(QSize(c.nw, c.nh));
            const PixelBufferPtr got = PixelBuffer::ResampledPicture(decoded, QSize(c.nw, c.nh));
            ASSERT_TRUE(got && want);
            EXPECT_TRUE(SamePixels(*got, *want));
        }
    }
}

TEST(PixelBuffer, ResampleRoundsTiesToEven)
{
    // Height 3 -> 4 gives yScale 0.5: destination row 1 sits halfway between memory rows 0 and 1.
    PixelBuffer src;
    ASSERT_TRUE(src.Create(2, 3));
    const std::uint8_t row0[6] = {127, 126, 0, 0, 0, 0};
    const std::uint8_t row1[6] = {128, 127, 255, 0, 0, 0};
    std::memcpy(src.Row(0), row0, 6);
    std::memcpy(src.Row(1), row1, 6);
    const PixelBufferPtr out = src.Resampled(QSize(2, 4));
    ASSERT_TRUE(out);
    EXPECT_EQ(out->Row(1)[0], 128); // 127.5
    EXPECT_EQ(out->Row(1)[1], 126); // 126.5
    EXPECT_EQ(out->Row(1)[2], 128); // 127.5

    // Width 3 -> 4: destination column 1 sits halfway between columns 0 and 1.
    PixelBuffer wide;
    ASSERT_TRUE(wide.Create(3, 1));
    const std::uint8_t px[9] = {127, 126, 5, 128, 127, 6, 0, 0, 0};
    std::memcpy(wide.Row(0), px, 9);
    const PixelBufferPtr out2 = wide.Resampled(QSize(4, 2));
    ASSERT_TRUE(out2);
    EXPECT_EQ(out2->Row(0)[3], 128); // 127.5
    EXPECT_EQ(out2->Row(0)[4], 126); // 126.5
    EXPECT_EQ(out2->Row(0)[5], 6);   // 5.5
}

TEST(PixelBuffer, ResampleOfOnePixelWideOrHighSource)
{
    // The "+1" neighbour repeats the last column/row; ASAN catches any read beyond.
    const PixelBufferPtr column = Noise(1, 9, 3);
    const PixelBufferPtr tall = column->Resampled(QSize(6, 20));
    ASSERT_TRUE(tall);
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(std::memcmp(tall->Row(0) + 3 * x, column->Row(0), 3), 0);
    const PixelBufferPtr want = ReferenceResample(*column, 20, 6);
    ASSERT_TRUE(want);
    EXPECT_TRUE(SamePixels(*tall, *want));

    const PixelBufferPtr row = Noise(9, 1, 4);
    const PixelBufferPtr flat = row->Resampled(QSize(17, 5));
    ASSERT_TRUE(flat);
    for (int r = 1; r < 5; ++r)
        EXPECT_EQ(std::memcmp(flat->Row(r), flat->Row(0), 3 * 17), 0);

    const PixelBufferPtr dot = Noise(1, 1, 5);
    const PixelBufferPtr big = dot->Resampled(QSize(4, 3));
    ASSERT_TRUE(big);
    for (int r = 0; r < 3; ++r)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(std::memcmp(big->Row(r) + 3 * x, dot->Row(0), 3), 0);
}

TEST(PixelBuffer, ResampleRefusesEmptyOrBadTarget)
{
    PixelBuffer empty;
    EXPECT_FALSE(empty.Resampled(QSize(10, 10)));
    EXPECT_FALSE(Noise(4, 4, 6)->Resampled(QSize(10, 0)));
}

TEST(PixelBuffer, PictureRoundTripKeepsOrientation)
{
    QImage img(3, 2, QImage::Format_RGB888);
    img.setPixel(0, 0, qRgb(1, 2, 3)); // top-left
    img.setPixel(2, 1, qRgb(7, 8, 9)); // bottom-right
    PixelBuffer dib;
    ASSERT_TRUE(dib.CreateFromPicture(img));
    // Bottom row first in memory, blue first in a pixel.
    EXPECT_EQ(dib.Row(1)[0], 3);
    EXPECT_EQ(dib.Row(1)[2], 1);
    EXPECT_EQ(dib.Row(0)[6], 9);
    EXPECT_EQ(dib.ToImage(), img);
}
