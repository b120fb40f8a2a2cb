#include "app/WinePrefix.h"

#include "app/GameSettings.h"
#include "app/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A Wine prefix in a temporary folder: drive_c, dosdevices/c: -> ../drive_c, and a user.reg.
class FakePrefix : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        root = QFileInfo(dir.path()).canonicalFilePath();
        ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/drive_c/Games/City of Heroes/data")));
        ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/dosdevices")));
        ASSERT_TRUE(QFile::link(QStringLiteral("../drive_c"), root + QStringLiteral("/dosdevices/c:")));
    }

    void WriteUserReg(const QByteArray& body)
    {
        QFile file(root + QStringLiteral("/user.reg"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
                   "#arch=win32\n\n");
        file.write(body);
    }

    QTemporaryDir dir;
    QString root;
};

TEST_F(FakePrefix, MapsWindowsPathsThroughTheDriveLink)
{
    const WinePrefix prefix(root);
    const QString game = root + QStringLiteral("/drive_c/Games/City of Heroes");
    EXPECT_EQ(prefix.ToHostPath(QStringLiteral("C:\\Games\\City of Heroes")), game);
    EXPECT_EQ(prefix.ToHostPath(QStringLiteral("c:\\GAMES\\city OF heroes\\")), game);
    EXPECT_EQ(prefix.ToHostPath(QStringLiteral("C:/Games/City of Heroes/DATA")),
              game + QStringLiteral("/data"));
    EXPECT_EQ(prefix.ToHostPath(QStringLiteral("C:\\")), root + QStringLiteral("/drive_c"));
    EXPECT_EQ(prefix.ToHostPath(QStringLiteral("C:\\Games\\Other\\..\\City of Heroes")), game);
    // A missing tail keeps its spelling; the folder may be made later.
    EXPECT_EQ(prefix.ToHostPath(QStringLiteral("C:\\games\\New Game\\Sub")),
              root + QStringLiteral("/drive_c/Games/New Game/Sub"));

    // Unmappable: no such drive, drive-relative, relative, UNC, empty.
    EXPECT_EQ(prefix.ToHostPath(QStringLiteral("D:\\Games")), QString());
    EXPECT_EQ(prefix.ToHostPath(QStringLiteral("C:Games")), QString());
    EXPECT_EQ(prefix.ToHostPath(QStringLiteral("Games\\City of Heroes")), QString());
    EXPECT_EQ(prefix.ToHostPath(QStringLiteral("\\\\server\\share\\coh")), QString());
    EXPECT_EQ(prefix.ToHostPath(QString()), QString());
    EXPECT_EQ(WinePrefix(root + QStringLiteral("/nowhere")).ToHostPath(QStringLiteral("C:\\Games")),
              QString());
}

TEST_F(FakePrefix, ReadsTheGamesKeyAfreshEachTime)
{
    const WinePrefix prefix(root);
    EXPECT_EQ(ReadGameSettings(prefix, QStringLiteral("Coh")).screenX, QString()) << "no user.reg yet";
    WriteUserReg("[Software\\\\Cryptic\\\\Coh] 1796715068\n#time=1d9\n\"screenX\"=\"1280\"\n");
    EXPECT_EQ(ReadGameSettings(prefix, QStringLiteral("coh")).screenX, QStringLiteral("1280"));
    WriteUserReg("[Software\\\\Cryptic\\\\Coh] 1796715068\n\"screenX\"=\"1920\"\n");
    EXPECT_EQ(ReadGameSettings(prefix, QStringLiteral("Coh")).screenX, QStringLiteral("1920"));
}

TEST_F(FakePrefix, ReadGameSettingsGivesHostFolderAndSizeTexts)
{
    WriteUserReg("[Software\\\\Cryptic\\\\Coh] 1\n"
                 "\"Installation Directory\"=\"C:\\\\games\\\\CITY OF HEROES\"\n"
                 "\"screenX\"=dword:00000500\n"
                 "[Software\\\\Cryptic\\\\CohBeta] 2\n"
                 "\"Installation Directory\"=\"E:\\\\Beta\"\n"
                 "\"screenX\"=\"800\"\n");
    const WinePrefix prefix(root);
    const DetectedGameSettings live = ReadGameSettings(prefix, QStringLiteral("Coh"));
    EXPECT_EQ(live.folder, root + QStringLiteral("/drive_c/Games/City of Heroes"));
    EXPECT_EQ(live.screenX, QStringLiteral("1280"));
    EXPECT_EQ(live.screenY, QString());
    // Another key name reads that key; its drive has no link, so no folder.
    const DetectedGameSettings beta = ReadGameSettings(prefix, QStringLiteral("CohBeta"));
    EXPECT_EQ(beta.folder, QString());
    EXPECT_EQ(beta.screenX, QStringLiteral("800"));
}

TEST_F(FakePrefix, StartupFolderPrefersStoredPathAndFallsBackToTheFixedKey)
{
    WriteUserReg("[Software\\\\Cryptic\\\\Coh] 1\n"
                 "\"Installation Directory\"=\"C:\\\\Games\\\\City of Heroes\"\n"
                 "[Software\\\\Cryptic\\\\Other] 1\n"
                 "\"Installation Directory\"=\"C:\\\\Games\"\n");
    SettingsStore store(root + QStringLiteral("/Lumivale.ini"));
    const WinePrefix prefix(root);
    // "CohRegKey" naming another key does not change the start-up fallback.
    ASSERT_TRUE(store.Write(QStringLiteral("CohRegKey"), QStringLiteral("Other")));
    EXPECT_EQ(StartupGameFolder(store, prefix), root + QStringLiteral("/drive_c/Games/City of Heroes"));
    ASSERT_TRUE(store.Write(QStringLiteral("CohPath"), QStringLiteral("/srv/coh")));
    EXPECT_EQ(StartupGameFolder(store, prefix), QStringLiteral("/srv/coh"));
    ASSERT_TRUE(store.Write(QStringLiteral("CohPath"), QStringLiteral("  ")));
    EXPECT_EQ(StartupGameFolder(store, prefix), root + QStringLiteral("/drive_c/Games/City of Heroes"));
}

TEST(NormalizeSizeTextTest, KeepsTheLeadingNumberWithoutSign)
{
    const std::pair<const char*, const char*> cases[] = {
        {" 1280 px", "1280"}, {"", "0"},     {"-800", "800"},
        {"1024x768", "1024"}, {"abc", "0"},  {"12.5", "12.5"},
        {"12.50", "12.5"},    {"12.", "12"}, {".5", "0.5"},
        {"007", "7"},         {"0", "0"},    {"+640", "640"},
        {"\t 768", "768"},    {"- 5", "0"},  {"99999999999", "99999999999"},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(NormalizeSizeText(QString::fromUtf8(input)), QString::fromUtf8(expected)) << input;
}

} // namespace
