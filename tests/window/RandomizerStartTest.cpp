#include "window/RandomizerStart.h"

#include "LoopbackServer.h"
#include "RecordingBusyHost.h"
#include "TestTools.h"
#include "app/GameSettings.h"
#include "app/Startup.h"
#include "online/OnlineSettings.h"

#include <QApplication>
#include <QBuffer>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
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
        environment.now = [this] { return m_now; };
        environment.elapsedMs = [this] { return m_now.toMSecsSinceEpoch(); };
        return environment;
    }

    // A settings file whose slot 1 fetches address into a 64 x 32 texture,
    // with the last update done yesterday.
    std::unique_ptr<SettingsStore> UpdateDue(const QString& address)
    {
        auto store = std::make_unique<SettingsStore>(Path(QStringLiteral("config/Lumivale.ini")));
        EXPECT_TRUE(QDir().mkpath(Path(QStringLiteral("game/data"))));
        EXPECT_TRUE(store->Write(setting::kCohPath, Path(QStringLiteral("game"))));
        EXPECT_TRUE(SaveOnlinePick(*store, 1, QStringLiteral("Sky (64x32)"), 64, 32,
                                   QStringLiteral("texture_library/Sky"), QStringLiteral("sky")));
        EXPECT_TRUE(store->Write(setting::SlotValue(setting::kWebLink, 1), address));
        EXPECT_TRUE(WriteLastOnlineUpdate(*store, TodayText(m_now.date().addDays(-1))));
        return store;
    }
    QString Texture() const { return Path(QStringLiteral("game/data/texture_library/Sky/sky.texture")); }
    QStringList WorkFiles() const
    {
        QStringList files;
        QDirIterator it(Path(QStringLiteral("work")), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        return files;
    }

    QTemporaryDir m_dir;
    RecordingBusyHost m_host;
    QDateTime m_now{QDate(2026, 12, 8), QTime(7, 30)};
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

TEST_F(RandomizerStartTest, DailyUpdateAppliesTheBatchRecordsTheDateAndEnds)
{
    QImage picture(80, 40, QImage::Format_RGB32);
    picture.fill(Qt::darkBlue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(picture.save(&buffer, "PNG"));
    LoopbackServer server;
    server.Set("/sky.png", Answer("200 OK", {"Content-Type: image/png"}, png));
    const auto store = UpdateDue(server.Url(QStringLiteral("/sky.png")));
    const Environment environment = TestEnvironment();
    const WinePrefix prefix(Path(QStringLiteral("wine")));
    RandomizerStart run(*store, environment, prefix, m_host, nullptr);
    DownloadOptions options;
    options.systemProxy = false;
    run.SetDownloadOptions(options);
    int ended = 0;
    run.SetEndCallback([&ended] { ++ended; });
    ASSERT_TRUE(run.Run({QStringLiteral("-randomizer")}));
    EXPECT_EQ(ended, 0);
    ASSERT_TRUE(WaitUntil([&] { return ended > 0; }));
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(QFileInfo::exists(Texture()));
    EXPECT_EQ(ReadLastOnlineUpdate(*store), TodayText(m_now.date()));
    EXPECT_TRUE(WorkFiles().isEmpty()) << qPrintable(WorkFiles().join(QLatin1Char(' ')));
    EXPECT_TRUE(m_host.Messages().isEmpty());
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

TEST_F(RandomizerStartTest, AFailedSlotAppliesTheOthersButKeepsTheDate)
{
    QImage picture(80, 40, QImage::Format_RGB32);
    picture.fill(Qt::darkRed);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(picture.save(&buffer, "PNG"));
    LoopbackServer server;
    server.Set("/sky.png", Answer("200 OK", {"Content-Type: image/png"}, png));
    server.Set("/silent.png", LoopbackReply{{}, 0, false});
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    // A refused connection and a silent server, each beside a slot that stores its picture.
    for (const QString& failing : {QStringLiteral("http://127.0.0.1:%1/sky.png").arg(closedPort),
                                   server.Url(QStringLiteral("/silent.png"))}) {
        SCOPED_TRACE(qPrintable(failing));
        QFile::remove(Texture());
        const auto store = UpdateDue(server.Url(QStringLiteral("/sky.png")));
        ASSERT_TRUE(SaveOnlinePick(*store, 3, QStringLiteral("Moon (64x32)"), 64, 32,
                                   QStringLiteral("texture_library/Moon"), QStringLiteral("moon")));
        ASSERT_TRUE(store->Write(setting::SlotValue(setting::kWebLink, 3), failing));
        const QString before = ReadLastOnlineUpdate(*store);
        const Environment environment = TestEnvironment();
        const WinePrefix prefix(Path(QStringLiteral("wine")));
        RandomizerStart run(*store, environment, prefix, m_host, nullptr);
        DownloadOptions options;
        options.systemProxy = false;
        options.silenceLimitMs = 1000;
        run.SetDownloadOptions(options);
        bool ended = false;
        run.SetEndCallback([&ended] { ended = true; });
        ASSERT_TRUE(run.Run({QStringLiteral("-randomizer")}));
        ASSERT_TRUE(WaitUntil([&] { return ended; }, 5000));
        EXPECT_TRUE(QFileInfo::exists(Texture()));
        EXPECT_EQ(ReadLastOnlineUpdate(*store), before);
    }
}

TEST_F(RandomizerStartTest, NoSlotStartedEndsAtOnceAndKeepsTheDate)
{
    const auto store = UpdateDue(QStringLiteral("ftp://pictures.example/sky.png"));
    const QString before = ReadLastOnlineUpdate(*store);
    const Environment environment = TestEnvironment();
    const WinePrefix prefix(Path(QStringLiteral("wine")));
    RandomizerStart run(*store, environment, prefix, m_host, nullptr);
    EXPECT_FALSE(run.Run({QStringLiteral("-randomizer")}));
    EXPECT_EQ(ReadLastOnlineUpdate(*store), before);
    EXPECT_TRUE(m_host.Messages().isEmpty());
}

TEST_F(RandomizerStartTest, ThirtySecondsWithoutDataEndWithoutRecordingTheDate)
{
    LoopbackServer server;
    server.Set("/silent.png",
               LoopbackReply{{"HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n\r\nabc"}, 0, false});
    const auto store = UpdateDue(server.Url(QStringLiteral("/silent.png")));
    const QString before = ReadLastOnlineUpdate(*store);
    const Environment environment = TestEnvironment();
    const WinePrefix prefix(Path(QStringLiteral("wine")));
    RandomizerStart run(*store, environment, prefix, m_host, nullptr);
    DownloadOptions options;
    options.systemProxy = false;
    options.silenceLimitMs = 600000; // only the run's own time-out may end it
    run.SetDownloadOptions(options);
    bool ended = false;
    run.SetEndCallback([&ended] { ended = true; });
    ASSERT_TRUE(run.Run({QStringLiteral("-randomizer")}));
    ASSERT_TRUE(WaitUntil([&] { return server.Requests().size() == 1 && !WorkFiles().isEmpty(); }));
    // 30 seconds are not more than 30; the run crosses midnight meanwhile.
    m_now = m_now.addSecs(30);
    EXPECT_FALSE(WaitUntil([&] { return ended; }, 1500));
    m_now = QDateTime(m_now.date().addDays(1), QTime(0, 0, 31));
    ASSERT_TRUE(WaitUntil([&] { return ended; }, 3000));
    EXPECT_EQ(ReadLastOnlineUpdate(*store), before);
    EXPECT_FALSE(QFileInfo::exists(Texture()));
    EXPECT_TRUE(WorkFiles().isEmpty()) << qPrintable(WorkFiles().join(QLatin1Char(' ')));
    EXPECT_TRUE(m_host.Messages().isEmpty());
}

// The window program's randomizer start passes on every argument as it came,
// Qt's own options (-reverse) too; with no game folder it says where to set one.
TEST_F(RandomizerStartTest, ArgumentsReachTheLauncherAsTheyCame)
{
    const QString game = Path(QStringLiteral("game"));
    ASSERT_TRUE(QDir().mkpath(game));
    ASSERT_TRUE(WriteBytes(game + QStringLiteral("/paragonchat.exe"), "MZ"));
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("bin"))));
    const QByteArray seen = Path(QStringLiteral("seen")).toUtf8();
    ASSERT_TRUE(WriteScript(Path(QStringLiteral("bin/wine")), "for a in \"$@\"; do echo \"$a\"; done > \"" +
                                                                  seen + ".tmp\"\nmv \"" + seen +
                                                                  ".tmp\" \"" + seen + "\"\n"));
    SettingsStore store(Path(QStringLiteral("config/Lumivale/Lumivale.ini")));
    ASSERT_TRUE(store.Write(setting::kCohPath, game));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), Path(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), Path(QStringLiteral("cache")));
    environment.insert(QStringLiteral("PATH"),
                       Path(QStringLiteral("bin")) + QStringLiteral(":/usr/bin:/bin"));
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(QStringLiteral(LUMIVALE_BIN_DIR "/lumivale"),
            {QStringLiteral("-randomizer"), QStringLiteral("-reverse"), QStringLiteral("two words")});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    for (int i = 0; i < 100 && !QFileInfo::exists(QString::fromUtf8(seen)); ++i)
        QThread::msleep(20);
    EXPECT_EQ(ReadAll(QString::fromUtf8(seen)), game.toUtf8() + "/paragonchat.exe\n-reverse\ntwo words\n");

    SettingsStore none(Path(QStringLiteral("none/Lumivale.ini")));
    const Environment testEnvironment = TestEnvironment();
    const WinePrefix prefix(Path(QStringLiteral("no-prefix")));
    WineLauncher launcher;
    RandomizerStart run(none, testEnvironment, prefix, m_host, &launcher);
    EXPECT_FALSE(run.Run({QStringLiteral("-randomizer")}));
    ASSERT_EQ(m_host.Messages().size(), 1);
    EXPECT_EQ(m_host.Messages()[0].text,
              QStringLiteral("Unable to start Paragon Chat: no game folder is set."));
    EXPECT_TRUE(m_host.Messages()[0].detail.contains(QStringLiteral("Settings tab")));
}

} // namespace
