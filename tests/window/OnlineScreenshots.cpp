// Pictures of the Online tab for looking at, not assertions: written only when
// LUMIVALE_SCREENSHOTS names a folder. Run:
//   LUMIVALE_SCREENSHOTS=/tmp/shots build/bin/tests_window --gtest_filter='OnlineScreenshots*'
#include "Controls.h"
#include "LoopbackServer.h"
#include "ScreenshotFixture.h"
#include "online/OnlineSettings.h"
#include "online/ui/OnlineTab.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

namespace {

using OnlineScreenshots = ScreenshotFixture;

TEST_F(OnlineScreenshots, PickerDownloadsAndARedSlot)
{
    LoopbackServer server;
    server.Set("/silent.png",
               LoopbackReply{{"HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n\r\n"}, 0, false});
    m_store->Write("CohPath", Path("game"));
    SaveOnlinePick(*m_store, 0, "Zone loading screen: Atlas Park (1024x768)", 1024, 768,
                   "texture_library/loading_screens/City_Zones", "City_01_01");
    SaveOnlinePick(*m_store, 1, "Sky (512x256)", 512, 256, "texture_library/World/Sky", "sky");
    m_store->Write(setting::SlotValue(setting::kWebLink, 0), server.Url("/silent.png"));
    m_store->Write(setting::SlotValue(setting::kWebLink, 1), "ftp://pictures.example/sky.png");
    m_store->Write(setting::SlotValue(setting::kWebLink, 3), "https://pictures.example/no-texture-yet.jpg");
    Start();
    m_window->resize(m_window->sizeHint());
    m_window->show();
    Find<QTabWidget>("SSTab1")->setCurrentWidget(Find<OnlineTab>());
    Shoot("40-online-idle");

    Control<QPushButton>(Find<OnlineTab>(), "webPick", 2)->click();
    Control<QComboBox>(Find<OnlineTab>(), "webCategory")->setCurrentIndex(1);
    Shoot("41-online-picker-open");
    Control<QPushButton>(Find<OnlineTab>(), "webCancel")->click();

    // Slot 0 downloads (the server stays silent); slot 1's address is refused.
    Control<QPushButton>(Find<OnlineTab>(), "webDownload")->click();
    Shoot("42-online-downloading-red-slot");
    Control<QPushButton>(Find<OnlineTab>(), "webDownload")->click();
    Shoot("43-online-aborted");
}

} // namespace
