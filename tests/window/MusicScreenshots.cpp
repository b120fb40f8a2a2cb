// Pictures of the Music tab for looking at, not assertions: written only when
// LUMIVALE_SCREENSHOTS names a folder. Run:
//   LUMIVALE_SCREENSHOTS=/tmp/shots build/bin/tests_window --gtest_filter='MusicScreenshots*'
#include "Controls.h"
#include "ScreenshotFixture.h"
#include "SoundTools.h"
#include "music/ui/MusicTab.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

namespace {

class MusicScreenshots : public ScreenshotFixture
{
protected:
    void SetUp() override
    {
        ScreenshotFixture::SetUp();
        // The work folder (converted.ogg) of this test alone.
        qputenv("XDG_CACHE_HOME", Path("cache").toLocal8Bit());
    }
};

TEST_F(MusicScreenshots, IdleConvertingAndSaved)
{
    m_store->Write("CohPath", Path("game"));
    Start();
    m_window->resize(m_window->sizeHint());
    m_window->show();
    Find<QTabWidget>("SSTab1")->setCurrentWidget(Find<MusicTab>());
    MusicTab* tab = Find<MusicTab>();
    Shoot("40-music-empty");

    QDir().mkpath(Path("sounds"));
    m_nextFile = Path("sounds/Summer Anthem (Extended Mix).mp3");
    ASSERT_TRUE(MakeSound(m_nextFile, 40.0, 44100, 2, {"-c:a", "libmp3lame", "-f", "mp3"}));
    Control<QPushButton>(tab, "sndBrowse")->click();
    for (int box : {0, 3, 11, 21})
        Control<QCheckBox>(tab, "sndBoomBox", std::size_t(box))->click();
    Control<QCheckBox>(tab, "sndHeroLogin")->click();
    Control<QCheckBox>(tab, "sndPraetorianLogin")->click();
    Control<QCheckBox>(tab, "sndBlueSide")->click();
    Shoot("41-music-idle");

    bool shot = false;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (!shot && m_window->Host().Busy() && m_window->Host().Value() * 3 > m_window->Host().Maximum()) {
            shot = true;
            Shoot("42-music-converting");
        }
    });
    timer.start();
    Control<QPushButton>(tab, "sndSave")->click();
    timer.stop();
    Shoot("43-music-saved");

    // The Praetorian and Blue side tracks given back: their boxes are clear again.
    Control<QCheckBox>(tab, "sndPraetorianLogin")->click();
    Control<QCheckBox>(tab, "sndBlueSide")->click();
    Control<QPushButton>(tab, "sndRestore")->click();
    Shoot("44-music-restored");
}

} // namespace
