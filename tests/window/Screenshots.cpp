// Pictures of the window for looking at, not assertions: written only when
// LUMIVALE_SCREENSHOTS names a folder. Run:
//   LUMIVALE_SCREENSHOTS=/tmp/shots build/bin/tests_window --gtest_filter='Screenshots*'
#include "ScreenshotFixture.h"
#include "controls/ThemedFrame.h"
#include "randomizer/ui/RandomizerTab.h"
#include "texture/ui/PreviewBox.h"
#include "texture/ui/ScreensTab.h"
#include "window/FoundGamesBox.h"
#include "window/SettingsTab.h"

#include <QApplication>
#include <QCheckBox>
#include <QEnterEvent>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

namespace {

using Screenshots = ScreenshotFixture;

QString MakeFrame(const QString& path)
{
    QImage image(1024, 768, QImage::Format_RGB32);
    image.fill(QColor(20, 40, 110));
    QPainter p(&image);
    p.fillRect(QRect(48, 48, 1024 - 96, 768 - 96), QColor(255, 0, 255));
    p.end();
    image.save(path);
    return path;
}

TEST_F(Screenshots, MainWindowTabs)
{
    m_store->Write("CohPath", Path("game"));
    m_store->Write("CohWidth", "1920");
    m_store->Write("CohHeight", "1080");
    m_store->Write("FrameHL", MakeFrame(Path("frame-login.png")));
    Start();
    m_window->resize(m_window->sizeHint());
    m_window->show();
    Shoot("01-screens-empty");

    m_nextFile = MakePicture(Path("sunset.jpg"), {1920, 1080});
    m_window->screensTab->scrBrowse->click();
    Shoot("02-screens-loaded");

    emit m_window->screensTab->scrPreview->clicked();
    m_window->screensTab->adjBlack->setValue(40);
    m_window->screensTab->adjWhite->setValue(180);
    Shoot("03-screens-adjusting");
    m_window->screensTab->adjCancel->click();

    m_window->screensTab->scrFrames->click();
    m_window->screensTab->scrFramesPreview->click();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(m_window->screensTab->scrSaveHL, &enter);
    Shoot("04-screens-framed-preview");

    for (int i = 1; i < m_window->SSTab1->count(); ++i) {
        m_window->SSTab1->setCurrentIndex(i);
        Shoot(qPrintable(QStringLiteral("1%1-%2").arg(i).arg(m_window->SSTab1->tabText(i).toLower())));
    }

    m_window->SSTab1->setCurrentIndex(0);
    {
        BusyScope busy(m_window->Host(), true, 1024, "Writing COH_LogInScreen_Background...");
        busy.Step(430);
        Shoot("20-busy");
    }
}

// Made-up prefixes of plain Wine, Lutris and Bottles holding the game.
TEST_F(Screenshots, SettingsTabWithFoundGames)
{
    auto file = [this](const QString& relative, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(Path(relative)).path());
        QFile out(Path(relative));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    };
    file("home/.wine/drive_c/Games/City of Heroes/cityofheroes.exe", "MZ");
    file("home/Games/homecoming/drive_c/Games/Homecoming/cityofheroes.exe", "MZ");
    file("home/.config/lutris/games/homecoming-1.yml",
         "game:\n  prefix: " + Path("home/Games/homecoming").toUtf8() + "\nwine:\n  version: wine-ge-8-26\n");
    file("home/.local/share/bottles/bottles/Paragon/bottle.yml", "Path: Paragon\nRunner: soda-7.0-9\n");
    file("home/.local/share/bottles/bottles/Paragon/drive_c/Program Files/Paragon Chat/ParagonChat.exe",
         "MZ");
    file("home/.local/share/bottles/bottles/Paragon/drive_c/Games/Rebirth/cityofheroes.exe", "MZ");
    m_store->Write("WineProgram", "/opt/wine-staging/bin/wine");
    Start();
    m_window->resize(m_window->sizeHint());
    m_window->show();
    m_window->SSTab1->setCurrentWidget(m_window->settingsTab);
    Shoot("40-settings-found-games");
    QTreeWidget* list = m_window->settingsTab->foundGames->setFoundGames;
    list->setCurrentItem(list->topLevelItem(1));
    m_window->settingsTab->foundGames->setUseGame->click();
    Shoot("41-settings-found-game-used");
}

TEST_F(Screenshots, RandomizerTabIdleAndDuringAFolderPass)
{
    m_store->Write("CohPath", Path("game"));
    Start();
    m_window->resize(m_window->sizeHint());
    m_window->show();
    QDir().mkpath(Path("holiday"));
    for (int i = 1; i <= 12; ++i)
        MakePicture(Path(QStringLiteral("holiday/beach %1.jpg").arg(i)), {1920, 1080});
    m_nextFile = Path("holiday/beach 1.jpg");
    m_window->SSTab1->setCurrentWidget(m_window->randomizerTab);
    m_window->randomizerTab->rndBrowse->click();
    Shoot("30-randomizer-idle");
    m_window->randomizerTab->rndFolder->click();
    // Half way through the pass.
    bool shot = false;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (!shot && m_window->randomizerTab->rndSaveHL->text().startsWith("Image 6")) {
            shot = true;
            Shoot("31-randomizer-folder-pass");
        }
    });
    timer.start();
    m_window->randomizerTab->rndSaveHL->click();
    Shoot("32-randomizer-after-pass");
}

} // namespace
