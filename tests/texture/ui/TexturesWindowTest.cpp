// The Textures tab inside the real main window, over the shipped catalogue.
#include "Controls.h"
#include "WindowFixture.h"
#include "controls/ThemedFrame.h"
#include "online/ui/OnlineTab.h"
#include "texture/ui/TexturesTab.h"

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

namespace {

using TexturesWindowTest = WindowFixture;

TEST_F(TexturesWindowTest, EnteringTheTabTakesTheCatalogue)
{
    Start();
    int taken = 0;
    QObject::connect(m_window.get(), &MainWindow::textureCatalogueTaken, [&] { ++taken; });
    TexturesTab* tab = Find<TexturesTab>();
    EXPECT_EQ(Control<QComboBox>(tab, "texCategory")->count(), 0); // loaded on entering, not before
    Find<QTabWidget>("SSTab1")->setCurrentWidget(tab);
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(Control<QComboBox>(tab, "texCategory")->count(), 12);
    Control<QComboBox>(tab, "texCategory")->setCurrentIndex(8);
    EXPECT_EQ(Control<QComboBox>(tab, "texTexture")->itemText(0),
              "Enhancement icon (generic IO): Accuracy (46x46)");
    Find<QTabWidget>("SSTab1")->setCurrentIndex(0);
    Find<QTabWidget>("SSTab1")->setCurrentWidget(tab);
    EXPECT_EQ(taken, 2);
    EXPECT_EQ(Control<QComboBox>(tab, "texCategory")->currentIndex(), 0);
    EXPECT_TRUE(m_messages.empty());

    // A pick left open in the Online tab is cancelled when the Textures tab
    // takes the catalogue: nothing is stored for the slot.
    OnlineTab* online = Find<OnlineTab>();
    Find<QTabWidget>("SSTab1")->setCurrentWidget(online);
    Control<QPushButton>(online, "webPick", 2)->click();
    ASSERT_FALSE(Control<ThemedFrame>(online, "webTexFrame")->isHidden());
    EXPECT_FALSE(Control<ThemedFrame>(online, "webFileFrame")->isEnabled());
    Find<QTabWidget>("SSTab1")->setCurrentWidget(tab);
    EXPECT_TRUE(Control<ThemedFrame>(online, "webTexFrame")->isHidden());
    EXPECT_TRUE(Control<ThemedFrame>(online, "webFileFrame")->isEnabled());
    EXPECT_TRUE(m_store->Read("webName2").isEmpty());

    // The picture's folder is remembered in the settings.
    QImage picture(64, 64, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(Path("blue.png")));
    m_nextFile = Path("blue.png");
    Control<QPushButton>(tab, "texBrowse")->click();
    EXPECT_EQ(m_store->Read("LastImageDir"), m_dir.path());
}

} // namespace
