// Pictures of the window for looking at, not assertions: written only when
// LUMIVALE_SCREENSHOTS names a folder. Run:
//   LUMIVALE_SCREENSHOTS=/tmp/shots build/bin/tests_window --gtest_filter='Screenshots*'
#include "Controls.h"
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
    Control<QPushButton>(Find<ScreensTab>(), "scrBrowse")->click();
    Shoot("02-screens-loaded");

    emit Control<PreviewBox>(Find<ScreensTab>(), "scrPreview")->clicked();
    Control<QScrollBar>(Find<ScreensTab>(), "adjBlack")->setValue(40);
    Control<QScrollBar>(Find<ScreensTab>(), "adjWhite")->setValue(180);
    Shoot("03-screens-adjusting");
    Control<QPushButton>(Find<ScreensTab>(), "adjCancel")->click();

    Control<QCheckBox>(Find<ScreensTab>(), "scrFrames")->click();
    Control<QCheckBox>(Find<ScreensTab>(), "scrFramesPreview")->click();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(Control<QPushButton>(Find<ScreensTab>(), "scrSaveHL"), &enter);
    Shoot("04-screens-framed-preview");

    for (int i = 1; i < Find<QTabWidget>("SSTab1")->count(); ++i) {
        Find<QTabWidget>("SSTab1")->setCurrentIndex(i);
        Shoot(qPrintable(
            QStringLiteral("1%1-%2").arg(i).arg(Find<QTabWidget>("SSTab1")->tabText(i).toLower())));
    }

    Find<QTabWidget>("SSTab1")->setCurrentIndex(0);
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
    Find<QTabWidget>("SSTab1")->setCurrentWidget(Find<SettingsTab>());
    Shoot("40-settings-found-games");
    QTreeWidget* list = Control<QTreeWidget>(Find<SettingsTab>(), "setFoundGames");
    list->setCurrentItem(list->topLevelItem(1));
    Control<QPushButton>(Find<SettingsTab>(), "setUseGame")->click();
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
    Find<QTabWidget>("SSTab1")->setCurrentWidget(Find<RandomizerTab>());
    Control<QPushButton>(Find<RandomizerTab>(), "rndBrowse")->click();
    Shoot("30-randomizer-idle");
    Control<QCheckBox>(Find<RandomizerTab>(), "rndFolder")->click();
    // Half way through the pass.
    bool shot = false;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (!shot && Control<QPushButton>(Find<RandomizerTab>(), "rndSaveHL")->text().startsWith("Image 6")) {
            shot = true;
            Shoot("31-randomizer-folder-pass");
        }
    });
    timer.start();
    Control<QPushButton>(Find<RandomizerTab>(), "rndSaveHL")->click();
    Shoot("32-randomizer-after-pass");
}

} // namespace
