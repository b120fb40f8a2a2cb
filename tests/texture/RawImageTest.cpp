#include "TextureTestSupport.h"
#include "texture/TextureFormat.h"
#include "texture/TextureWriter.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {

// Accepts `capacity` bytes, then refuses further writes (a full disk), or
// takes only part of the write that crosses the limit when `shortWrites`.
class LimitedDevice : public QIODevice
{
public:
    LimitedDevice(qint64 capacity, bool shortWrites) : m_capacity(capacity), m_short(shortWrites)
    {
        open(QIODevice::WriteOnly);
    }
    qint64 written = 0;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override
    {
        const qint64 room = m_capacity - written;
        if (room <= 0)
            return -1;
        const qint64 take = len <= room ? len : (m_short ? room : -1);
        if (take > 0)
            written += take;
        return take;
    }

private:
    qint64 m_capacity;
    bool m_short;
};

QByteArray WriteToBuffer(const PixelBuffer& dib, int width, int height, RawImageForm form, bool alpha = false,
                         const PixelBuffer* mask = nullptr)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!WriteRawImage(buffer, dib, width, height, alpha ? mask : nullptr, form))
        return {};
    return buffer.data();
}

// Pixel (x, y) of a written image (y counted from the top row).
QByteArray PixelAt(const QByteArray& image, int headerSize, int width, int x, int y)
{
    return image.mid(headerSize + (qsizetype(y) * width + x) * 4, 4);
}

QByteArray Bgra(int b, int g, int r, int a)
{
    const char bytes[4] = {char(b), char(g), char(r), char(a)};
    return QByteArray(bytes, 4);
}

TEST(WriteRawImage, PictureShorterThanTheImageRepeatsItsBottomRow)
{
    const PixelBufferPtr picture = PatternPicture(1024, 768);
    const QByteArray dds = WriteToBuffer(*picture, 1024, 1024, RawImageForm::Dds);
    ASSERT_EQ(dds.size(), 4194432);
    EXPECT_EQ(dds.left(128), DdsHeaderUncompressed(1024, 1024));
    // Top row first, colours in blue, green, red, opaque alpha.
    EXPECT_EQ(PixelAt(dds, 128, 1024, 5, 0), Bgra(5, 0, 5, 255));
    EXPECT_EQ(PixelAt(dds, 128, 1024, 7, 767), Bgra(7, 767 & 255, (7 + 3 * 767) & 255, 255));
    const QByteArray lastPictureRow = dds.mid(128 + 767 * 4096, 4096);
    for (int y = 768; y < 1024; ++y)
        ASSERT_EQ(dds.mid(128 + qsizetype(y) * 4096, 4096), lastPictureRow) << "row " << y;
}

TEST(WriteRawImage, RowsAreRightAcrossBlockBoundaries)
{
    // 4000-byte rows: the writer's blocks end mid-picture and mid-repeat, with a partial last block.
    const PixelBufferPtr picture = PatternPicture(997, 101);
    const QByteArray dds = WriteToBuffer(*picture, 1000, 203, RawImageForm::Dds);
    ASSERT_EQ(dds.size(), 128 + 1000 * 203 * 4);
    for (int y : {0, 1, 63, 64, 65, 99, 100}) {
        for (int x : {0, 500, 996})
            ASSERT_EQ(PixelAt(dds, 128, 1000, x, y), Bgra(x & 255, y & 255, (x + 3 * y) & 255, 255))
                << x << "," << y;
        for (int x = 997; x < 1000; ++x)
            ASSERT_EQ(PixelAt(dds, 128, 1000, x, y), QByteArray(4, '\0'));
    }
    const QByteArray lastPictureRow = dds.mid(128 + 100 * 4000, 4000);
    for (int y = 101; y < 203; ++y)
        ASSERT_EQ(dds.mid(128 + qsizetype(y) * 4000, 4000), lastPictureRow) << "row " << y;
}

TEST(WriteRawImage, NarrowPictureLeavesZeroColumnsAndAlphaComesFromTheMaskBlue)
{
    const PixelBufferPtr picture = PatternPicture(3, 2);
    const PixelBufferPtr mask = PatternPicture(3, 2); // blue = x
    mask->Row(1)[0] = 200;                            // top-left pixel of the mask
    const QByteArray tga = WriteToBuffer(*picture, 5, 2, RawImageForm::Targa, true, mask.get());
    ASSERT_EQ(tga.size(), 18 + 5 * 2 * 4);
    EXPECT_EQ(tga.left(18), TargaHeader(5, 2));
    EXPECT_EQ(PixelAt(tga, 18, 5, 0, 0), Bgra(0, 0, 0, 200));
    EXPECT_EQ(PixelAt(tga, 18, 5, 2, 1), Bgra(2, 1, 5, 2));
    for (int y = 0; y < 2; ++y)
        for (int x = 3; x < 5; ++x)
            EXPECT_EQ(PixelAt(tga, 18, 5, x, y), QByteArray(4, '\0'));
}

TEST(WriteRawImage, RefusesWhatItCannotStore)
{
    const PixelBufferPtr picture = PatternPicture(8, 8);
    const PixelBufferPtr smallMask = PatternPicture(8, 7);
    const PixelBuffer emptyMask;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_FALSE(WriteRawImage(buffer, *picture, 7, 8, nullptr, RawImageForm::Dds)); // narrower than picture
    EXPECT_FALSE(WriteRawImage(buffer, *picture, 8, 7, nullptr, RawImageForm::Dds)); // shorter than picture
    EXPECT_FALSE(WriteRawImage(buffer, *picture, 0, 8, nullptr, RawImageForm::Dds));
    EXPECT_FALSE(WriteRawImage(buffer, *picture, 8, -8, nullptr, RawImageForm::Dds));
    EXPECT_FALSE(WriteRawImage(buffer, *picture, 8, 8, &emptyMask, RawImageForm::Dds));
    EXPECT_FALSE(WriteRawImage(buffer, *picture, 8, 8, smallMask.get(), RawImageForm::Dds));
    EXPECT_FALSE(WriteRawImage(buffer, *picture, 70000, 8, nullptr, RawImageForm::Targa)); // 16-bit sizes
    EXPECT_FALSE(WriteRawImage(buffer, PixelBuffer(), 8, 8, nullptr, RawImageForm::Dds));
    EXPECT_EQ(buffer.size(), 0);
}

TEST(WriteRawImage, FailedOrShortWritesAreReported)
{
    const PixelBufferPtr picture = PatternPicture(64, 64);
    for (const qint64 capacity : {qint64(0), qint64(100), qint64(128 + 64 * 4 * 10 + 3)}) {
        for (const bool shortWrites : {false, true}) {
            LimitedDevice device(capacity, shortWrites);
            EXPECT_FALSE(WriteRawImage(device, *picture, 64, 64, nullptr, RawImageForm::Dds))
                << capacity << " " << shortWrites;
        }
    }
    LimitedDevice exact(128 + 64 * 64 * 4, false);
    EXPECT_TRUE(WriteRawImage(exact, *picture, 64, 64, nullptr, RawImageForm::Dds));
}

TEST(WriteRawImage, ReportsProgressSparinglyAndStopsOnCancel)
{
    const PixelBufferPtr picture = PatternPicture(16, 700);
    RecordingBusyHost host;
    BusyScope busy(host, false, 1000, QStringLiteral("Writing x..."));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(WriteRawImage(buffer, *picture, 16, 1000, nullptr, RawImageForm::Dds, &host));
    EXPECT_EQ(host.Value(), 1000); // the last row is always reported
    EXPECT_LT(host.ReportCount(), 50);

    RecordingBusyHost cancelling;
    cancelling.onProgress = [&](qint32 value) {
        if (value >= 100)
            cancelling.RequestCancel();
    };
    QBuffer cancelled;
    cancelled.open(QIODevice::WriteOnly);
    EXPECT_FALSE(WriteRawImage(cancelled, *picture, 16, 1000, nullptr, RawImageForm::Dds, &cancelling, 1));
    EXPECT_EQ(cancelling.Value(), 100);
}

} // namespace
