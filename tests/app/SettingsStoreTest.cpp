#include "app/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace {

class SettingsStoreTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString IniPath() const { return dir.filePath(QStringLiteral("cfg/Lumivale/Lumivale.ini")); }
};

TEST_F(SettingsStoreTest, MissingValuesReadEmptyAndFirstWriteCreatesFileAndKey)
{
    SettingsStore store(IniPath());
    EXPECT_EQ(store.Read(QStringLiteral("CohPath")), QString());
    EXPECT_FALSE(QFileInfo::exists(IniPath())) << "reading must not create the file";

    EXPECT_TRUE(store.Write(QStringLiteral("CohPath"), QStringLiteral("/games/City of Heroes")));
    EXPECT_TRUE(QFileInfo::exists(IniPath()));
    EXPECT_EQ(store.Read(QStringLiteral("CohPath")), QStringLiteral("/games/City of Heroes"));
    // A fresh store on the same file sees it: nothing is cached in the object.
    EXPECT_EQ(SettingsStore(IniPath()).ReadRegistryString(kProgramKey, QStringLiteral("CohPath")),
              QStringLiteral("/games/City of Heroes"));
}

TEST_F(SettingsStoreTest, BlankTextDeletesTheValue)
{
    SettingsStore store(IniPath());
    ASSERT_TRUE(store.Write(QStringLiteral("CohPath"), QStringLiteral("/g")));
    ASSERT_TRUE(store.Write(QStringLiteral("FrameHL"), QStringLiteral("/f.png")));

    EXPECT_TRUE(store.Write(QStringLiteral("CohPath"), QStringLiteral("   ")));
    EXPECT_EQ(store.Read(QStringLiteral("CohPath")), QString());
    EXPECT_EQ(store.Read(QStringLiteral("FrameHL")), QStringLiteral("/f.png")) << "other values stay";
    // Deleting again, or deleting in a missing key, reports that nothing was deleted.
    EXPECT_FALSE(store.Write(QStringLiteral("CohPath"), QString()));
    EXPECT_FALSE(
        store.WriteRegistryString(QStringLiteral("Software\\Nowhere"), QStringLiteral("x"), QString()));
    EXPECT_FALSE(
        SettingsStore(dir.filePath(QStringLiteral("none.ini"))).Write(QStringLiteral("x"), QString()));

    EXPECT_TRUE(store.Write(QStringLiteral("FrameHL"), QString()));
    EXPECT_EQ(store.Read(QStringLiteral("FrameHL")), QString());
}

TEST_F(SettingsStoreTest, TextIsStoredAsItStands)
{
    SettingsStore store(IniPath());
    // Blanks around text, commas, quotes, INI syntax, non-ASCII and a leading '@' all survive.
    const QStringList texts = {QStringLiteral(" 1"),           QStringLiteral("  padded  "),
                               QStringLiteral("a, b, c"),      QStringLiteral("\"quoted\" ; not a comment"),
                               QStringLiteral("[group]\nx=1"), QStringLiteral("@Variant(junk)"),
                               QStringLiteral("Ünïcödé 名前"), QStringLiteral("C:\\Games\\City of Heroes")};
    for (int i = 0; i < texts.size(); ++i)
        ASSERT_TRUE(store.Write(QStringLiteral("webName%1").arg(i), texts[i]));
    for (int i = 0; i < texts.size(); ++i)
        EXPECT_EQ(store.Read(QStringLiteral("webName%1").arg(i)), texts[i]);
}

TEST_F(SettingsStoreTest, LongValuesReadBackWhole)
{
    SettingsStore store(IniPath());
    for (int length : {1023, 1024, 5000}) {
        const QString text(length, QLatin1Char('x'));
        ASSERT_TRUE(store.Write(QStringLiteral("Long"), text));
        EXPECT_EQ(store.Read(QStringLiteral("Long")), text) << length;
    }
}

TEST_F(SettingsStoreTest, ValueNamesWithSpacesAndKeyCaseAreRegistryLike)
{
    SettingsStore store(IniPath());
    ASSERT_TRUE(store.WriteRegistryString(QStringLiteral("Software\\Cryptic\\Coh"),
                                          QStringLiteral("Installation Directory"),
                                          QStringLiteral("C:\\CoH")));
    EXPECT_EQ(store.ReadRegistryString(QStringLiteral("software\\CRYPTIC\\coh"),
                                       QStringLiteral("installation directory")),
              QStringLiteral("C:\\CoH"));
    // Writing under another spelling updates the one value instead of adding a second.
    ASSERT_TRUE(store.WriteRegistryString(QStringLiteral("SOFTWARE\\cryptic\\COH"),
                                          QStringLiteral("INSTALLATION DIRECTORY"),
                                          QStringLiteral("D:\\CoH")));
    EXPECT_EQ(store.ReadRegistryString(QStringLiteral("Software\\Cryptic\\Coh"),
                                       QStringLiteral("Installation Directory")),
              QStringLiteral("D:\\CoH"));
    QFile ini(IniPath());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll().count("CoH"), 1);
    // Names a group separator would split are refused.
    EXPECT_FALSE(store.Write(QStringLiteral("a/b"), QStringLiteral("1")));
    EXPECT_FALSE(store.Write(QString(), QStringLiteral("1")));
}

TEST_F(SettingsStoreTest, UnwritableFileReportsFailure)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    const QString folder = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(folder));
    SettingsStore store(folder + QStringLiteral("/Lumivale.ini"));
    ASSERT_TRUE(store.Write(QStringLiteral("CohPath"), QStringLiteral("/g")));
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    ASSERT_TRUE(QFile::setPermissions(store.FilePath(), QFile::ReadOwner));
    EXPECT_FALSE(store.Write(QStringLiteral("CohPath"), QStringLiteral("/other")));
    EXPECT_FALSE(store.Write(QStringLiteral("CohPath"), QString()));
    EXPECT_EQ(store.Read(QStringLiteral("CohPath")), QStringLiteral("/g"));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(SettingsStoreTest, MissingFolderThatCannotBeMadeReportsFailure)
{
    QFile blocker(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsStore store(dir.filePath(QStringLiteral("file/sub/Lumivale.ini")));
    EXPECT_FALSE(store.Write(QStringLiteral("CohPath"), QStringLiteral("/g")));
}

TEST_F(SettingsStoreTest, FileThatIsAFolderReportsFailure)
{
    // The folder is writable, so only QSettings' own status can tell.
    ASSERT_TRUE(QDir().mkpath(IniPath()));
    SettingsStore store(IniPath());
    EXPECT_FALSE(store.Write(QStringLiteral("CohPath"), QStringLiteral("/g")));
    EXPECT_EQ(store.Read(QStringLiteral("CohPath")), QString());
}

TEST_F(SettingsStoreTest, TwoStoresOnOneFileKeepEachOthersValues)
{
    SettingsStore window(IniPath());
    SettingsStore randomizer(IniPath());
    ASSERT_TRUE(window.Write(QStringLiteral("CohPath"), QStringLiteral("/g")));
    ASSERT_TRUE(randomizer.Write(QStringLiteral("RandomHL"), QStringLiteral("a.dds")));
    ASSERT_TRUE(window.Write(QStringLiteral("CohWidth"), QStringLiteral("1024")));
    EXPECT_EQ(randomizer.Read(QStringLiteral("CohWidth")), QStringLiteral("1024"));
    EXPECT_EQ(window.Read(QStringLiteral("RandomHL")), QStringLiteral("a.dds"));
    EXPECT_EQ(window.Read(QStringLiteral("CohPath")), QStringLiteral("/g"));

    // The same from two threads at once.
    auto writeMany = [this](const QString& prefix) {
        SettingsStore store(IniPath());
        for (int i = 0; i < 40; ++i)
            store.Write(prefix + QString::number(i), QStringLiteral("value %1").arg(i));
    };
    std::thread first(writeMany, QStringLiteral("threadA"));
    std::thread second(writeMany, QStringLiteral("threadB"));
    first.join();
    second.join();
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(window.Read(QStringLiteral("threadA%1").arg(i)), QStringLiteral("value %1").arg(i));
        EXPECT_EQ(window.Read(QStringLiteral("threadB%1").arg(i)), QStringLiteral("value %1").arg(i));
    }
}

TEST_F(SettingsStoreTest, TwoProcessesOnOneFileKeepEachOthersValues)
{
    const QString writer = QStringLiteral(LUMIVALE_BIN_DIR "/tests_app_settings_writer");
    ASSERT_TRUE(QFileInfo(writer).isExecutable());
    constexpr int kCount = 60;
    QProcess first;
    QProcess second;
    first.start(writer, {IniPath(), QStringLiteral("procA"), QString::number(kCount)});
    second.start(writer, {IniPath(), QStringLiteral("procB"), QString::number(kCount)});
    ASSERT_TRUE(first.waitForFinished(60000));
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(second.exitCode(), 0);
    SettingsStore store(IniPath());
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(store.Read(QStringLiteral("procA%1").arg(i)), QStringLiteral("value %1").arg(i));
        EXPECT_EQ(store.Read(QStringLiteral("procB%1").arg(i)), QStringLiteral("value %1").arg(i));
    }
}

TEST(CheckValueTest, ReadsLeadingNumberAndWritesWithOneBlank)
{
    EXPECT_EQ(CheckValueFromText(QStringLiteral(" 1")), 1);
    EXPECT_EQ(CheckValueFromText(QStringLiteral("1")), 1);
    EXPECT_EQ(CheckValueFromText(QStringLiteral(" 0")), 0);
    EXPECT_EQ(CheckValueFromText(QStringLiteral("abc")), 0);
    EXPECT_EQ(CheckValueFromText(QString()), 0);
    EXPECT_EQ(CheckValueFromText(QStringLiteral("  12abc")), 12);
    EXPECT_EQ(CheckValueFromText(QStringLiteral("-1")), -1);
    EXPECT_EQ(CheckValueFromText(QStringLiteral("99999999999")), std::numeric_limits<int>::max());
    EXPECT_EQ(CheckValueToText(0), QStringLiteral(" 0"));
    EXPECT_EQ(CheckValueToText(1), QStringLiteral(" 1"));
    EXPECT_EQ(CheckValueToText(-1), QStringLiteral("-1"));
}

TEST(SettingsStorePathTest, DefaultFileFollowsXdgConfigHome)
{
    QTemporaryDir dir;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    EXPECT_EQ(SettingsStore::DefaultFilePath(), dir.path() + QStringLiteral("/Lumivale/Lumivale.ini"));
    qputenv("XDG_CONFIG_HOME", saved);
}

} // namespace
