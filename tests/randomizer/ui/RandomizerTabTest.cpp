#include "randomizer/ui/RandomizerTab.h"

#include "Controls.h"
#include "TestTools.h"
#include "WindowFixture.h"
#include "texture/ui/ScreensTab.h"
#include "window/SettingsTab.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

class RandomizerTabTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        m_store->Write("CohPath", Path("game"));
        Start();
        m_window->show();
        tab = Find<RandomizerTab>();
        QDir().mkpath(Path("pictures"));
    }
    QString Picture(const QString& name, QColor colour)
    {
        QImage image(320, 240, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = Path("pictures/" + name);
        EXPECT_TRUE(image.save(path));
        return path;
    }
    QStringList Pool(const char* folder) const
    {
        return QDir(Path(QStringLiteral("game/Lumivale/") + QString::fromLatin1(folder)))
            .entryList(QDir::Files | QDir::Hidden);
    }
    void Choose(const QString& picture)
    {
        m_nextFile = picture;
        Control<QPushButton>(tab, "rndBrowse")->click();
    }

    RandomizerTab* tab = nullptr;
};

TEST_F(RandomizerTabTest, ASinglePictureGoesIntoThePoolOfItsButton)
{
    EXPECT_FALSE(Control<QPushButton>(tab, "rndSaveHL")->isEnabled());
    Choose(Picture("sunset.png", QColor(250, 120, 40)));
    ASSERT_TRUE(Control<QPushButton>(tab, "rndSaveHL")->isEnabled());
    EXPECT_EQ(Control<QLineEdit>(tab, "rndFile")->text(), Path("pictures/sunset.png"));
    Control<QPushButton>(tab, "rndSaveHL")->click();
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(Pool("RandomHL"), QStringList{QStringLiteral("sunset.png.dds")});
    EXPECT_TRUE(Pool("RandomHC").isEmpty());
    EXPECT_TRUE(Control<QPushButton>(tab, "rndSaveHL")->isEnabled());
    EXPECT_EQ(QFileInfo(Path("game/Lumivale/RandomHL/sunset.png.dds")).size(), 4194432);
}

TEST_F(RandomizerTabTest, FolderPassTellsOnceAndLeavesTheScreensTabOnTheLastPicture)
{
    Choose(Picture("a.png", Qt::red));
    Picture("b.png", Qt::green);
    ASSERT_TRUE(WriteBytes(Path("pictures/broken.jpg"), "not a picture"));
    Picture("c.png", Qt::blue);
    Control<QCheckBox>(tab, "rndFolder")->click();
    EXPECT_EQ(Control<QLineEdit>(tab, "rndFile")->text(), Path("pictures"));
    Control<QPushButton>(tab, "rndSaveHC")->click();
    EXPECT_EQ(Pool("RandomHC"), (QStringList{"a.png.dds", "b.png.dds", "c.png.dds"}));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_TRUE(m_messages[0].text.startsWith("Image could not be loaded.\nbroken.jpg"))
        << qPrintable(m_messages[0].text);
    EXPECT_EQ(Control<QPushButton>(tab, "rndSaveHC")->text(), "Add to character selection screen");
    EXPECT_EQ(Control<QLineEdit>(Find<ScreensTab>(), "scrImage")->text(), Path("pictures/c.png"));
    EXPECT_EQ(tab->ChosenPicture(), Path("pictures/c.png"));
    EXPECT_EQ(Control<QLineEdit>(tab, "rndFile")->text(), Path("pictures"));
    EXPECT_FALSE(m_window->Host().Busy());
}

// Close turns into Cancel for a pass; a cancel stops it with only whole pool files.
TEST_F(RandomizerTabTest, CancelStopsAPass)
{
    for (int i = 1; i <= 8; ++i)
        Picture(QStringLiteral("%1.png").arg(i), QColor(i * 20, 0, 0));
    Choose(Path("pictures/1.png"));
    Control<QCheckBox>(tab, "rndFolder")->click();
    bool cancelOffered = false;
    QTimer::singleShot(0, m_window.get(), [&] {
        cancelOffered =
            Find<QPushButton>("Quit")->text() == "Cancel" && Find<QPushButton>("Quit")->isEnabled();
        Find<QPushButton>("Quit")->click();
    });
    Control<QPushButton>(tab, "rndSaveHL")->click();
    EXPECT_TRUE(cancelOffered);
    const QStringList pool = Pool("RandomHL");
    EXPECT_LT(pool.size(), 8);
    for (const QString& file : pool)
        EXPECT_EQ(QFileInfo(Path("game/Lumivale/RandomHL/" + file)).size(), 4194432);
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(Find<QPushButton>("Quit")->text(), "Close");
}

TEST_F(RandomizerTabTest, ShortcutButtonSaysWhereItWrote)
{
    Control<QPushButton>(tab, "rndShortcut")->click();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].icon, MessageIcon::Information);
    const QString written = m_messages[0].text.section('\n', 1, 1);
    EXPECT_TRUE(written.endsWith("/applications/lumivale-randomizer.desktop")) << qPrintable(written);
    EXPECT_TRUE(ReadAll(written).contains("-randomizer"));
}

TEST_F(RandomizerTabTest, NoRepeatSwitchIsSaved)
{
    Control<QCheckBox>(tab, "rndNoRepeat")->click();
    ASSERT_TRUE(m_window->close());
    EXPECT_EQ(m_store->Read("RandomNoRepeat"), " 1");
}

} // namespace
