// lumivale-cli texture list | set | restore, run as a user runs it (over the shipped catalogue).
#include "TestTools.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kLoginFolder = QStringLiteral("game/data/texture_library/GUI/CREATION/Login");
const QString kZoneFolder = QStringLiteral("game/data/texture_library/loading_screens/City_Zones");

class TextureCliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(Path("game")));
        QImage picture(200, 100, QImage::Format_RGB32);
        picture.fill(QColor(200, 100, 50));
        ASSERT_TRUE(picture.save(Path("picture.png")));
    }
    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    ProcessResult Texture(const QStringList& arguments) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), Path("cache"));
        return RunTool(QStringLiteral(LUMIVALE_BIN_DIR "/lumivale-cli"), QStringList{"texture"} + arguments,
                       120000, environment);
    }
    QStringList Game() const { return {QStringLiteral("--game"), Path("game")}; }
    QStringList Set(const QStringList& what) const
    {
        return QStringList{"set"} + what + QStringList{Path("picture.png")} + Game();
    }

    QTemporaryDir m_dir;
};

TEST_F(TextureCliTest, ListsTheCatalogueAndRefusesBadCommandLines)
{
    const ProcessResult list = Texture({"list"});
    ASSERT_EQ(list.exitCode, 0) << list.err.constData();
    EXPECT_TRUE(list.out.startsWith("Loading screens: login & defaults\n"
                                    "  Login screen / default loading screen (hero skin) (1024x768)\tcoh\n"));
    EXPECT_TRUE(list.out.contains("\nLoading screens: Paragon City\n"
                                  "  Zone loading screen: Atlas Park (1024x768)\tCity_01_01\n"));
    EXPECT_EQ(list.out.count('\t'), 206);

    for (const QStringList& bad :
         {QStringList{}, QStringList{"list", "x"}, QStringList{"set", "coh"} + Game(),
          QStringList{"set", "coh", Path("picture.png")}, Set({"no_such_texture"}),
          Set({"--category", "No such category"}), QStringList{"restore"} + Game(),
          QStringList{"restore", "coh", "--compress"} + Game(), QStringList{"paint"}}) {
        const ProcessResult r = Texture(bad);
        EXPECT_EQ(r.exitCode, 2) << bad.join(' ').toStdString() << r.err.constData();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_TRUE(QDir(Path("game")).isEmpty());
}

TEST_F(TextureCliTest, SetsAndRestoresOneTextureOrACategory)
{
    // By base name (the catalogue's spelling need not be typed), with a mask.
    QImage mask(10, 10, QImage::Format_Grayscale8);
    mask.fill(0);
    ASSERT_TRUE(mask.save(Path("mask.png")));
    ProcessResult r = Texture(Set({"city_01_01", "--mask", Path("mask.png")}));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString atlas = Path(kZoneFolder + "/City_01_01.texture");
    EXPECT_EQ(r.out, (QFileInfo(atlas).canonicalFilePath() + "\n").toUtf8());
    const QByteArray written = ReadAll(atlas);
    ASSERT_EQ(written.size(), 32 + 58 + 128 + 1024 * 1024 * 4);
    EXPECT_EQ(written[28], 1);
    EXPECT_EQ(written.mid(32 + 58 + 128, 4), QByteArray::fromHex("3264c800")); // B G R, alpha 0 from the mask

    r = Texture(Set({"--category", "Loading screens: login & defaults"}));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out.count('\n'), 6);
    EXPECT_EQ(QDir(Path(kLoginFolder)).entryList(QDir::Files),
              (QStringList{"coh.texture", "cov.texture", "rogue.texture"}));

    // Restore asks nothing; a replacement changed since is left alone and named.
    ASSERT_TRUE(WriteBytes(Path(kLoginFolder + "/cov.texture"), "someone else's"));
    r = Texture(QStringList{"restore", "--category", "Loading screens: login & defaults"} + Game());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.count("deleted "), 5);
    EXPECT_TRUE(r.err.contains("cov: This file was left as it is")) << r.err.constData();
    EXPECT_EQ(QDir(Path(kLoginFolder)).entryList(QDir::Files), QStringList{"cov.texture"});
    EXPECT_TRUE(QFileInfo::exists(atlas));
    r = Texture(QStringList{"restore", "City_01_01"} + Game());
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_FALSE(QFileInfo::exists(atlas));
    // Nothing left to restore: nothing to do.
    r = Texture(QStringList{"restore", "City_01_01"} + Game());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.isEmpty());
}

// Each entry that fails is named with the message; the others are written.
TEST_F(TextureCliTest, FailedEntriesAreNamedAndKeepTheirOldFiles)
{
    ProcessResult r = Texture(QStringList{"set", "coh", Path("missing.png")} + Game());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("coh: Image could not be loaded.")) << r.err.constData();
    EXPECT_TRUE(QDir(Path("game")).isEmpty());

    ASSERT_TRUE(QDir().mkpath(Path(kLoginFolder)));
    for (const char* name : {"coh", "cov", "rogue"})
        ASSERT_TRUE(WriteBytes(Path(kLoginFolder + "/" + name + ".texture"), name));
    // An immutable folder refuses even root.
    if (RunTool(QStringLiteral("chattr"), {QStringLiteral("+i"), Path(kLoginFolder)}).exitCode != 0)
        GTEST_SKIP() << "chattr +i is not available here";
    r = Texture(Set({"--category", "Loading screens: login & defaults"}));
    RunTool(QStringLiteral("chattr"), {QStringLiteral("-i"), Path(kLoginFolder)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.count('\n'), 3); // the three zone screens
    EXPECT_EQ(r.err.count("Error writing image. Please check file permissions."), 3) << r.err.constData();
    for (const char* name : {"coh", "cov", "rogue"}) {
        EXPECT_TRUE(r.err.contains(QByteArray(name) + ": Error writing image.")) << name;
        EXPECT_EQ(ReadAll(Path(kLoginFolder + "/" + name + ".texture")), QByteArray(name));
    }
}

} // namespace
