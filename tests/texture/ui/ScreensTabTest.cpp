#include "texture/ui/ScreensTab.h"

#include "Controls.h"
#include "WindowFixture.h"
#include "controls/ThemedFrame.h"
#include "randomizer/ui/RandomizerTab.h"
#include "texture/ui/PreviewBox.h"
#include "window/SettingsTab.h"

#include <QApplication>
#include <QCheckBox>
#include <QEnterEvent>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

namespace {

class ScreensTabTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        m_store->Write("CohPath", Path("game"));
        m_store->Write("CohWidth", "1920");
        m_store->Write("CohHeight", "1080");
        Start();
        tab = Find<ScreensTab>();
    }

    QString Picture(const char* name, QSize size, QColor colour)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        // A gradient row so that frames and levels have something to change.
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, 0, QColor(x % 256, 0, 255 - x % 256));
        const QString path = Path(QString::fromLatin1(name));
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(image.save(path));
        return path;
    }

    QString Frame(const char* name, QSize size)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor(255, 0, 255));
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < size.width(); ++x)
                image.setPixelColor(x, y, QColor(10, 20, 30));
        const QString path = Path(QString::fromLatin1(name));
        EXPECT_TRUE(image.save(path));
        return path;
    }

    void Browse(const QString& file)
    {
        m_nextFile = file;
        Control<QPushButton>(tab, "scrBrowse")->click();
    }

    QByteArray Saved(bool login) const
    {
        QFile f(login ? Path("game/data/texture_library/GUI/CREATION/HybridUI/LoginScreen/"
                             "COH_LogInScreen_Background.texture")
                      : Path("game/data/texture_library/GUI/CREATION/HybridUI/CharacterCreationUI/"
                             "background.texture"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    ScreensTab* tab = nullptr;
};

TEST_F(ScreensTabTest, BrowseLoadsThePictureAndFillsTheSharedControls)
{
    const QString picture = Picture("pictures/sunset.png", {1920, 1080}, QColor(200, 120, 40));
    Browse(picture);
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(Control<QLineEdit>(tab, "scrImage")->text(), picture);
    EXPECT_EQ(Control<QLineEdit>(Find<RandomizerTab>(), "rndFile")->text(), picture);
    EXPECT_EQ(Find<RandomizerTab>()->ChosenPicture(), picture);
    EXPECT_EQ(m_store->Read("LastImageDir"), Path("pictures"));
    EXPECT_TRUE(Control<QPushButton>(tab, "scrSaveHL")->isEnabled());
    EXPECT_TRUE(Control<QPushButton>(tab, "scrSaveHC")->isEnabled());
    ScreenPictures& p = tab->Pictures();
    ASSERT_TRUE(p.SourceImage);
    EXPECT_EQ(p.SourceImage->Width(), 1024);
    EXPECT_EQ(p.SourceImage->Height(), 768);
    EXPECT_EQ(p.PreviewWidth, 320);
    EXPECT_EQ(p.PreviewLeft, (Control<PreviewBox>(tab, "scrPreview")->width() - 320) / 2);
    EXPECT_EQ(Control<PreviewBox>(tab, "scrPreview")->Picture(), p.DisplayedPreview);

    // With the folder switch on, the Randomizer shows the folder and keeps the picture itself.
    Control<QCheckBox>(Find<RandomizerTab>(), "rndFolder")->click();
    EXPECT_EQ(Control<QLineEdit>(Find<RandomizerTab>(), "rndFile")->text(), Path("pictures"));
    EXPECT_EQ(Find<RandomizerTab>()->ChosenPicture(), picture);
    // The next browse starts in the last folder.
    Browse(QString());
    EXPECT_EQ(m_lastRequest.initialFolder, Path("pictures"));
}

TEST_F(ScreensTabTest, TextFileNamedJpgLeavesThePreviousPictureInPlace)
{
    const QString good = Picture("good.png", {800, 600}, QColor(10, 200, 10));
    Browse(good);
    const PixelBufferPtr source = tab->Pictures().SourceImage;
    const PixelBufferPtr preview = tab->Pictures().DisplayedPreview;
    QFile text(Path("notes.jpg"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("This is not a picture.\n");
    text.close();
    Browse(Path("notes.jpg"));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, "Image could not be loaded.");
    EXPECT_EQ(m_messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(Control<QLineEdit>(tab, "scrImage")->text(), good);
    EXPECT_EQ(tab->Pictures().SourceImage, source);
    EXPECT_EQ(Control<PreviewBox>(tab, "scrPreview")->Picture(), preview);
    EXPECT_FALSE(m_window->Host().Busy());
}

TEST_F(ScreensTabTest, SavingTwiceWritesIdenticalFilesAndAVanishedFrameIsSkippedSilently)
{
    Browse(Picture("p.png", {1024, 768}, QColor(90, 60, 30)));
    Control<QPushButton>(tab, "scrSaveHL")->click();
    const QByteArray first = Saved(true);
    ASSERT_EQ(first.size(), 113 + 128 + 1024 * 1024 * 4);
    Control<QPushButton>(tab, "scrSaveHL")->click();
    EXPECT_EQ(Saved(true), first);
    EXPECT_TRUE(Control<QPushButton>(tab, "scrSaveHL")->isEnabled());

    Control<QLineEdit>(Find<SettingsTab>(), "FrameHL")->setText(Path("gone.png"));
    Control<QCheckBox>(tab, "scrFrames")->click();
    Control<QPushButton>(tab, "scrSaveHL")->click();
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(Saved(true), first);

    Control<QPushButton>(tab, "scrSaveHC")->click();
    EXPECT_EQ(Saved(false).size(), 105 + 128 + 1024 * 1024 * 4);
}

TEST_F(ScreensTabTest, FramedSaveAndFramedPreviewOnHover)
{
    Browse(Picture("p.png", {1024, 768}, QColor(90, 60, 30)));
    const QString frame = Frame("frame.png", {1024, 768});
    Control<QLineEdit>(Find<SettingsTab>(), "FrameHL")->setText(frame);
    Control<QCheckBox>(tab, "scrFrames")->click();
    EXPECT_TRUE(Control<QCheckBox>(tab, "scrFramesPreview")->isEnabled());
    Control<QCheckBox>(tab, "scrFramesPreview")->click();
    ScreenPictures& p = tab->Pictures();
    ASSERT_TRUE(p.LoginPreview);
    EXPECT_NE(p.LoginPreview, p.DisplayedPreview);

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(Control<QPushButton>(tab, "scrSaveHL"), &enter);
    EXPECT_EQ(p.PreviewMode, 1);
    EXPECT_EQ(Control<PreviewBox>(tab, "scrPreview")->Picture(), p.LoginPreview);

    Control<QPushButton>(tab, "scrSaveHL")->click();
    const QByteArray saved = Saved(true);
    ASSERT_GT(saved.size(), 113 + 128 + 4);
    // Top row of the picture (first row after the headers) comes from the frame: B,G,R = 30,20,10.
    EXPECT_EQ(quint8(saved[113 + 128 + 0]), 30);
    EXPECT_EQ(quint8(saved[113 + 128 + 1]), 20);
    EXPECT_EQ(quint8(saved[113 + 128 + 2]), 10);
    // A row below the frame's band shows the picture (B,G,R = 30,60,90).
    const int row100 = 113 + 128 + 100 * 1024 * 4;
    EXPECT_EQ(quint8(saved[row100 + 0]), 30);
    EXPECT_EQ(quint8(saved[row100 + 1]), 60);
    EXPECT_EQ(quint8(saved[row100 + 2]), 90);
}

TEST_F(ScreensTabTest, FrameOfTheWrongSizeIsRefusedAndTheOldPathKept)
{
    SettingsTab* s = Find<SettingsTab>();
    const QString good = Frame("good-frame.png", {1024, 768});
    m_nextFile = good;
    Control<QPushButton>(s, "BrowseHL")->click();
    EXPECT_EQ(Control<QLineEdit>(s, "FrameHL")->text(), good);
    m_nextFile = Frame("short-frame.png", {1024, 767});
    Control<QPushButton>(s, "BrowseHL")->click();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, "Image is not 1024x768 pixels in size.");
    EXPECT_EQ(Control<QLineEdit>(s, "FrameHL")->text(), good);
    QFile text(Path("frame.bmp"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("no");
    text.close();
    m_nextFile = Path("frame.bmp");
    Control<QPushButton>(s, "BrowseHC")->click();
    ASSERT_EQ(m_messages.size(), 2u);
    EXPECT_EQ(m_messages[1].text, "Image could not be loaded.");
    EXPECT_TRUE(Control<QLineEdit>(s, "FrameHC")->text().isEmpty());
}

TEST_F(ScreensTabTest, LevelsPreviewLiveAndApplyChangesTheSource)
{
    Browse(Picture("p.png", {1024, 768}, QColor(100, 100, 100)));
    EXPECT_FALSE(Control<ThemedFrame>(tab, "adjFrame")->isVisible());
    m_window->show();
    emit Control<PreviewBox>(tab, "scrPreview")->clicked();
    EXPECT_TRUE(Control<ThemedFrame>(tab, "adjFrame")->isVisible());
    const PixelBufferPtr previewBefore = tab->Pictures().PreviewImage;
    Control<QScrollBar>(tab, "adjBlack")->setValue(50);
    EXPECT_EQ(Control<QLineEdit>(tab, "adjBlackDisplay")->text(), "50");
    Control<QScrollBar>(tab, "adjWhite")->setValue(30); // pushed back above black
    EXPECT_EQ(Control<QScrollBar>(tab, "adjWhite")->value(), 51);
    EXPECT_EQ(Control<QLineEdit>(tab, "adjWhiteDisplay")->text(), "51");
    Control<QScrollBar>(tab, "adjWhite")->setValue(150);
    // The live result is shown; the source is untouched until Apply.
    EXPECT_EQ(tab->Pictures().PreviewImage, previewBefore);
    const std::uint8_t mid = tab->Pictures().SourceImage->Row(300)[300];
    EXPECT_EQ(mid, 100);
    Control<QPushButton>(tab, "adjApply")->click();
    EXPECT_FALSE(Control<ThemedFrame>(tab, "adjFrame")->isVisible());
    EXPECT_EQ(tab->Pictures().SourceImage->Row(300)[300], 128); // (100-50)/(150-50)*255 = 127.5 -> 128
    // Reload reads the file again.
    emit Control<PreviewBox>(tab, "scrPreview")->clicked();
    Control<QPushButton>(tab, "adjRevert")->click();
    EXPECT_EQ(tab->Pictures().SourceImage->Row(300)[300], 100);
}

} // namespace

TEST_F(ScreensTabTest, FailedReloadShowsWhatASaveWritesWithoutTheLiveAdjustment)
{
    const QString file = Picture("gone.png", {1024, 768}, QColor(100, 100, 100));
    Browse(file);
    m_window->show();
    emit Control<PreviewBox>(tab, "scrPreview")->clicked();
    Control<QScrollBar>(tab, "adjBlack")->setValue(80);
    ASSERT_TRUE(QFile::remove(file));
    Control<QPushButton>(tab, "adjRevert")->click();
    EXPECT_EQ(m_messages.size(), 1u);
    EXPECT_FALSE(Control<ThemedFrame>(tab, "adjFrame")->isVisible());
    EXPECT_EQ(Control<PreviewBox>(tab, "scrPreview")->Picture()->ToImage(),
              tab->Pictures().PreviewImage->ToImage());
    EXPECT_EQ(tab->Pictures().SourceImage->Row(300)[300], 100);
}
