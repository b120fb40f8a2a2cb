#include "LoopbackServer.h"
#include "app/SettingsStore.h"
#include "online/OnlineSettings.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// The loopback server's thread wants an application object.
class CoreApplication : public ::testing::Environment
{
public:
    void SetUp() override
    {
        if (!QCoreApplication::instance())
            m_app = std::make_unique<QCoreApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[6] = "tests";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QCoreApplication> m_app;
};
[[maybe_unused]] const auto* const kApplication = ::testing::AddGlobalTestEnvironment(new CoreApplication);

class OnlineCliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy"})
            qunsetenv(name);
        ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("game/data"))));
    }
    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    // The tool's settings, in the test's own configuration folder.
    SettingsStore Store(const QString& config = QStringLiteral("config")) const
    {
        return SettingsStore(Path(config + QStringLiteral("/Lumivale/Lumivale.ini")));
    }
    ProcessResult Cli(const QStringList& arguments, const QString& config = QStringLiteral("config")) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), Path(QStringLiteral("cache")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), Path(config));
        return RunTool(QStringLiteral(LUMIVALE_BIN_DIR "/lumivale-cli"), arguments, 60000, environment);
    }

    QTemporaryDir m_dir;
};

QByteArray Png()
{
    QImage image(70, 50, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

TEST_F(OnlineCliTest, UpdateSaysForEverySlotWhetherItWasApplied)
{
    LoopbackServer server;
    server.Set("/good.png", Answer("200 OK", {"Content-Type: image/png"}, Png()));
    server.Set("/gone.png", Answer("404 Not Found", {"Content-Type: image/png"}, Png()));
    SettingsStore store = Store();
    const QStringList links = {
        server.Url(QStringLiteral("/good.png")), server.Url(QStringLiteral("/gone.png")),
        QStringLiteral("ftp://pictures.example/a.png"), QString(), server.Url(QStringLiteral("/good.png"))};
    for (int i = 0; i < kOnlineSlots; ++i) {
        if (i != 3) {
            ASSERT_TRUE(SaveOnlinePick(store, i, QStringLiteral("T%1").arg(i), 100, 60,
                                       QStringLiteral("texture_library/T%1").arg(i), QStringLiteral("t")));
        }
        ASSERT_TRUE(store.WriteValues({{setting::SlotValue(setting::kWebLink, i), links[i]}}));
    }
    // Slot 4 names a texture outside the data folder.
    ASSERT_TRUE(
        store.Write(setting::SlotValue(setting::kWebPath, 4), QStringLiteral("texture_library/../..")));
    const QStringList update = {QStringLiteral("online"), QStringLiteral("update"), QStringLiteral("--game"),
                                Path(QStringLiteral("game"))};
    ProcessResult r = Cli(update);
    EXPECT_EQ(r.exitCode, 1) << r.err.constData();
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 5) << r.out.constData();
    EXPECT_TRUE(lines[0].startsWith("slot 0: applied -> ")) << lines[0].constData();
    EXPECT_TRUE(lines[0].endsWith("/data/texture_library/T0/t.texture"));
    EXPECT_TRUE(lines[1].startsWith("slot 1: download failed: ") && lines[1].contains("404"));
    EXPECT_TRUE(lines[2].startsWith("slot 2: not started: ") && lines[2].contains("ftp"));
    EXPECT_EQ(lines[3], "slot 3: not in use");
    EXPECT_TRUE(lines[4].startsWith("slot 4: not applied: ") && lines[4].contains("webPath4"));
    EXPECT_TRUE(r.err.contains("Downloads took ")) << r.err.constData();
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("game/data/texture_library/T0/t.texture"))));

    // With only the working slot left, every started slot is applied.
    for (int i = 1; i < kOnlineSlots; ++i)
        ASSERT_TRUE(store.WriteValues({{setting::SlotValue(setting::kWebLink, i), QString()}}));
    r = Cli(update);
    EXPECT_EQ(r.exitCode, 0) << r.out.constData() << r.err.constData();
    EXPECT_EQ(Cli({QStringLiteral("online"), QStringLiteral("update")}).exitCode, 2);
}

TEST_F(OnlineCliTest, ExportAndImportRoundTripAndRefusals)
{
    SettingsStore store = Store();
    ASSERT_TRUE(SaveOnlinePick(store, 2, QStringLiteral("Sky (512x256)"), 512, 256,
                               QStringLiteral("texture_library/Sky"), QStringLiteral("sky")));
    ASSERT_TRUE(
        store.Write(setting::SlotValue(setting::kWebLink, 2), QStringLiteral("https://a.example/s.png")));
    const QString file = Path(QStringLiteral("Lumivale Textures.reg"));
    ProcessResult r = Cli({QStringLiteral("online"), QStringLiteral("export"), file});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(ReadAll(file).count("\r\n"), 32);
    // A FIFO named as the export is left as it is.
    const QString pipe = Path(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    r = Cli({QStringLiteral("online"), QStringLiteral("export"), pipe});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("It is a FIFO, not a regular file")) << r.err.constData();
    EXPECT_FALSE(QFileInfo(pipe).isFile());

    r = Cli({QStringLiteral("online"), QStringLiteral("import"), file}, QStringLiteral("other"));
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    const OnlineSettings imported = OnlineSettings::Load(Store(QStringLiteral("other")));
    EXPECT_EQ(imported.entries[2].name, QStringLiteral("Sky (512x256)"));
    EXPECT_EQ(imported.entries[2].width, QStringLiteral(" 512"));
    EXPECT_EQ(imported.entries[2].link, QStringLiteral("https://a.example/s.png"));

    ASSERT_TRUE(WriteBytes(Path(QStringLiteral("bad.reg")),
                           "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\CohLumivale]\r\n"
                           "\"webPath2\"=\"/etc\"\r\n\"webLink2\"=\"http://b.example/t.png\"\r\n"));
    r = Cli({QStringLiteral("online"), QStringLiteral("import"), Path(QStringLiteral("bad.reg"))},
            QStringLiteral("other"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Refused: The texture of slot 2")) << r.err.constData();
    const OnlineSettings after = OnlineSettings::Load(Store(QStringLiteral("other")));
    EXPECT_EQ(after.entries[2].path, QStringLiteral("texture_library/Sky"));
    EXPECT_EQ(after.entries[2].link, QStringLiteral("http://b.example/t.png"));
    EXPECT_EQ(
        Cli({QStringLiteral("online"), QStringLiteral("import"), Path(QStringLiteral("none.reg"))}).exitCode,
        1);
}

} // namespace
