// Pictures of the Textures tab for looking at, not assertions: written only
// when LUMIVALE_SCREENSHOTS names a folder. Run:
//   LUMIVALE_SCREENSHOTS=/tmp/shots build/bin/tests_window --gtest_filter='TexturesScreenshots*'
#include "Controls.h"
#include "ScreenshotFixture.h"
#include "texture/ui/CatalogueLists.h"
#include "texture/ui/TexturesTab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>

namespace {

class TexturesScreenshots : public ScreenshotFixture
{
protected:
    void Select(const QString& category, const QString& fileName)
    {
        TexturesTab* tab = Find<TexturesTab>();
        Control<QComboBox>(tab, "texCategory")
            ->setCurrentIndex(Control<QComboBox>(tab, "texCategory")->findText(category));
        for (int i = 0; i < tab->Lists().Entries().size(); ++i)
            if (tab->Lists().Entries()[i].fileName == fileName)
                Control<QComboBox>(tab, "texTexture")->setCurrentIndex(i);
    }
};

// A sunset with a bright disc, and a mask that keeps a disc opaque in a soft ring.
void MakePictures(const QString& picture, const QString& mask)
{
    MakePicture(picture, {1600, 1000});

    QImage alpha(400, 400, QImage::Format_Grayscale8);
    alpha.fill(0);
    QPainter m(&alpha);
    QRadialGradient disc(QPointF(200, 200), 200);
    disc.setColorAt(0, Qt::white);
    disc.setColorAt(0.7, Qt::white);
    disc.setColorAt(1, Qt::black);
    m.setPen(Qt::NoPen);
    m.setBrush(disc);
    m.drawEllipse(QPoint(200, 200), 200, 200);
    m.end();
    alpha.save(mask);
}

TEST_F(TexturesScreenshots, IconAndLoadingScreenWithAndWithoutMask)
{
    m_store->Write("CohPath", Path("game"));
    MakePictures(Path("sunset.jpg"), Path("disc-mask.png"));
    Start();
    m_window->resize(m_window->sizeHint());
    m_window->show();
    TexturesTab* tab = Find<TexturesTab>();
    Find<QTabWidget>("SSTab1")->setCurrentWidget(tab);
    Shoot("30-textures-empty");

    m_nextFile = Path("sunset.jpg");
    Control<QPushButton>(tab, "texBrowse")->click();
    Select("Enhancement icons", "E_ICON_GEN_ACCURACY_01"); // 46 x 46
    Shoot("31-textures-icon");
    m_nextFile = Path("disc-mask.png");
    Control<QPushButton>(tab, "texAlphaBrowse")->click();
    Shoot("32-textures-icon-masked");

    Select("Loading screens: Paragon City", "City_01_01");
    Shoot("33-textures-loading-screen-masked");
    Control<QLineEdit>(tab, "texAlpha")->clear();
    emit Control<QLineEdit>(tab, "texAlpha")->editingFinished();
    Control<QPushButton>(tab, "texSave")->click();
    Shoot("34-textures-loading-screen-replaced");

    Select("Zone maps: Paragon City", "map_city_01_02"); // 512 x 1024
    Shoot("35-textures-tall-map");
}

} // namespace
