#include "TextureTestSupport.h"
#include "image/ImageLoader.h"
#include "image/PictureDecoder.h"
#include "texture/TextureReplacement.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

CatalogueEntry Entry(const char* fileName, qint32 width, qint32 height,
                     const char* gamePath = "texture_library/GUI/Icons")
{
    return CatalogueEntry{QString::fromLatin1(fileName), width, height, QString::fromLatin1(gamePath),
                          QString::fromLatin1(fileName)};
}

class ReplacementTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(Path("game")));
        m_environment.workFolder = Path("work");
    }
    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    QString Game() const { return Path("game"); }
    QString FileOf(const CatalogueEntry& entry) const
    {
        return Game() + QLatin1Char('/') + TextureFilePath(entry.Target());
    }
    QString SavePicture(const QString& name, const QImage& image)
    {
        EXPECT_TRUE(image.save(Path(name)));
        return Path(name);
    }
    // A picture with a distinct colour in each quarter.
    QString Quarters(const QString& name, QSize size)
    {
        QImage image(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                image.setPixel(x, y,
                               qRgb(x < size.width() / 2 ? 250 : 10, y < size.height() / 2 ? 200 : 30, 90));
        return SavePicture(name, image);
    }
    QList<Result<QString>> Replace(const QList<CatalogueEntry>& entries, const QString& picture,
                                   const QString& mask = QString())
    {
        return ReplaceTextures(m_host, m_environment, {Game(), picture, mask, false}, entries);
    }
    // The surface of a written .texture as ImageMagick reads it (top-down RGBA), and its header.
    QByteArray Surface(const CatalogueEntry& entry, QByteArray* header = nullptr)
    {
        const QByteArray bytes = ReadAll(FileOf(entry));
        if (bytes.size() < 32)
            return {};
        if (header)
            *header = bytes.left(qsizetype(U32At(bytes, 0)));
        const QString dds = Path(entry.fileName + QStringLiteral(".dds"));
        WriteBytes(dds, bytes.mid(qsizetype(U32At(bytes, 0))));
        return DecodeRgba(dds);
    }

    QTemporaryDir m_dir;
    RecordingBusyHost m_host;
    Environment m_environment;
};

// Top-down RGBA of a buffer as the writer stores it without a mask.
QByteArray Rgba(const PixelBuffer& dib)
{
    QByteArray rgba;
    for (int y = dib.Height() - 1; y >= 0; --y)
        for (int x = 0; x < dib.Width(); ++x) {
            const std::uint8_t* p = dib.Row(y) + 3 * x;
            rgba += char(p[2]), rgba += char(p[1]), rgba += char(p[0]), rgba += char(0xff);
        }
    return rgba;
}

TEST_F(ReplacementTest, WriteAllGivesEachEntryTheSourceAtItsOwnSize)
{
    const QString source = Quarters("source.png", {300, 200});
    const QList<CatalogueEntry> entries{
        Entry("big", 256, 256), Entry("bigger", 512, 512, "texture_library/x"), Entry("wide", 64, 32)};
    const QList<Result<QString>> results = Replace(entries, source);
    ASSERT_EQ(results.size(), 3);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(results[i]) << results[i].error().Text().toStdString();
        EXPECT_EQ(*results[i], QFileInfo(FileOf(entries[i])).canonicalFilePath());
        QByteArray header;
        const QByteArray rgba = Surface(entries[i], &header);
        EXPECT_EQ(U32At(header, 8), quint32(entries[i].width));
        EXPECT_EQ(U32At(header, 12), quint32(entries[i].height));
        EXPECT_EQ(header.mid(32),
                  (entries[i].gamePath + '/' + entries[i].fileName + ".dds").toLatin1() + '\0');
        // Exactly what the loader gives at that size.
        const Result<PixelBufferPtr> expected =
            LoadImageFile(m_host, source, entries[i].width, entries[i].height);
        ASSERT_TRUE(expected);
        EXPECT_EQ(rgba, Rgba(**expected)) << i;
    }
    EXPECT_TRUE(m_host.Messages().isEmpty());
    EXPECT_FALSE(m_host.Busy());
    EXPECT_TRUE(m_host.Statuses().contains(QStringLiteral("Writing wide...")));
}

// A 46 x 46 icon is declared 46 x 46 and stored 64 x 64: columns beyond zero,
// rows beyond repeating the last one. Without a mask every alpha is 255 and
// the has-alpha byte 0.
TEST_F(ReplacementTest, NonPowerOfTwoEntriesAreStoredAtTheNextPowerOfTwo)
{
    EXPECT_EQ(StoredTextureSize(46), 64);
    EXPECT_EQ(StoredTextureSize(768), 1024);
    EXPECT_EQ(StoredTextureSize(512), 512);
    EXPECT_EQ(StoredTextureSize(1), 1);
    const CatalogueEntry icon = Entry("enh_icon", 46, 46);
    const QString source = Quarters("source.png", {46, 46});
    ASSERT_TRUE(Replace({icon}, source)[0]);
    QByteArray header;
    const QByteArray rgba = Surface(icon, &header);
    EXPECT_EQ(U32At(header, 8), 46u);
    EXPECT_EQ(U32At(header, 12), 46u);
    EXPECT_EQ(header[28], 0);
    ASSERT_EQ(rgba.size(), 64 * 64 * 4);
    const auto pixel = [&](int x, int y) { return rgba.mid((qsizetype(y) * 64 + x) * 4, 4); };
    EXPECT_EQ(pixel(0, 0), QByteArray::fromHex("fac85aff"));
    EXPECT_EQ(pixel(45, 0), QByteArray::fromHex("0ac85aff"));
    EXPECT_EQ(pixel(45, 45), QByteArray::fromHex("0a1e5aff"));
    for (int y : {0, 45, 46, 63}) {
        EXPECT_EQ(pixel(46, y), QByteArray(4, '\0')) << y;
        EXPECT_EQ(pixel(63, y), QByteArray(4, '\0')) << y;
    }
    for (int y : {46, 63})
        EXPECT_EQ(rgba.mid(qsizetype(y) * 256, 256), rgba.mid(45 * 256, 256)) << y;
}

// A mask of another size is resampled to the entry like the picture; black is
// transparent, white opaque, and the has-alpha byte is set.
TEST_F(ReplacementTest, MaskMakesBlackTransparent)
{
    const CatalogueEntry entry = Entry("masked", 64, 32);
    QImage mask(128, 64, QImage::Format_Grayscale8);
    mask.fill(255);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            mask.setPixel(x, y, qRgb(0, 0, 0));
    const QString maskFile = SavePicture("mask.bmp", mask);
    const QString source = Quarters("source.png", {640, 320});
    ASSERT_TRUE(Replace({entry}, source, maskFile)[0]);
    QByteArray header;
    const QByteArray rgba = Surface(entry, &header);
    EXPECT_EQ(header[28], 1);
    ASSERT_EQ(rgba.size(), 64 * 32 * 4);
    EXPECT_EQ(rgba.mid((5 * 64 + 3) * 4, 4), QByteArray::fromHex("fac85a00"));
    EXPECT_EQ(rgba.mid((5 * 64 + 60) * 4, 4), QByteArray::fromHex("0ac85aff"));

    // A mask that cannot be loaded stops its entry, saying it is the mask and why: nothing is written.
    const CatalogueEntry other = Entry("other", 32, 32);
    ASSERT_TRUE(WriteBytes(Path("broken.png"), "not a picture"));
    const QList<Result<QString>> results = Replace({other, entry}, source, Path("broken.png"));
    ASSERT_EQ(results.size(), 2);
    for (const Result<QString>& r : results) {
        ASSERT_FALSE(r);
        EXPECT_EQ(r.error().Headline().text, kMaskLoadError);
        EXPECT_FALSE(r.error().Reason().isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(FileOf(other)));
    EXPECT_EQ(Surface(entry), rgba);
}

// Restore acts on the program's own files only, and a foreign loose file comes back as it was.
TEST_F(ReplacementTest, RestorePutsBackWhatWasThereAndLeavesOthersAlone)
{
    const CatalogueEntry mine = Entry("mine", 32, 32), foreign = Entry("foreign", 32, 32),
                         absent = Entry("absent", 32, 32);
    const QString source = Quarters("source.png", {32, 32});
    ASSERT_TRUE(QDir().mkpath(QFileInfo(FileOf(foreign)).path()));
    const QByteArray mod = QByteArray("another mod's texture\0\x01", 24);
    ASSERT_TRUE(WriteBytes(FileOf(foreign), mod));
    EXPECT_EQ(ReplacementOwner(Game(), foreign), GameFileOwner::Other);
    EXPECT_EQ(ReplacementOwner(Game(), mine), GameFileOwner::None);

    for (int round = 0; round < 2; ++round) // the second replace keeps the first backup
        for (const Result<QString>& r : Replace({mine, foreign}, source))
            ASSERT_TRUE(r);
    const QString backup = Game() + "/Lumivale/Backup/" + TextureFilePath(foreign.Target()).toLower();
    EXPECT_EQ(ReadAll(backup), mod);
    EXPECT_EQ(ReplacementOwner(Game(), foreign), GameFileOwner::Program);

    QList<Result<RestoreOutcome>> restored = RestoreTextures(Game(), {mine, foreign, absent});
    ASSERT_EQ(restored.size(), 3);
    EXPECT_EQ(restored[0]->kind, RestoreOutcome::Deleted);
    EXPECT_EQ(restored[1]->kind, RestoreOutcome::BackupPutBack);
    EXPECT_EQ(restored[2]->kind, RestoreOutcome::NotThere);
    EXPECT_FALSE(QFileInfo::exists(FileOf(mine)));
    EXPECT_EQ(ReadAll(FileOf(foreign)), mod);
    EXPECT_FALSE(QFileInfo::exists(backup));

    // A second restore leaves the foreign file alone; so does one of a replacement changed since.
    ASSERT_TRUE(Replace({mine}, source)[0]);
    ASSERT_TRUE(WriteBytes(FileOf(mine), "edited by hand"));
    restored = RestoreTextures(Game(), {mine, foreign});
    EXPECT_EQ(restored[0]->kind, RestoreOutcome::LeftAlone);
    EXPECT_EQ(restored[1]->kind, RestoreOutcome::LeftAlone);
    EXPECT_EQ(restored[1]->path, QFileInfo(FileOf(foreign)).canonicalFilePath());
    EXPECT_EQ(ReadAll(FileOf(mine)), QByteArray("edited by hand"));
    EXPECT_EQ(ReadAll(FileOf(foreign)), mod);
    EXPECT_EQ(LeftAloneMessage({"a", "b"}).detail, QStringLiteral("a\nb"));
}

} // namespace
