#include "image/PictureDecoder.h"

#include "TestPictures.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testpics;

namespace {

class PictureDecoder : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    // Red top half, blue bottom half, 8x6 — shows whether rows come out the right way up.
    QString TwoBands(const char* name, const QStringList& extra = {})
    {
        const QString path = Path(name);
        QStringList args{QStringLiteral("-size"),  QStringLiteral("8x3"), QStringLiteral("xc:red"),
                         QStringLiteral("-size"),  QStringLiteral("8x3"), QStringLiteral("xc:blue"),
                         QStringLiteral("-append")};
        args += extra;
        args += path;
        EXPECT_TRUE(Convert(args)) << name;
        return path;
    }

    void ExpectTwoBands(const char* name)
    {
        SCOPED_TRACE(name);
        const QImage img = DecodePicture(Path(name));
        ASSERT_FALSE(img.isNull());
        ASSERT_EQ(img.size(), QSize(8, 6));
        EXPECT_TRUE(img.format() == QImage::Format_RGB888 || img.format() == QImage::Format_RGB32);
        EXPECT_EQ(PixelAt(img, 0, 0), (Rgb{255, 0, 0}));
        EXPECT_EQ(PixelAt(img, 7, 2), (Rgb{255, 0, 0}));
        EXPECT_EQ(PixelAt(img, 0, 3), (Rgb{0, 0, 255}));
        EXPECT_EQ(PixelAt(img, 7, 5), (Rgb{0, 0, 255}));
    }

    QTemporaryDir m_dir;
};

// Targa footer of the 2.0 format: no extension or developer area.
QByteArray TargaFooter()
{
    QByteArray footer(8, '\0');
    footer += "TRUEVISION-XFILE.";
    footer += '\0';
    return footer;
}

} // namespace

TEST_F(PictureDecoder, ReadsQtFormatsByContent)
{
    const QImage src = Quadrants(64, 48);
    ASSERT_TRUE(src.save(Path("a.bmp")));
    ASSERT_TRUE(src.save(Path("a.png")));
    ASSERT_TRUE(src.save(Path("a.jpg"), "JPEG", 95));
    // A PNG whose name says JPEG is still read: the content decides.
    ASSERT_TRUE(src.save(Path("png-named.jpg"), "PNG"));

    for (const char* name : {"a.bmp", "a.png", "png-named.jpg"}) {
        SCOPED_TRACE(name);
        const QImage img = DecodePicture(Path(name));
        ASSERT_FALSE(img.isNull());
        EXPECT_TRUE(img.format() == QImage::Format_RGB888 || img.format() == QImage::Format_RGB32);
        EXPECT_EQ(img.convertToFormat(src.format()), src);
    }
    const QImage jpg = DecodePicture(Path("a.jpg"));
    ASSERT_EQ(jpg.size(), src.size());
    EXPECT_TRUE(Near(PixelAt(jpg, 5, 5), PixelAt(src, 5, 5), 8));
    EXPECT_TRUE(Near(PixelAt(jpg, 60, 40), PixelAt(src, 60, 40), 8));
}

TEST_F(PictureDecoder, ReadsDeepGreyPaletteAndAnimatedPictures)
{
    if (!HaveConvert())
        GTEST_SKIP() << "ImageMagick convert not installed";
    TwoBands("deep.png", {QStringLiteral("-depth"), QStringLiteral("16")});
    ExpectTwoBands("deep.png");
    TwoBands("palette.png", {QStringLiteral("-type"), QStringLiteral("Palette")});
    ExpectTwoBands("palette.png");
    TwoBands("bands.gif");
    ExpectTwoBands("bands.gif");

    ASSERT_TRUE(Convert({QStringLiteral("-size"), QStringLiteral("4x4"), QStringLiteral("xc:gray50"),
                         QStringLiteral("-depth"), QStringLiteral("16"), QStringLiteral("-colorspace"),
                         QStringLiteral("Gray"), Path("grey16.png")}));
    const QImage grey = DecodePicture(Path("grey16.png"));
    ASSERT_FALSE(grey.isNull());
    const Rgb g = PixelAt(grey, 1, 1);
    EXPECT_TRUE(g.r == g.g && g.g == g.b);
    EXPECT_TRUE(Near(g, {128, 128, 128}, 2));

    // Only the first frame of an animation is taken.
    ASSERT_TRUE(Convert({QStringLiteral("-size"), QStringLiteral("4x4"), QStringLiteral("xc:lime"),
                         QStringLiteral("xc:blue"), Path("anim.gif")}));
    const QImage first = DecodePicture(Path("anim.gif"));
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(PixelAt(first, 2, 2), (Rgb{0, 255, 0}));
}

TEST_F(PictureDecoder, FlattensTransparencyOntoBlack)
{
    QImage img(3, 1, QImage::Format_ARGB32);
    img.setPixel(0, 0, qRgba(255, 0, 0, 0));       // fully transparent red
    img.setPixel(1, 0, qRgba(255, 255, 255, 128)); // half transparent white
    img.setPixel(2, 0, qRgba(10, 20, 30, 255));    // opaque
    ASSERT_TRUE(img.save(Path("alpha.png")));
    const QImage out = DecodePicture(Path("alpha.png"));
    ASSERT_FALSE(out.isNull());
    EXPECT_EQ(out.format(), QImage::Format_RGB888);
    EXPECT_EQ(PixelAt(out, 0, 0), (Rgb{0, 0, 0}));
    EXPECT_TRUE(Near(PixelAt(out, 1, 0), {128, 128, 128}, 1));
    EXPECT_EQ(PixelAt(out, 2, 0), (Rgb{10, 20, 30}));

    // A transparent palette entry as well (GIF).
    if (HaveConvert()) {
        ASSERT_TRUE(Convert({QStringLiteral("-size"), QStringLiteral("4x4"), QStringLiteral("xc:none"),
                             QStringLiteral("-fill"), QStringLiteral("yellow"), QStringLiteral("-draw"),
                             QStringLiteral("point 1,1"), Path("clear.gif")}));
        const QImage gif = DecodePicture(Path("clear.gif"));
        ASSERT_FALSE(gif.isNull());
        EXPECT_EQ(PixelAt(gif, 0, 0), (Rgb{0, 0, 0}));
        EXPECT_EQ(PixelAt(gif, 1, 1), (Rgb{255, 255, 0}));
    }
}

TEST_F(PictureDecoder, ReadsTargaWithAndWithoutFooterAndRunLength)
{
    if (!HaveConvert())
        GTEST_SKIP() << "ImageMagick convert not installed";
    // ImageMagick 6 marks its Targa files bottom-up (no 2.0 footer) but stores the
    // rows top row first; -flip gives a file that other readers (FFmpeg) show upright.
    const QStringList bottomUp{QStringLiteral("-flip")};
    TwoBands("plain.tga", bottomUp);
    ExpectTwoBands("plain.tga");
    TwoBands("rle.TGA", bottomUp + QStringList{QStringLiteral("-compress"), QStringLiteral("RLE")});
    ExpectTwoBands("rle.TGA");
    TwoBands("top.tga", {QStringLiteral("-orient"), QStringLiteral("TopLeft")});
    ExpectTwoBands("top.tga");
    TwoBands("top-rle.tga", {QStringLiteral("-orient"), QStringLiteral("TopLeft"),
                             QStringLiteral("-compress"), QStringLiteral("RLE")});
    ExpectTwoBands("top-rle.tga");

    // The same file with the 2.0 footer appended.
    QFile plain(Path("plain.tga"));
    ASSERT_TRUE(plain.open(QIODevice::ReadOnly));
    const QByteArray bytes = plain.readAll();
    ASSERT_GT(bytes.size(), 18);
    EXPECT_EQ(bytes[17] & 0x20, 0); // rows stored bottom row first
    ASSERT_TRUE(WriteBytes(Path("footer.tga"), bytes + TargaFooter()));
    ExpectTwoBands("footer.tga");
    // A Targa file under another name is still recognised.
    ASSERT_TRUE(WriteBytes(Path("targa.png"), bytes));
    ExpectTwoBands("targa.png");

    ASSERT_TRUE(Convert({QStringLiteral("-size"), QStringLiteral("4x2"), QStringLiteral("xc:gray40"),
                         QStringLiteral("-type"), QStringLiteral("Grayscale"), Path("grey.tga")}));
    const QImage grey = DecodePicture(Path("grey.tga"));
    ASSERT_EQ(grey.size(), QSize(4, 2));
    EXPECT_TRUE(Near(PixelAt(grey, 3, 1), {102, 102, 102}, 1));
}

TEST_F(PictureDecoder, TurnsRotatedPhotosUpright)
{
    // An 8x4 JPEG with an EXIF block saying "turn 90 degrees clockwise to view".
    QImage img(8, 4, QImage::Format_RGB888);
    img.fill(qRgb(0, 0, 255));
    ASSERT_TRUE(img.save(Path("plain.jpg"), "JPEG"));
    QFile plain(Path("plain.jpg"));
    ASSERT_TRUE(plain.open(QIODevice::ReadOnly));
    QByteArray jpeg = plain.readAll();
    const char exif[] = "\xFF\xE1\x00\x22"                   // APP1, 34 bytes
                        "Exif\0\0"                           // EXIF identifier
                        "II*\0\x08\0\0\0"                    // little-endian TIFF header, IFD at 8
                        "\x01\0"                             // one entry
                        "\x12\x01\x03\0\x01\0\0\0\x06\0\0\0" // Orientation (SHORT) = 6
                        "\0\0\0\0";                          // no next IFD
    jpeg.insert(2, QByteArray(exif, sizeof exif - 1));
    ASSERT_TRUE(WriteBytes(Path("turned.jpg"), jpeg));
    EXPECT_EQ(DecodePicture(Path("plain.jpg")).size(), QSize(8, 4));
    EXPECT_EQ(DecodePicture(Path("turned.jpg")).size(), QSize(4, 8));
}

TEST_F(PictureDecoder, RefusesWhatIsNotAPicture)
{
    EXPECT_TRUE(DecodePicture(Path("missing.png")).isNull());
    EXPECT_TRUE(DecodePicture(QString()).isNull());
    EXPECT_TRUE(DecodePicture(m_dir.path()).isNull()); // a folder

    ASSERT_TRUE(WriteBytes(Path("empty.jpg"), QByteArray()));
    EXPECT_TRUE(DecodePicture(Path("empty.jpg")).isNull());
    ASSERT_TRUE(WriteBytes(Path("empty.tga"), QByteArray()));
    EXPECT_TRUE(DecodePicture(Path("empty.tga")).isNull());

    ASSERT_TRUE(WriteBytes(Path("notes.jpg"), "Shopping list:\n- milk\n- bread\n"));
    EXPECT_TRUE(DecodePicture(Path("notes.jpg")).isNull());
    ASSERT_TRUE(WriteBytes(Path("notes.tga"), "Shopping list:\n- milk\n- bread\n"));
    EXPECT_TRUE(DecodePicture(Path("notes.tga")).isNull());
    // A bare Targa header promising pixels that are not there, under a foreign name.
    QByteArray header(18, '\0');
    header[2] = 2;
    header[12] = 8;
    header[14] = 6;
    header[16] = 24;
    ASSERT_TRUE(WriteBytes(Path("header-only.bmp"), header.left(10)));
    EXPECT_TRUE(DecodePicture(Path("header-only.bmp")).isNull());
}

TEST_F(PictureDecoder, TruncatedJpegKeepsWhatCouldBeDecoded)
{
    const QImage src = Quadrants(256, 192);
    ASSERT_TRUE(src.save(Path("full.jpg"), "JPEG", 90));
    QFile full(Path("full.jpg"));
    ASSERT_TRUE(full.open(QIODevice::ReadOnly));
    const QByteArray bytes = full.readAll();

    ASSERT_TRUE(WriteBytes(Path("half.jpg"), bytes.left(bytes.size() / 2)));
    const QImage half = DecodePicture(Path("half.jpg"));
    ASSERT_FALSE(half.isNull());
    EXPECT_EQ(half.size(), src.size());
    EXPECT_TRUE(Near(PixelAt(half, 3, 3), PixelAt(src, 3, 3), 10)); // the top was decoded

    // Cut inside the header: nothing to show.
    ASSERT_TRUE(WriteBytes(Path("stub.jpg"), bytes.left(20)));
    EXPECT_TRUE(DecodePicture(Path("stub.jpg")).isNull());
}

TEST_F(PictureDecoder, HugeDeclaredSizeFailsFastWithoutAllocating)
{
    // BMP header declaring 20000 x 20000 x 24 bit with no pixel data.
    QByteArray bmp(54, '\0');
    const auto put32 = [](QByteArray& b, int at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = char((v >> (8 * i)) & 0xff);
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(bmp, 2, 54u + 20000u * 60000u);
    put32(bmp, 10, 54);
    put32(bmp, 14, 40);
    put32(bmp, 18, 20000);
    put32(bmp, 22, 20000);
    bmp[26] = 1;
    bmp[28] = 24;
    ASSERT_TRUE(WriteBytes(Path("huge.bmp"), bmp));

    // The same for Targa, which goes through the separate reader.
    QByteArray tga(18, '\0');
    tga[2] = 2;
    tga[12] = char(20000 & 0xff);
    tga[13] = char(20000 >> 8);
    tga[14] = char(20000 & 0xff);
    tga[15] = char(20000 >> 8);
    tga[16] = 24;
    ASSERT_TRUE(WriteBytes(Path("huge.tga"), tga + QByteArray(64, '\x7f')));

    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(DecodePicture(Path("huge.bmp")).isNull());
    EXPECT_TRUE(DecodePicture(Path("huge.tga")).isNull());
    EXPECT_LT(timer.elapsed(), 2000);
}
