#include "randomizer/Pools.h"

#include "RecordingBusyHost.h"
#include "TestTools.h"
#include "app/FileNames.h"
#include "image/ImageLoader.h"
#include "texture/LoadingScreen.h"
#include "texture/TextureWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class PoolsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(Path("game")));
        ASSERT_TRUE(QDir().mkpath(Path("pictures")));
        m_environment = SystemEnvironment();
        m_environment.workFolder = Path("work");
    }
    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    // A small picture of one colour.
    QString Picture(const QString& relative, QColor colour, QSize size = {64, 48})
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = Path(relative);
        EXPECT_TRUE(image.save(path, relative.endsWith(QLatin1String(".jpg")) ? "JPEG" : nullptr));
        return path;
    }
    PoolTarget Target(LoadingScreen screen = LoadingScreen::Login) const
    {
        PoolTarget target;
        target.gameFolder = Path("game");
        target.screen = screen;
        return target;
    }
    QStringList PoolEntries(LoadingScreen screen = LoadingScreen::Login) const
    {
        return QDir(Path("game/") + PoolFolder(screen)).entryList(QDir::Files | QDir::Hidden);
    }

    QTemporaryDir m_dir;
    Environment m_environment;
    RecordingBusyHost m_host;
};

TEST_F(PoolsTest, ExtensionRuleAndPlainFilesInNameOrder)
{
    for (const char* taken :
         {"Photo.JPEG", "a.Tga", "x.bmp", "picturejpeg", "img10.png", "img2.gif", "B.jpg"})
        ASSERT_TRUE(WriteBytes(Path("pictures/") + QString::fromLatin1(taken), "x"));
    for (const char* left : {"notes.txt", "image.jpe", "jpg"})
        ASSERT_TRUE(WriteBytes(Path("pictures/") + QString::fromLatin1(left), "x"));
    // Folders, FIFOs and dangling links named like pictures are not plain files.
    ASSERT_TRUE(QDir().mkpath(Path("pictures/folder.jpg")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("pictures/pipe.png")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(Path("nowhere.png"), Path("pictures/dangling.png")));
    ASSERT_TRUE(QFile::link(Path("pictures/x.bmp"), Path("pictures/linked.bmp")));

    const FolderPictures pictures = ListFolderPictures(Path("pictures"));
    EXPECT_FALSE(pictures.capped);
    EXPECT_EQ(pictures.names, (QStringList{"a.Tga", "B.jpg", "img2.gif", "img10.png", "linked.bmp",
                                           "Photo.JPEG", "picturejpeg", "x.bmp"}));
    EXPECT_TRUE(IsPoolPicture(QStringLiteral("SUNSET.BMP")));
    EXPECT_FALSE(IsPoolPicture(QStringLiteral("sunset.webp")));
}

TEST_F(PoolsTest, ThousandPicturesAreTheLimit)
{
    for (int count : {1000, 1001}) {
        SCOPED_TRACE(count);
        const QString folder = Path(QStringLiteral("many%1").arg(count));
        ASSERT_TRUE(QDir().mkpath(folder));
        for (int i = count; i >= 1; --i)
            ASSERT_TRUE(WriteBytes(QStringLiteral("%1/p%2.jpg").arg(folder).arg(i), QByteArray()));
        const FolderPictures pictures = ListFolderPictures(folder);
        EXPECT_TRUE(pictures.capped);
        ASSERT_EQ(pictures.names.size(), 1000);
        EXPECT_EQ(pictures.names.first(), QStringLiteral("p1.jpg"));
        EXPECT_EQ(pictures.names.last(), QStringLiteral("p1000.jpg"));
    }
    EXPECT_FALSE(ListFolderPictures(Path("pictures")).capped);
}

// A pool file is the very surface the loading-screen save writes for the same
// picture, framed or not; names keep the picture's extension.
TEST_F(PoolsTest, PoolFilesHoldTheLoadingScreensSurface)
{
    QImage frame(1024, 768, QImage::Format_RGB32);
    frame.fill(QColor(255, 0, 255));
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 1024; ++x)
            frame.setPixelColor(x, y, QColor(0, 90, 0));
    ASSERT_TRUE(frame.save(Path("frame.png")));
    const QString jpg = Picture("pictures/a.jpg", QColor(200, 100, 50), {1920, 1080});
    const QString png = Picture("pictures/a.png", QColor(10, 20, 200));

    for (const bool framed : {false, true}) {
        SCOPED_TRACE(framed);
        PoolTarget target = Target();
        if (framed)
            target.frame = Path("frame.png");
        for (const QString& file : {jpg, png}) {
            Result<PixelBufferPtr> picture = LoadImageFile(m_host, file, 1024, 768);
            ASSERT_TRUE(picture);
            const Result<QString> added =
                AddToPool(m_host, m_environment, target, QFileInfo(file).fileName(), *picture);
            ASSERT_TRUE(added) << qPrintable(added.error().Text());
            LoadingScreenJob job;
            job.gameFolder = Path("game");
            job.picture = *picture;
            job.frame = target.frame;
            const Result<QString> screen = SaveLoadingScreen(m_host, m_environment, job);
            ASSERT_TRUE(screen);
            EXPECT_EQ(ReadAll(*added), ReadAll(*screen).mid(113));
        }
        EXPECT_EQ(PoolEntries(), (QStringList{QStringLiteral("a.jpg.dds"), QStringLiteral("a.png.dds")}));
    }
    // The same picture again: still one file, written anew.
    const QString pool = Path("game/Lumivale/RandomHL/a.png.dds");
    Result<PixelBufferPtr> other =
        LoadImageFile(m_host, Picture("pictures/b.png", QColor(1, 2, 3)), 1024, 768);
    ASSERT_TRUE(AddToPool(m_host, m_environment, Target(), QStringLiteral("a.png"), *other));
    EXPECT_EQ(PoolEntries().size(), 2);
    EXPECT_EQ(ReadAll(pool).mid(128, 4), QByteArray::fromHex("030201ff"));
    EXPECT_FALSE(m_host.Busy());
}

TEST_F(PoolsTest, FolderPassSkipsWhatItCannotUseAndTellsOnce)
{
    Picture("pictures/1.png", Qt::red);
    ASSERT_TRUE(WriteBytes(Path("pictures/2.jpg"), "not a picture at all"));
    Picture("pictures/3.png", Qt::blue);
    ASSERT_TRUE(WriteBytes(Path("pictures/4.bmp"), QByteArray()));
    Picture("pictures/5.png", Qt::green);
    QList<int> seen;
    const PassSummary summary =
        AddFolderToPool(m_host, m_environment, Target(), Path("pictures"),
                        ListFolderPictures(Path("pictures")), [&](int i, int n) { seen << i * 10 + n; });
    EXPECT_EQ(seen, (QList<int>{15, 25, 35, 45, 55}));
    EXPECT_EQ(summary.total, 5);
    EXPECT_EQ(summary.added.size(), 3);
    ASSERT_EQ(summary.skipped.size(), 2);
    EXPECT_EQ(summary.skipped[0].first, QStringLiteral("2.jpg"));
    EXPECT_EQ(summary.skipped[1].first, QStringLiteral("4.bmp"));
    EXPECT_FALSE(summary.cancelled);
    EXPECT_EQ(summary.lastPicture, Path("pictures/5.png"));
    EXPECT_EQ(PoolEntries(), (QStringList{"1.png.dds", "3.png.dds", "5.png.dds"}));
    // One busy state for the whole pass; no message of its own on the way.
    EXPECT_EQ(m_host.BusyEntries(), 1);
    EXPECT_TRUE(m_host.Messages().isEmpty());
    const Failure message = SkippedPicturesMessage(summary);
    ASSERT_EQ(message.Messages().size(), 1);
    EXPECT_TRUE(message.Headline().text.startsWith(QStringLiteral("Image could not be loaded.\n2.jpg: ")))
        << qPrintable(message.Headline().text);
    EXPECT_TRUE(message.Headline().text.contains(QStringLiteral("\n4.bmp: ")));

    // Pictures the pool cannot take (a pool file name that is a folder) head their own block.
    ASSERT_TRUE(QDir().mkpath(Path("game/Lumivale/RandomHC/1.png.dds")));
    const PassSummary blocked = AddFolderToPool(m_host, m_environment, Target(LoadingScreen::Character),
                                                Path("pictures"), ListFolderPictures(Path("pictures")));
    EXPECT_EQ(blocked.added.size(), 2);
    EXPECT_TRUE(SkippedPicturesMessage(blocked).Headline().text.contains(
        QStringLiteral("Error writing image. Please check file permissions.\n1.png")));
}

// Names that are not UTF-8 (disks filled from older systems) are listed, read
// and shown with replacement characters; the pool file takes the shown name.
TEST_F(PoolsTest, NamesThatAreNotUtf8AreTakenAndShown)
{
    const QString folder = Path("pictures/") + FileNameFromBytes("\xe9t\xe9");
    ASSERT_EQ(::mkdir(FileNameToBytes(folder).constData(), 0700), 0);
    const auto moveTo = [&](const QString& from, const QByteArray& name) {
        return ::rename(QFile::encodeName(from).constData(),
                        (FileNameToBytes(folder) + '/' + name).constData());
    };
    ASSERT_EQ(moveTo(Picture("pictures/a.png", Qt::red), "caf\xe9.png"), 0);
    ASSERT_TRUE(WriteBytes(Path("pictures/b.jpg"), "not a picture"));
    ASSERT_EQ(moveTo(Path("pictures/b.jpg"), "d\xe9j\xe0.jpg"), 0);

    const FolderPictures pictures = ListFolderPictures(folder);
    ASSERT_EQ(pictures.names,
              (QStringList{FileNameFromBytes("caf\xe9.png"), FileNameFromBytes("d\xe9j\xe0.jpg")}));
    const PassSummary summary = AddFolderToPool(m_host, m_environment, Target(), folder, pictures);
    EXPECT_EQ(summary.added.size(), 1);
    EXPECT_EQ(PoolEntries(), QStringList{QStringLiteral("caf\uFFFD.png.dds")});
    EXPECT_TRUE(
        SkippedPicturesMessage(summary).Headline().text.contains(QStringLiteral("\nd\uFFFDj\uFFFD.jpg: ")));
    // QTemporaryDir cannot remove what Qt cannot name.
    for (const QByteArray name : {"caf\xe9.png", "d\xe9j\xe0.jpg"})
        ::unlink((FileNameToBytes(folder) + '/' + name).constData());
    ::rmdir(FileNameToBytes(folder).constData());
}

TEST_F(PoolsTest, CancelledPassLeavesOnlyCompletePoolFiles)
{
    for (int i = 1; i <= 6; ++i)
        Picture(QStringLiteral("pictures/%1.png").arg(i), QColor(i * 30, 0, 0));
    PassSummary summary;
    summary = AddFolderToPool(m_host, m_environment, Target(), Path("pictures"),
                              ListFolderPictures(Path("pictures")), [&](int i, int) {
                                  if (i == 3)
                                      m_host.RequestCancel();
                              });
    EXPECT_TRUE(summary.cancelled);
    const QStringList entries = PoolEntries();
    EXPECT_GE(entries.size(), 2);
    EXPECT_LE(entries.size(), 3);
    for (const QString& entry : entries)
        EXPECT_EQ(QFileInfo(Path("game/Lumivale/RandomHL/") + entry).size(), 4194432) << qPrintable(entry);
    EXPECT_FALSE(m_host.Busy());
}

TEST_F(PoolsTest, NoGameFolderNoPool)
{
    PoolTarget target = Target();
    target.gameFolder = Path("nowhere");
    Result<PixelBufferPtr> picture = LoadImageFile(m_host, Picture("pictures/a.png", Qt::red), 1024, 768);
    const Result<QString> added = AddToPool(m_host, m_environment, target, QStringLiteral("a.png"), *picture);
    ASSERT_FALSE(added);
    EXPECT_EQ(added.error().Headline().text, kWriteErrorMessage);
    EXPECT_FALSE(QFileInfo::exists(Path("nowhere")));
    EXPECT_FALSE(AddToPool(m_host, m_environment, Target(), QStringLiteral("../escape.png"), *picture));
}

} // namespace
