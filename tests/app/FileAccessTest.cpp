#include "app/FileAccess.h"

#include "app/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

namespace {

TEST(ReturnPathTest, FolderPartOfWindowsAndHostPaths)
{
    EXPECT_EQ(ReturnPath(QStringLiteral("C:\\Games\\Client\\cityofheroes.exe")),
              QStringLiteral("C:\\Games\\Client"));
    EXPECT_EQ(ReturnPath(QStringLiteral("C:\\file.txt")), QStringLiteral("C:"));
    EXPECT_EQ(ReturnPath(QStringLiteral("cityofheroes.exe")), QString());
    EXPECT_EQ(ReturnPath(QStringLiteral("\\file.txt")), QString());
    EXPECT_EQ(ReturnPath(QString()), QString());
    EXPECT_EQ(ReturnPath(QStringLiteral("/home/u/a.jpg")), QStringLiteral("/home/u"));
    EXPECT_EQ(ReturnPath(QStringLiteral("C:\\Games/mixed\\x.exe")), QStringLiteral("C:\\Games/mixed"));
}

class FolderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        game = QFileInfo(dir.path()).canonicalFilePath() + QStringLiteral("/game");
        ASSERT_TRUE(QDir().mkpath(game + QStringLiteral("/data/Texture_Library")));
    }
    QTemporaryDir dir;
    QString game;
};

TEST_F(FolderTest, EnsureFolderCreatesNestedLevels)
{
    const QString target = game + QStringLiteral("/A/B/");
    EXPECT_EQ(EnsureFolder(target), game + QStringLiteral("/A/B"));
    EXPECT_TRUE(QFileInfo(game + QStringLiteral("/A/B")).isDir());
    EXPECT_EQ(EnsureFolder(target), game + QStringLiteral("/A/B")) << "a second call changes nothing";
    EXPECT_EQ(QDir(game).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 2);
}

TEST_F(FolderTest, EnsureFolderReusesAFolderSpelledInAnotherCase)
{
    const QString used = EnsureFolder(game + QStringLiteral("/data/texture_library/GUI"));
    EXPECT_EQ(used, game + QStringLiteral("/data/Texture_Library/GUI"));
    EXPECT_TRUE(QFileInfo(used).isDir());
    EXPECT_EQ(QDir(game + QStringLiteral("/data")).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("Texture_Library")});
}

TEST_F(FolderTest, EnsureFolderIsSilentWhenItCannotCreate)
{
    QFile blocker(game + QStringLiteral("/file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_EQ(EnsureFolder(game + QStringLiteral("/file/sub")), game + QStringLiteral("/file/sub"));
    EXPECT_FALSE(QFileInfo::exists(game + QStringLiteral("/file/sub")));
}

TEST_F(FolderTest, MatchPathCasePrefersExactSpelling)
{
    ASSERT_TRUE(QDir().mkpath(game + QStringLiteral("/Sound/Ogg")));
    ASSERT_TRUE(QDir().mkpath(game + QStringLiteral("/sound")));
    EXPECT_EQ(MatchPathCase(game + QStringLiteral("/sound")), game + QStringLiteral("/sound"));
    EXPECT_EQ(MatchPathCase(game + QStringLiteral("/Sound/OGG/new/x.ogg")),
              game + QStringLiteral("/Sound/Ogg/new/x.ogg"));
    EXPECT_EQ(MatchPathCase(game + QStringLiteral("/DATA/")), game + QStringLiteral("/data/"));
}

TEST_F(FolderTest, GameFilePathStaysBelowTheGameFolder)
{
    EXPECT_EQ(GameFilePath(game, QStringLiteral("\\data\\texture_library\\GUI\\x.texture")),
              game + QStringLiteral("/data/Texture_Library/GUI/x.texture"));
    EXPECT_EQ(GameFilePath(game + QStringLiteral("/"), QStringLiteral("DATA/Texture_Library")),
              game + QStringLiteral("/data/Texture_Library"));
    EXPECT_EQ(GameFilePath(game, QStringLiteral("..\\..\\etc\\passwd")),
              game + QStringLiteral("/etc/passwd"));
    EXPECT_EQ(GameFilePath(QString(), QStringLiteral("data/x.texture")), QString());
}

TEST_F(FolderTest, FileRecordsReadWriteAndClose)
{
    const QString path = game + QStringLiteral("/block.bin");
    FileRecord missing = OpenFileHandle(path, kGenericRead, kShareRead, kOpenExisting);
    EXPECT_EQ(missing.handle, -1);
    EXPECT_EQ(missing.path, path);
    EXPECT_FALSE(QFileInfo::exists(path)) << "open-existing never creates";

    FileRecord writer = OpenFileHandle(path, kGenericWrite, kShareRead | kShareWrite, kCreateAlways);
    ASSERT_GT(writer.handle, 0);
    const QByteArray header = QByteArrayLiteral("TX") + LongToBytes(0x01020304u);
    EXPECT_EQ(WriteFileBlock(writer, header.constData(), header.size()), header.size());
    char buffer[16] = {};
    EXPECT_EQ(ReadFileBlock(writer, buffer, 4), -1) << "a write handle does not read";
    CloseFileHandle(writer);
    EXPECT_EQ(writer.handle, -1);
    EXPECT_TRUE(writer.path.isEmpty());

    // Create-always on an existing file truncates it.
    FileRecord again = OpenFileHandle(path, kGenericWrite, 3, kCreateAlways);
    EXPECT_EQ(WriteFileBlock(again, "ab", 2), 2);
    CloseFileHandle(again);
    EXPECT_EQ(QFileInfo(path).size(), 2);

    FileRecord reader = OpenFileHandle(path, kGenericRead, kShareRead, kOpenExisting);
    ASSERT_GT(reader.handle, 0);
    EXPECT_EQ(ReadFileBlock(reader, buffer, sizeof buffer), 2);
    EXPECT_EQ(QByteArray(buffer, 2), QByteArray("ab"));
    EXPECT_EQ(ReadFileBlock(reader, buffer, sizeof buffer), 0) << "end of file";
    EXPECT_EQ(WriteFileBlock(reader, "x", 1), -1);
    CloseFileHandle(reader);

    // A closed record transfers nothing and leaves the buffer alone.
    std::memset(buffer, 0x5a, sizeof buffer);
    EXPECT_EQ(ReadFileBlock(reader, buffer, sizeof buffer), 0);
    EXPECT_EQ(buffer[0], 0x5a);
    EXPECT_EQ(WriteFileBlock(reader, buffer, 1), 0);
    FileRecord never;
    EXPECT_EQ(ReadFileBlock(never, buffer, 1), 0);

    // Folders and unknown dispositions do not open.
    EXPECT_EQ(OpenFileHandle(game, kGenericRead, 1, kOpenExisting).handle, -1);
    EXPECT_EQ(OpenFileHandle(path, kGenericRead, 1, 9).handle, -1);
    EXPECT_EQ(OpenFileHandle(game + QStringLiteral("/no/such/dir/f"), kGenericWrite, 3, kCreateAlways).handle,
              -1);
}

TEST_F(FolderTest, WriteOpenExistingNeitherCreatesNorTruncates)
{
    const QString path = game + QStringLiteral("/keep.bin");
    EXPECT_EQ(OpenFileHandle(path, kGenericWrite, 3, kOpenExisting).handle, -1);
    EXPECT_FALSE(QFileInfo::exists(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("12345");
    file.close();
    FileRecord record = OpenFileHandle(path, kGenericWrite, 3, kOpenExisting);
    ASSERT_GT(record.handle, 0);
    EXPECT_EQ(WriteFileBlock(record, "ab", 2), 2);
    CloseFileHandle(record);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("ab345"));
}

TEST(ByteHelpersTest, LittleEndianAndBackslashes)
{
    EXPECT_EQ(LongToBytes(0x11223344u), QByteArray("\x44\x33\x22\x11", 4));
    EXPECT_EQ(LongToBytes(0u), QByteArray(4, '\0'));
    EXPECT_EQ(LongToBytes(0xffffffffu), QByteArray(4, '\xff'));
    EXPECT_EQ(SlashToBackslash(QStringLiteral("/data/texture_library/")),
              QStringLiteral("\\data\\texture_library\\"));
}

TEST(AppPathsTest, FoldersFollowTheEnvironmentAndTheBuildTree)
{
    QTemporaryDir dir;
    const QByteArray savedCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", dir.path().toUtf8());
    EXPECT_EQ(WorkFolder(), dir.path() + QStringLiteral("/Lumivale"));
    EXPECT_TRUE(QFileInfo(dir.path() + QStringLiteral("/Lumivale")).isDir());
    qputenv("XDG_CACHE_HOME", savedCache);

    // The tests run from the build's bin folder, which is the data folder.
    EXPECT_EQ(QFileInfo(DataFolder()).canonicalFilePath(),
              QFileInfo(QStringLiteral(LUMIVALE_BIN_DIR)).canonicalFilePath());

    // The compressor comes from PATH when the data folder has none.
    const QString compressor = FindCompressor();
    if (!QFileInfo::exists(QStringLiteral(LUMIVALE_BIN_DIR "/nvcompress"))) {
        EXPECT_EQ(compressor, QStandardPaths::findExecutable(QStringLiteral("nvcompress")));
    }
}

} // namespace
