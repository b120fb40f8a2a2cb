#include "app/FileAccess.h"

#include "app/FileNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

} // namespace

// Names that are not UTF-8 survive the trip into text and back, and open.
TEST(FileNamesTest, BytesRoundTripAndOpen)
{
    const QByteArray names[] = {"plain.png", "caf\xc3\xa9.png",       "caf\xe9.png",
                                "\xff\xfe",  "\xf0\x90\x82\x80x\xe9", "\xed\xa0\x80",
                                "\xc0\xaf"};
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const QByteArray& bytes : names) {
        const QString name = FileNameFromBytes(bytes);
        EXPECT_EQ(FileNameToBytes(name), bytes) << bytes.toHex().constData();
        const bool utf8 = QString::fromUtf8(bytes).toUtf8() == bytes;
        EXPECT_EQ(DisplayFileName(name).contains(QChar::ReplacementCharacter), !utf8);
        const QByteArray path = QFile::encodeName(dir.path()) + '/' + bytes;
        FILE* made = std::fopen(path.constData(), "w");
        ASSERT_NE(made, nullptr);
        std::fputs("x", made);
        std::fclose(made);
        QFile file;
        EXPECT_TRUE(OpenRegularFile(file, dir.path() + QLatin1Char('/') + name)) << bytes.toHex().constData();
    }
    EXPECT_EQ(DisplayFileName(FileNameFromBytes("caf\xe9.png")), QStringLiteral("caf\uFFFD.png"));

    // Listed by their bytes too; folders (checked by their bytes) and FIFOs are not regular files.
    const QString folder = dir.path() + QLatin1Char('/') + FileNameFromBytes("d\xe9j\xe0");
    ASSERT_EQ(::mkdir(FileNameToBytes(folder).constData(), 0700), 0);
    EXPECT_TRUE(IsFolder(folder));
    EXPECT_FALSE(IsFolder(dir.path() + QLatin1Char('/') + FileNameFromBytes("caf\xe9.png")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.path() + QStringLiteral("/pipe")).constData(), 0600), 0);
    QStringList listed = ListRegularFiles(dir.path()).value_or(QStringList());
    QStringList expected;
    for (const QByteArray& bytes : names)
        expected << FileNameFromBytes(bytes);
    listed.sort();
    expected.sort();
    EXPECT_EQ(listed, expected);
    EXPECT_FALSE(ListRegularFiles(dir.path() + QStringLiteral("/missing")));
    // QTemporaryDir cannot remove what Qt cannot name.
    for (const QByteArray& bytes : names)
        ::unlink((QFile::encodeName(dir.path()) + '/' + bytes).constData());
    ::rmdir(FileNameToBytes(folder).constData());
}
