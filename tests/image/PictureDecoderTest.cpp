#include "image/PictureDecoder.h"

#include "TestPictures.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
        const QImage img = DecodePicture(Path(name)).value_or(QImage());
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

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// jpeg with an EXIF block saying "turn 90 degrees clockwise to view".
QByteArray WithOrientation6(QByteArray jpeg)
{
    const char exif[] = "\xFF\xE1\x00\x22"                   // APP1, 34 bytes
                        "Exif\0\0"                           // EXIF identifier
                        "II*\0\x08\0\0\0"                    // little-endian TIFF header, IFD at 8
                        "\x01\0"                             // one entry
                        "\x12\x01\x03\0\x01\0\0\0\x06\0\0\0" // Orientation (SHORT) = 6
                        "\0\0\0\0";                          // no next IFD
    jpeg.insert(2, QByteArray(exif, sizeof exif - 1));
    return jpeg;
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
        const QImage img = DecodePicture(Path(name)).value_or(QImage());
        ASSERT_FALSE(img.isNull());
        EXPECT_TRUE(img.format() == QImage::Format_RGB888 || img.format() == QImage::Format_RGB32);
        EXPECT_EQ(img.convertToFormat(src.format()), src);
    }
    const QImage jpg = DecodePicture(Path("a.jpg")).value_or(QImage());
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
    const QImage grey = DecodePicture(Path("grey16.png")).value_or(QImage());
    ASSERT_FALSE(grey.isNull());
    const Rgb g = PixelAt(grey, 1, 1);
    EXPECT_TRUE(g.r == g.g && g.g == g.b);
    EXPECT_TRUE(Near(g, {128, 128, 128}, 2));

    // Only the first frame of an animation is taken.
    ASSERT_TRUE(Convert({QStringLiteral("-size"), QStringLiteral("4x4"), QStringLiteral("xc:lime"),
                         QStringLiteral("xc:blue"), Path("anim.gif")}));
    const QImage first = DecodePicture(Path("anim.gif")).value_or(QImage());
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
    const QImage out = DecodePicture(Path("alpha.png")).value_or(QImage());
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
        const QImage gif = DecodePicture(Path("clear.gif")).value_or(QImage());
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
    const QImage grey = DecodePicture(Path("grey.tga")).value_or(QImage());
    ASSERT_EQ(grey.size(), QSize(4, 2));
    EXPECT_TRUE(Near(PixelAt(grey, 3, 1), {102, 102, 102}, 1));
}

TEST_F(PictureDecoder, TurnsRotatedPhotosUpright)
{
    // An 8x4 JPEG with an EXIF block saying "turn 90 degrees clockwise to view".
    QImage img(8, 4, QImage::Format_RGB888);
    img.fill(qRgb(0, 0, 255));
    ASSERT_TRUE(img.save(Path("plain.jpg"), "JPEG"));
    ASSERT_TRUE(WriteBytes(Path("turned.jpg"), WithOrientation6(ReadAll(Path("plain.jpg")))));
    EXPECT_EQ(DecodePicture(Path("plain.jpg"))->size(), QSize(8, 4));
    EXPECT_EQ(DecodePicture(Path("turned.jpg"))->size(), QSize(4, 8));
}

TEST_F(PictureDecoder, RefusesWhatIsNotAPicture)
{
    EXPECT_FALSE(DecodePicture(Path("missing.png")));
    EXPECT_FALSE(DecodePicture(QString()));
    EXPECT_FALSE(DecodePicture(m_dir.path())); // a folder

    ASSERT_TRUE(WriteBytes(Path("empty.jpg"), QByteArray()));
    EXPECT_FALSE(DecodePicture(Path("empty.jpg")));
    ASSERT_TRUE(WriteBytes(Path("empty.tga"), QByteArray()));
    EXPECT_FALSE(DecodePicture(Path("empty.tga")));

    ASSERT_TRUE(WriteBytes(Path("notes.jpg"), "Shopping list:\n- milk\n- bread\n"));
    EXPECT_FALSE(DecodePicture(Path("notes.jpg")));
    ASSERT_TRUE(WriteBytes(Path("notes.tga"), "Shopping list:\n- milk\n- bread\n"));
    EXPECT_FALSE(DecodePicture(Path("notes.tga")));
    // A bare Targa header promising pixels that are not there, under a foreign name.
    QByteArray header(18, '\0');
    header[2] = 2;
    header[12] = 8;
    header[14] = 6;
    header[16] = 24;
    ASSERT_TRUE(WriteBytes(Path("header-only.bmp"), header.left(10)));
    EXPECT_FALSE(DecodePicture(Path("header-only.bmp")));
}

// A cut download must never become a grey or black texture: every format
// whose reader keeps a partial picture is refused when its data ends early,
// with the loader's message and a reason.
TEST_F(PictureDecoder, CutOrDamagedPicturesAreRefused)
{
    const QImage src = Quadrants(256, 192);
    ASSERT_TRUE(src.save(Path("full.png")));
    // Qt writes no GIF; ImageMagick does.
    const bool gif = HaveConvert() && Convert({Path("full.png"), Path("full.gif")});
    for (const char* format : {"JPEG", "BMP", "GIF", "PNG"}) {
        SCOPED_TRACE(format);
        const QString full = Path("full.") + QString::fromLatin1(format).toLower();
        if (QByteArray(format) == "GIF" && !gif)
            continue;
        if (QByteArray(format) != "GIF") {
            ASSERT_TRUE(src.save(full, format, 90));
        }
        QFile file(full);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        ASSERT_TRUE(DecodePicture(full));
        for (const qsizetype cut : {qsizetype(20), bytes.size() / 5, bytes.size() / 2, bytes.size() - 40}) {
            ASSERT_TRUE(WriteBytes(Path("cut"), bytes.left(cut)));
            const Result<QImage> decoded = DecodePicture(Path("cut"));
            ASSERT_FALSE(decoded) << cut;
            EXPECT_EQ(decoded.error().Headline().text, kImageLoadError);
            EXPECT_FALSE(decoded.error().Headline().detail.isEmpty());
        }
    }

    // Bytes after the end of a JPEG are harmless, and so are extra markers.
    QFile jpeg(Path("full.jpeg"));
    ASSERT_TRUE(jpeg.open(QIODevice::ReadOnly));
    QByteArray bytes = jpeg.readAll();
    ASSERT_TRUE(WriteBytes(Path("trailing.jpg"), bytes + QByteArray(300, 'x')));
    EXPECT_TRUE(DecodePicture(Path("trailing.jpg")));
    QByteArray comment("\xFF\xFE\x00\x07hello", 9);
    bytes.insert(2, comment);
    ASSERT_TRUE(WriteBytes(Path("comment.jpg"), bytes));
    EXPECT_TRUE(DecodePicture(Path("comment.jpg")));
}

// A Targa header that promises pixels the file does not hold, plain or run-length.
TEST_F(PictureDecoder, TargaShorterThanItsHeaderDeclaresIsRefused)
{
    QByteArray header(18, '\0');
    header[2] = 2;    // uncompressed true colour
    header[12] = 100; // 100 x 100
    header[14] = 100;
    header[16] = 24;
    ASSERT_TRUE(WriteBytes(Path("h.tga"), header));
    Result<QImage> decoded = DecodePicture(Path("h.tga"));
    ASSERT_FALSE(decoded);
    EXPECT_EQ(decoded.error().Headline().text, kImageLoadError);
    ASSERT_TRUE(WriteBytes(Path("almost.tga"), header + QByteArray(100 * 100 * 3 - 1, '\x10')));
    EXPECT_FALSE(DecodePicture(Path("almost.tga")));
    ASSERT_TRUE(WriteBytes(Path("whole.tga"), header + QByteArray(100 * 100 * 3, '\x10')));
    EXPECT_TRUE(DecodePicture(Path("whole.tga")));

    // Run-length data that stops half way.
    header[2] = 10;
    QByteArray rle;
    for (int i = 0; i < 40; ++i)
        rle += QByteArray("\xFF\x20\x30\x40", 4); // 128 pixels each
    ASSERT_TRUE(WriteBytes(Path("rle-cut.tga"), header + rle));
    EXPECT_FALSE(DecodePicture(Path("rle-cut.tga")));
    for (int i = 40; i < 78; ++i)
        rle += QByteArray("\xFF\x20\x30\x40", 4);
    rle += QByteArray("\x8F\x20\x30\x40", 4); // the last 16 of 10000
    ASSERT_TRUE(WriteBytes(Path("rle.tga"), header + rle));
    const Result<QImage> whole = DecodePicture(Path("rle.tga"));
    ASSERT_TRUE(whole);
    EXPECT_EQ(PixelAt(*whole, 99, 99), (Rgb{0x40, 0x30, 0x20}));
}

// Only regular files are opened: a FIFO never blocks the loader.
TEST_F(PictureDecoder, FifoIsRefusedAtOnce)
{
    const QString fifo = Path("pipe.jpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QElapsedTimer timer;
    timer.start();
    const Result<QImage> decoded = DecodePicture(fifo);
    EXPECT_LT(timer.elapsed(), 2000);
    ASSERT_FALSE(decoded);
    EXPECT_EQ(decoded.error().Headline().text, kImageLoadError);
    // A symlink to a good picture is followed.
    ASSERT_TRUE(Quadrants(16, 12).save(Path("real.png")));
    ASSERT_TRUE(QFile::link(Path("real.png"), Path("link.png")));
    EXPECT_TRUE(DecodePicture(Path("link.png")));
}

namespace {

quint32 Crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= uchar(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void Put(QByteArray& bytes, qsizetype at, quint32 value, int size, bool bigEndian)
{
    for (int i = 0; i < size; ++i)
        bytes[at + i] = char(value >> (8 * (bigEndian ? size - 1 - i : i)));
}

// A small picture of the given format whose header declares width x height.
QByteArray Declaring(const char* format, quint32 width, quint32 height)
{
    QByteArray bytes;
    const QByteArray kind(format);
    if (kind == "gif") { // Qt writes no GIF: a one-pixel picture by hand
        bytes = QByteArray("GIF89a") + QByteArray(7, '\0') + QByteArray(6, '\0') + '\x2C' +
                QByteArray(9, '\0') + QByteArray("\x02\x02\x44\x01\x00\x3B", 6);
        bytes[10] = char(0x80);
        Put(bytes, 6, width, 2, false), Put(bytes, 8, height, 2, false);
        Put(bytes, 24, width, 2, false), Put(bytes, 26, height, 2, false);
        return bytes;
    }
    if (kind == "tga") {
        bytes = QByteArray(18, '\0') + QByteArray(64, '\x7f');
        bytes[2] = 2, bytes[16] = 24;
        Put(bytes, 12, width, 2, false), Put(bytes, 14, height, 2, false);
        return bytes;
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    Quadrants(16, 16).save(&buffer, format);
    if (kind == "png") {
        Put(bytes, 16, width, 4, true), Put(bytes, 20, height, 4, true);
        Put(bytes, 29, Crc32(bytes.mid(12, 17)), 4, true);
    } else if (kind == "jpeg") {
        const qsizetype sof = bytes.indexOf("\xFF\xC0");
        Put(bytes, sof + 5, height, 2, true), Put(bytes, sof + 7, width, 2, true);
    } else if (kind == "bmp") {
        Put(bytes, 18, width, 4, false), Put(bytes, 22, height, 4, false);
    }
    return bytes;
}

// A picture of one colour made by ffmpeg, which writes big pictures quickly.
bool Ffmpeg(const QString& path, QSize size)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            {"-v", "error", "-y", "-f", "lavfi", "-i",
             QStringLiteral("color=c=0x3060c0:s=%1x%2").arg(size.width()).arg(size.height()), "-frames:v",
             "1", "-pix_fmt", path.endsWith(".png") ? "rgb24" : "yuvj444p", path});
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

// A bomb is refused from its header, with one message whatever its format.
TEST_F(PictureDecoder, TooLargePicturesAreRefusedAlikeWithoutAllocating)
{
    const QString reason = PictureTooLargeReason(QSize(60000, 60000));
    EXPECT_EQ(reason,
              QStringLiteral(
                  "The picture is too large (60000 x 60000 pixels; at most 200 megapixels can be loaded)."));
    QElapsedTimer timer;
    timer.start();
    for (const char* format : {"png", "jpeg", "gif", "bmp", "tga"}) {
        SCOPED_TRACE(format);
        const QString path = Path("bomb.") + QString::fromLatin1(format);
        ASSERT_TRUE(WriteBytes(path, Declaring(format, 60000, 60000)));
        const Result<QImage> decoded = DecodePicture(path);
        ASSERT_FALSE(decoded);
        EXPECT_EQ(decoded.error().Headline().text, kImageLoadError);
        EXPECT_EQ(decoded.error().Reason(), reason);
    }
    EXPECT_LT(timer.elapsed(), 5000);
}

// Current phones' photos load: a 60-megapixel PNG whole, a 108-megapixel JPEG
// at the scale the loading screen needs.
TEST_F(PictureDecoder, LoadsPhotosUpTo200Megapixels)
{
    if (!Ffmpeg(Path("probe.png"), QSize(8, 8)))
        GTEST_SKIP() << "ffmpeg not installed";
    ASSERT_TRUE(Ffmpeg(Path("big.png"), QSize(9000, 6700)));
    const Result<QImage> png = DecodePicture(Path("big.png"));
    ASSERT_TRUE(png) << qPrintable(png.error().Text());
    EXPECT_EQ(png->size(), QSize(9000, 6700));
    EXPECT_TRUE(Near(PixelAt(*png, 8999, 6699), Rgb{0x30, 0x60, 0xc0}, 2));

    ASSERT_TRUE(Ffmpeg(Path("big.jpg"), QSize(12000, 9000)));
    const Result<QImage> jpeg = DecodePicture(Path("big.jpg"), QSize(1024, 768));
    ASSERT_TRUE(jpeg) << qPrintable(jpeg.error().Text());
    EXPECT_EQ(jpeg->size(), QSize(1500, 1125));
    EXPECT_TRUE(Near(PixelAt(*jpeg, 1499, 1124), Rgb{0x30, 0x60, 0xc0}, 4));
}

// A JPEG is decoded at 1/2, 1/4 or 1/8 only when that still covers the size
// asked for (upright); below twice that size it comes out exactly as unscaled.
TEST_F(PictureDecoder, BigJpegsDecodeAtTheSmallestCoveringScale)
{
    struct Case
    {
        QSize cover;
        bool turned; // stored 800 x 600 with EXIF "turn 90 degrees": upright 600 x 800
        QSize decoded;
    } const cases[] = {
        {{100, 75}, false, {100, 75}},   {{101, 75}, false, {200, 150}},  {{200, 150}, false, {200, 150}},
        {{201, 150}, false, {400, 300}}, {{400, 300}, false, {400, 300}}, {{401, 300}, false, {800, 600}},
        {{400, 301}, false, {800, 600}}, {{150, 200}, true, {150, 200}},  {{200, 150}, true, {300, 400}},
        {{}, false, {800, 600}},
    };
    ASSERT_TRUE(Quadrants(800, 600).save(Path("plain.jpg"), "JPEG", 90));
    ASSERT_TRUE(WriteBytes(Path("turned.jpg"), WithOrientation6(ReadAll(Path("plain.jpg")))));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.cover.width() << "x" << c.cover.height() << " " << c.turned);
        const QString path = Path(c.turned ? "turned.jpg" : "plain.jpg");
        const Result<QImage> img = DecodePicture(path, c.cover);
        ASSERT_TRUE(img);
        EXPECT_EQ(img->size(), c.decoded);
        if (img->size() == (c.turned ? QSize(600, 800) : QSize(800, 600)))
            EXPECT_EQ(*img, *DecodePicture(path));
        else
            EXPECT_TRUE(Near(PixelAt(*img, 0, 0), PixelAt(*DecodePicture(path), 0, 0), 8));
    }
}
