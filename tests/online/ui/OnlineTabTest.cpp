#include "online/ui/OnlineTab.h"

#include "Controls.h"
#include "LoopbackServer.h"
#include "RecordingBusyHost.h"
#include "app/GameSession.h"
#include "controls/ThemedFrame.h"
#include "online/DownloadBatch.h"
#include "online/OnlineExport.h"

#include <QBuffer>
#include <QComboBox>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray kCatalogue = "2\n"
                              "\"Sky\",2\n"
                              "\"Sky\",512,256,\"texture_library/World/Sky\",\"sky_day\"\n"
                              "\"Clouds\",64,32,\"texture_library/World/Sky\",\"clouds\"\n"
                              "\"Rocks\",1\n"
                              "\"Rock\",128,128,\"texture_library/World/Rock\",\"rock\"\n";

QByteArray Png(QColor colour)
{
    QImage image(64, 32, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class OnlineTabTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("data"))));
        ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("game/data"))));
        ASSERT_TRUE(WriteBytes(Path(QStringLiteral("data/lumivale.csv")), kCatalogue));
        m_store = std::make_unique<SettingsStore>(Path(QStringLiteral("config/Lumivale.ini")));
        m_environment = SystemEnvironment();
        m_environment.dataFolder = Path(QStringLiteral("data"));
        m_environment.workFolder = Path(QStringLiteral("work"));
        m_session.SetGameFolder(Path(QStringLiteral("game")));
        m_tab = std::make_unique<OnlineTab>(m_host, *m_store, m_environment, m_session);
        DownloadOptions options;
        options.systemProxy = false;
        options.silenceLimitMs = 60000;
        m_tab->SetDownloadOptions(options);
        m_tab->SetSaveFileFunction([this](QWidget*, const OpenFileRequest& request) {
            m_request = request;
            return m_answer;
        });
        m_tab->SetOpenFileFunction([this](QWidget*, const OpenFileRequest& request) {
            m_request = request;
            return m_answer;
        });
        QObject::connect(m_tab.get(), &OnlineTab::downloadsApplied, [this] { ++m_applied; });
    }
    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    QString Value(const char* prefix, int slot) const
    {
        return m_store->Read(setting::SlotValue(QString::fromLatin1(prefix), slot));
    }
    // Assigns a texture and an address to a slot as a user would.
    void Assign(int slot, int textureIndex, const QString& address)
    {
        Control<QPushButton>(m_tab, "webPick", slot)->click();
        Control<QComboBox>(m_tab, "webTexture")->setCurrentIndex(textureIndex);
        Control<QPushButton>(m_tab, "webPickTexture")->click();
        Control<QLineEdit>(m_tab, "webURL", slot)->setText(address);
    }
    bool Red(int slot) const
    {
        return Control<QLineEdit>(m_tab, "webURL", slot)->palette().color(QPalette::Text) ==
                   QColor(Qt::red) &&
               Control<QLabel>(m_tab, "webLabel", slot)->palette().color(QPalette::WindowText) ==
                   QColor(Qt::red);
    }
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
    GameSession m_session;
    std::unique_ptr<SettingsStore> m_store;
    Environment m_environment;
    std::unique_ptr<OnlineTab> m_tab;
    QString m_answer;
    OpenFileRequest m_request;
    int m_applied = 0;
};

TEST_F(OnlineTabTest, PickerStoresTheEntryClearKeepsTheAddressCancelStoresNothing)
{
    EXPECT_FALSE(Control<ThemedFrame>(m_tab, "webTexFrame")->isVisibleTo(m_tab.get()));
    Control<QPushButton>(m_tab, "webPick", 2)->click();
    EXPECT_TRUE(Control<ThemedFrame>(m_tab, "webTexFrame")->isVisibleTo(m_tab.get()));
    EXPECT_FALSE(Control<ThemedFrame>(m_tab, "webFileFrame")->isEnabled());
    ASSERT_EQ(Control<QComboBox>(m_tab, "webCategory")->count(), 2);
    EXPECT_EQ(Control<QComboBox>(m_tab, "webCategory")->currentIndex(), 0);
    EXPECT_EQ(Control<QComboBox>(m_tab, "webTexture")->currentText(), QStringLiteral("Sky (512x256)"));
    Control<QPushButton>(m_tab, "webPickTexture")->click();
    EXPECT_EQ(Control<QLineEdit>(m_tab, "webFile", 2)->text(), QStringLiteral("Sky (512x256)"));
    EXPECT_EQ(Value("webName", 2), QStringLiteral("Sky (512x256)"));
    EXPECT_EQ(Value("webWidth", 2), QStringLiteral(" 512"));
    EXPECT_EQ(Value("webHeight", 2), QStringLiteral(" 256"));
    EXPECT_EQ(CheckValueFromText(Value("webWidth", 2)), 512);
    EXPECT_EQ(Value("webPath", 2), QStringLiteral("texture_library/World/Sky"));
    EXPECT_EQ(Value("webFile", 2), QStringLiteral("sky_day"));
    EXPECT_FALSE(Control<ThemedFrame>(m_tab, "webTexFrame")->isVisibleTo(m_tab.get()));
    EXPECT_TRUE(Control<ThemedFrame>(m_tab, "webFileFrame")->isEnabled());

    // Clear: the five texture values go, the address stays; the slot is then not in use.
    ASSERT_TRUE(
        m_store->Write(setting::SlotValue(setting::kWebLink, 2), QStringLiteral("http://a.example/s.png")));
    Control<QLineEdit>(m_tab, "webURL", 2)->setText(QStringLiteral("http://a.example/s.png"));
    Control<QPushButton>(m_tab, "webPick", 2)->click();
    Control<QPushButton>(m_tab, "webClear")->click();
    EXPECT_TRUE(Control<QLineEdit>(m_tab, "webFile", 2)->text().isEmpty());
    for (const char* prefix : {"webName", "webWidth", "webHeight", "webPath", "webFile"})
        EXPECT_TRUE(Value(prefix, 2).isEmpty()) << prefix;
    EXPECT_EQ(Value("webLink", 2), QStringLiteral("http://a.example/s.png"));
    m_tab->DownloadOrAbort();
    EXPECT_FALSE(m_tab->Downloading());

    // Another category, then Keep Current or the Textures tab taking the catalogue: nothing stored.
    Control<QPushButton>(m_tab, "webPick", 1)->click();
    Control<QComboBox>(m_tab, "webCategory")->setCurrentIndex(1);
    EXPECT_EQ(Control<QComboBox>(m_tab, "webTexture")->currentText(), QStringLiteral("Rock (128x128)"));
    EXPECT_EQ(Control<QComboBox>(m_tab, "webTexture")->count(), 1);
    Control<QPushButton>(m_tab, "webCancel")->click();
    Control<QPushButton>(m_tab, "webPick", 1)->click();
    m_tab->CloseTexturePicker();
    EXPECT_FALSE(Control<ThemedFrame>(m_tab, "webTexFrame")->isVisibleTo(m_tab.get()));
    EXPECT_TRUE(Control<ThemedFrame>(m_tab, "webFileFrame")->isEnabled());
    EXPECT_TRUE(Value("webName", 1).isEmpty());
    EXPECT_TRUE(m_host.Messages().isEmpty());
}

TEST_F(OnlineTabTest, CompleteSlotsDownloadAndAreAppliedWhenTheLastEndsInAnyWay)
{
    DownloadOptions options;
    options.systemProxy = false;
    options.silenceLimitMs = 1500;
    m_tab->SetDownloadOptions(options);
    LoopbackServer server;
    server.Set("/silent.png", LoopbackReply{{}, 0, false});
    server.Set("/one.png", Answer("200 OK", {"Content-Type: image/png"}, Png(Qt::red)));
    server.Set("/three.png",
               LoopbackReply{{"HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n\r\n", Png(Qt::blue)}, 300});
    server.Set("/gone.png", Answer("404 Not Found", {"Content-Type: image/gif"}, Png(Qt::green)));
    Assign(1, 0, server.Url(QStringLiteral("/one.png")));
    Assign(3, 1, server.Url(QStringLiteral("/three.png")));
    Assign(4, 0, QStringLiteral("ftp://pictures.example/a.png"));
    Assign(2, 1, server.Url(QStringLiteral("/gone.png")));
    Assign(0, 1, server.Url(QStringLiteral("/silent.png")));
    Control<QPushButton>(m_tab, "webDownload")->click();
    EXPECT_EQ(Control<QPushButton>(m_tab, "webDownload")->text(), QStringLiteral("Abort Downloads"));
    EXPECT_FALSE(Control<QLineEdit>(m_tab, "webURL", 3)->isEnabled());
    EXPECT_FALSE(Control<QPushButton>(m_tab, "webPick", 3)->isEnabled());
    EXPECT_TRUE(Control<QLineEdit>(m_tab, "webURL", 4)->isEnabled());
    EXPECT_TRUE(Red(4));
    EXPECT_TRUE(Control<QLineEdit>(m_tab, "webURL", 4)->toolTip().contains(QStringLiteral("ftp")));
    ASSERT_TRUE(WaitUntil([&] { return m_applied == 1; }));
    EXPECT_EQ(Control<QPushButton>(m_tab, "webDownload")->text(), QStringLiteral("Download and Apply now"));
    EXPECT_TRUE(Control<QLineEdit>(m_tab, "webURL", 3)->isEnabled());
    EXPECT_TRUE(
        QFileInfo::exists(Path(QStringLiteral("game/data/texture_library/World/Sky/sky_day.texture"))));
    EXPECT_TRUE(
        QFileInfo::exists(Path(QStringLiteral("game/data/texture_library/World/Sky/clouds.texture"))));
    // Each address of a started slot was asked for (a request may go out once more when the server
    // closes the connection it went on); the refused one never.
    QSet<QByteArray> asked;
    for (const QByteArray& request : server.Requests())
        asked.insert(request.first(request.indexOf(" HTTP/")));
    EXPECT_EQ(asked,
              QSet<QByteArray>({"GET /one.png", "GET /three.png", "GET /gone.png", "GET /silent.png"}));
    // The 404 picture is not applied, the silent server's slot ended: both red with the reason.
    EXPECT_TRUE(Red(2));
    EXPECT_TRUE(Control<QLabel>(m_tab, "webLabel", 2)->toolTip().contains(QStringLiteral("404")));
    EXPECT_TRUE(Red(0));
    EXPECT_TRUE(
        Control<QLineEdit>(m_tab, "webURL", 0)->toolTip().contains(QStringLiteral("No data arrived")));
    EXPECT_FALSE(Red(1));
    EXPECT_TRUE(WorkFiles().isEmpty());
    EXPECT_TRUE(m_host.Messages().isEmpty());
    // Editing the address takes the mark away.
    Control<QLineEdit>(m_tab, "webURL", 4)->setText(QStringLiteral("https://pictures.example/a.png"));
    EXPECT_FALSE(Red(4));
    EXPECT_TRUE(Control<QLineEdit>(m_tab, "webURL", 4)->toolTip().isEmpty());
}

TEST_F(OnlineTabTest, FloodsAndTricklesNeverHoldTheBatchPastTheDeadline)
{
    DownloadOptions options;
    options.systemProxy = false;
    options.silenceLimitMs = 10000;
    options.deadlineMs = 2500;
    m_tab->SetDownloadOptions(options);
    LoopbackServer server;
    // A picture in one chunk, then trailer fields for ever; a declared body a byte every 3 s.
    const QByteArray png = Png(Qt::green);
    LoopbackReply flood{{"HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nTransfer-Encoding: chunked\r\n\r\n" +
                         QByteArray::number(png.size(), 16) + "\r\n" + png + "\r\n0\r\n"},
                        10,
                        false};
    for (int i = 0; i < 2000; ++i)
        flood.pieces << "X-T: " + QByteArray(200, 'a') + "\r\n";
    server.Set("/flood.png", flood);
    LoopbackReply trickle{
        {"HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 100\r\n\r\n"}, 3000, false};
    for (int i = 0; i < 100; ++i)
        trickle.pieces << "x";
    server.Set("/trickle.png", trickle);
    server.Set("/good.png", Answer("200 OK", {"Content-Type: image/png"}, Png(Qt::red)));
    Assign(0, 0, server.Url(QStringLiteral("/flood.png")));
    Assign(1, 0, server.Url(QStringLiteral("/trickle.png")));
    Assign(2, 1, server.Url(QStringLiteral("/good.png")));
    QElapsedTimer clock;
    clock.start();
    Control<QPushButton>(m_tab, "webDownload")->click();
    ASSERT_TRUE(WaitUntil([&] { return m_applied == 1; }, 8000));
    EXPECT_LT(clock.elapsed(), 5000);
    // The flood's picture ends with its last chunk; the trickle ends red at the deadline.
    EXPECT_FALSE(Red(0)) << qPrintable(Control<QLineEdit>(m_tab, "webURL", 0)->toolTip());
    EXPECT_TRUE(Red(1));
    EXPECT_TRUE(Control<QLineEdit>(m_tab, "webURL", 1)
                    ->toolTip()
                    .contains(QStringLiteral("did not finish within 2.5 seconds")))
        << qPrintable(Control<QLineEdit>(m_tab, "webURL", 1)->toolTip());
    for (const char* texture : {"Sky/sky_day", "Sky/clouds"})
        EXPECT_TRUE(QFileInfo::exists(
            Path(QStringLiteral("game/data/texture_library/World/%1.texture").arg(texture))))
            << texture;
    EXPECT_TRUE(WorkFiles().isEmpty());
    EXPECT_TRUE(m_host.Messages().isEmpty());
}

TEST_F(OnlineTabTest, ASecondPressAbortsAndDeletesTheStoredPictures)
{
    LoopbackServer server;
    server.Set("/fast.png", Answer("200 OK", {"Content-Type: image/png"}, Png(Qt::red)));
    server.Set("/slow.png",
               LoopbackReply{{"HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n\r\nabc"}, 0, false});
    Assign(1, 0, server.Url(QStringLiteral("/fast.png")));
    Assign(3, 0, server.Url(QStringLiteral("/slow.png")));
    Control<QPushButton>(m_tab, "webDownload")->click();
    ASSERT_TRUE(WaitUntil(
        [&] { return WorkFiles().size() == 2 && Control<QLineEdit>(m_tab, "webURL", 1)->isEnabled(); }));
    ASSERT_TRUE(m_tab->Downloading());
    Control<QPushButton>(m_tab, "webDownload")->click();
    EXPECT_FALSE(m_tab->Downloading());
    EXPECT_EQ(Control<QPushButton>(m_tab, "webDownload")->text(), QStringLiteral("Download and Apply now"));
    EXPECT_TRUE(Control<QLineEdit>(m_tab, "webURL", 3)->isEnabled());
    EXPECT_TRUE(WorkFiles().isEmpty()) << qPrintable(WorkFiles().join(QLatin1Char(' ')));
    EXPECT_FALSE(WaitUntil([&] { return m_applied > 0; }, 300));
    EXPECT_FALSE(
        QFileInfo::exists(Path(QStringLiteral("game/data/texture_library/World/Sky/sky_day.texture"))));
}

TEST_F(OnlineTabTest, ExportWritesTheBoxesAddressesAndImportShowsAtOnce)
{
    Assign(2, 0, QStringLiteral("http://a.example/typed-not-saved.png"));
    m_answer.clear();
    Control<QPushButton>(m_tab, "webRegFile")->click();
    EXPECT_EQ(m_request.fileName, QStringLiteral("Lumivale Textures.reg"));
    EXPECT_TRUE(QDir(Path(QString())).entryList({QStringLiteral("*.reg")}).isEmpty());
    m_answer = Path(QStringLiteral("out.reg"));
    Control<QPushButton>(m_tab, "webRegFile")->click();
    const QByteArray exported = ReadAll(m_answer);
    EXPECT_TRUE(exported.contains("\"webLink2\"=\"http://a.example/typed-not-saved.png\"\r\n"));
    EXPECT_TRUE(exported.contains("\"webWidth2\"=\" 512\"\r\n"));
    m_answer = Path(QStringLiteral("no/such/folder/out.reg"));
    Control<QPushButton>(m_tab, "webRegFile")->click();
    ASSERT_EQ(m_host.Messages().size(), 1);
    EXPECT_FALSE(m_host.Messages()[0].detail.isEmpty());
    m_host.ClearMessages();

    ASSERT_TRUE(
        WriteBytes(Path(QStringLiteral("in.reg")),
                   "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\CohLumivale]\r\n"
                   "\"webName3\"=\"Rock (128x128)\"\r\n\"webPath3\"=\"texture_library/World/Rock\"\r\n"
                   "\"webFile3\"=\"rock\"\r\n\"webWidth3\"=\" 128\"\r\n\"webHeight3\"=\" 128\"\r\n"
                   "\"webLink3\"=\"https://b.example/rock.png\"\r\n\"webLink4\"=\"ftp://c.example/x\"\r\n"));
    Control<QLineEdit>(m_tab, "webURL", 0)->setText(QStringLiteral("http://typed.example/keep.png"));
    m_answer = Path(QStringLiteral("in.reg"));
    Control<QPushButton>(m_tab, "webRegImport")->click();
    EXPECT_EQ(Control<QLineEdit>(m_tab, "webFile", 3)->text(), QStringLiteral("Rock (128x128)"));
    EXPECT_EQ(Control<QLineEdit>(m_tab, "webURL", 3)->text(), QStringLiteral("https://b.example/rock.png"));
    EXPECT_EQ(Control<QLineEdit>(m_tab, "webURL", 0)->text(),
              QStringLiteral("http://typed.example/keep.png"));
    EXPECT_EQ(Value("webPath", 3), QStringLiteral("texture_library/World/Rock"));
    ASSERT_EQ(m_host.Messages().size(), 1);
    EXPECT_TRUE(m_host.Messages()[0].detail.contains(QStringLiteral("webLink4")));
}

} // namespace
