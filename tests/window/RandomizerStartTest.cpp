#include "window/RandomizerStart.h"

#include "RecordingBusyHost.h"
#include "app/Startup.h"
#include "online/OnlineSettings.h"

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class RandomizerStartTest : public ::testing::Test
{
protected:
    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    Environment TestEnvironment() const
    {
        Environment environment = SystemEnvironment();
        environment.workFolder = Path(QStringLiteral("work"));
        environment.now = [] { return QDateTime(QDate(2026, 12, 8), QTime(7, 30)); };
        return environment;
    }

    QTemporaryDir m_dir;
    RecordingBusyHost m_host;
};

TEST_F(RandomizerStartTest, RunMakesNoWidgetStoresNothingAndEndsAtOnce)
{
    SettingsStore store(Path(QStringLiteral("config/Lumivale.ini")));
    const Environment environment = TestEnvironment();
    const WinePrefix prefix(Path(QStringLiteral("wine")));
    ASSERT_TRUE(IsRandomizerCommandLine({QStringLiteral("x-randomizerx")}));
    RandomizerStart run(store, environment, prefix, m_host, nullptr);
    EXPECT_FALSE(run.Run({QStringLiteral("x-randomizerx")}));
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
    {
        // Busy scopes of the run touch no control: there is none.
        BusyScope busy(m_host, false, 50, QStringLiteral("Loading..."));
        busy.Step(25, QStringLiteral("Other"));
        EXPECT_TRUE(m_host.Busy());
    }
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(store.FilePath()));
    EXPECT_TRUE(m_host.Messages().isEmpty());
}

TEST_F(RandomizerStartTest, TodaysUpdateAlreadyDoneEndsWithoutDownloads)
{
    SettingsStore store(Path(QStringLiteral("config/Lumivale.ini")));
    const Environment environment = TestEnvironment();
    ASSERT_TRUE(store.Write(setting::kLastOnlineUpdate, TodayText(environment.Today())));
    const WinePrefix prefix(Path(QStringLiteral("wine")));
    RandomizerStart run(store, environment, prefix, m_host, nullptr);
    EXPECT_FALSE(run.Run({QStringLiteral("-randomizer")}));
    EXPECT_EQ(ReadLastOnlineUpdate(store), TodayText(environment.Today()));
}

} // namespace
