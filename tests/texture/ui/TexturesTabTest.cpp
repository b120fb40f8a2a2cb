#include "texture/ui/TexturesTab.h"

#include "Controls.h"
#include "RecordingBusyHost.h"
#include "TestTools.h"
#include "app/GameSession.h"
#include "app/SettingsStore.h"
#include "image/ImageSettings.h"
#include "image/PictureDecoder.h"
#include "texture/TextureWriter.h"
#include "texture/ui/CatalogueLists.h"
#include "texture/ui/TexturePreview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray kCatalogue = "3\n"
                              "A,2\n"
                              "Icon,46,46,texture_library/a,icon\n"
                              "Screen,1024,768,texture_library/a,screen\n"
                              "B,3\n"
                              "Square,256,256,texture_library/b,square\n"
                              "Bigger,512,512,texture_library/b,bigger\n"
                              "Wide,64,32,texture_library/b,wide\n"
                              "Empty,0\n";

class TexturesTabTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(Path("data")));
        ASSERT_TRUE(QDir().mkpath(Path("game")));
        ASSERT_TRUE(QDir().mkpath(Path("pictures")));
        ASSERT_TRUE(WriteBytes(Path("data/lumivale.csv"), kCatalogue));
        m_environment.dataFolder = Path("data");
        m_environment.workFolder = Path("work");
        m_session.SetGameFolder(m_dir.filePath("game"));
        tab = std::make_unique<TexturesTab>(m_host, m_store, m_environment, m_session,
                                            [this](QWidget*, const OpenFileRequest& request) {
                                                m_request = request;
                                                return m_nextFile;
                                            });
        tab->TabChanged(true);
    }
    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    QString Picture(const QString& name, QColor colour, QSize size = {320, 240})
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        EXPECT_TRUE(image.save(Path("pictures/" + name)));
        return Path("pictures/" + name);
    }
    void Choose(QPushButton* button, const QString& file)
    {
        m_nextFile = file;
        button->click();
    }
    void SelectCategory(int index) { Control<QComboBox>(tab, "texCategory")->setCurrentIndex(index); }
    QString Replacement(const char* relative) const
    {
        return Path(QStringLiteral("game/data/texture_library/") + relative);
    }
    QStringList Texts() const
    {
        QStringList texts;
        for (const Message& m : m_host.Messages())
            texts << m.text;
        return texts;
    }

    QTemporaryDir m_dir;
    RecordingBusyHost m_host;
    SettingsStore m_store{m_dir.filePath("config/Lumivale.ini")};
    Environment m_environment;
    GameSession m_session;
    QString m_nextFile;
    OpenFileRequest m_request;
    std::unique_ptr<TexturesTab> tab;
};

TEST_F(TexturesTabTest, EnteringTheTabLoadsTheFirstCategoryStayingDoesNot)
{
    int taken = 0;
    QObject::connect(tab.get(), &TexturesTab::catalogueTaken, [&] { ++taken; });
    EXPECT_EQ(Control<QComboBox>(tab, "texCategory")->count(), 3);
    EXPECT_EQ(Control<QComboBox>(tab, "texTexture")->itemText(1), "Screen (1024x768)");
    SelectCategory(1);
    EXPECT_EQ(Control<QComboBox>(tab, "texTexture")->count(), 3);
    tab->TabChanged(true); // still the current tab
    EXPECT_EQ(Control<QComboBox>(tab, "texCategory")->currentIndex(), 1);
    EXPECT_EQ(taken, 0);
    tab->TabChanged(false);
    tab->TabChanged(true); // back again
    EXPECT_EQ(Control<QComboBox>(tab, "texCategory")->currentIndex(), 0);
    EXPECT_EQ(Control<QComboBox>(tab, "texTexture")->currentIndex(), 0);
    EXPECT_EQ(taken, 1);

    // Nothing to write or restore in a category without textures.
    Choose(Control<QPushButton>(tab, "texBrowse"), Picture("red.png", Qt::red));
    EXPECT_TRUE(Control<QPushButton>(tab, "texSave")->isEnabled());
    EXPECT_TRUE(Control<QPushButton>(tab, "texReset")->isEnabled());
    SelectCategory(2);
    EXPECT_FALSE(Control<QPushButton>(tab, "texSave")->isEnabled());
    EXPECT_FALSE(Control<QPushButton>(tab, "texReset")->isEnabled());
    EXPECT_TRUE(Control<QLabel>(tab, "texPreviewSize")->text().isEmpty());
}

TEST_F(TexturesTabTest, DialogsStartInTheLastFolderAndACancelChangesNothing)
{
    EXPECT_FALSE(Control<QPushButton>(tab, "texSave")->isEnabled());
    WriteLastImageDir(m_store, Path("pictures"));
    const QString red = Picture("red.png", Qt::red);
    Choose(Control<QPushButton>(tab, "texBrowse"), red);
    EXPECT_EQ(m_request.initialFolder, Path("pictures"));
    EXPECT_EQ(m_request.filter, kImageFilesFilter);
    EXPECT_EQ(Control<QLineEdit>(tab, "texInput")->text(), red);
    EXPECT_TRUE(Control<QPushButton>(tab, "texSave")->isEnabled());

    QDir().mkpath(Path("masks"));
    QImage mask(8, 8, QImage::Format_Grayscale8);
    mask.fill(0);
    ASSERT_TRUE(mask.save(Path("masks/black.png")));
    Choose(Control<QPushButton>(tab, "texAlphaBrowse"), Path("masks/black.png"));
    EXPECT_EQ(Control<QLineEdit>(tab, "texAlpha")->text(), Path("masks/black.png"));
    EXPECT_EQ(ReadLastImageDir(m_store), Path("masks"));

    Choose(Control<QPushButton>(tab, "texBrowse"), QString());
    Choose(Control<QPushButton>(tab, "texAlphaBrowse"), QString());
    EXPECT_EQ(Control<QLineEdit>(tab, "texInput")->text(), red);
    EXPECT_EQ(Control<QLineEdit>(tab, "texAlpha")->text(), Path("masks/black.png"));
    EXPECT_EQ(ReadLastImageDir(m_store), Path("masks"));
    EXPECT_TRUE(Control<QPushButton>(tab, "texSave")->isEnabled());
    EXPECT_TRUE(m_host.Messages().isEmpty());
}

// The preview is the picture a save writes, with the mask's transparency, and says what the game shows.
TEST_F(TexturesTabTest, PreviewShowsWhatASaveWritesAndWhatTheGameShows)
{
    EXPECT_TRUE(Control<TexturePreview>(tab, "texPreview")->Picture().isNull());
    EXPECT_FALSE(Control<TexturePreview>(tab, "texPreview")->Text().isEmpty());
    EXPECT_EQ(Control<QLabel>(tab, "texGameShows")->text(), "The game shows its own texture.");
    Choose(Control<QPushButton>(tab, "texBrowse"), Picture("red.png", Qt::red));
    // The 46 x 46 icon: four times enlarged in the 256 x 192 box.
    EXPECT_EQ(Control<TexturePreview>(tab, "texPreview")->Picture().size(), QSize(46, 46));
    EXPECT_EQ(Control<TexturePreview>(tab, "texPreview")->PictureRect().size(), QSize(184, 184));
    EXPECT_EQ(Control<QLabel>(tab, "texPreviewSize")->text(), "46 x 46 pixels, shown 4x\nstored as 64 x 64");
    EXPECT_EQ(Control<TexturePreview>(tab, "texPreview")->Picture().pixel(10, 10), qRgba(255, 0, 0, 255));

    QImage mask(92, 46, QImage::Format_Grayscale8);
    mask.fill(255);
    for (int y = 0; y < 46; ++y)
        for (int x = 0; x < 46; ++x)
            mask.setPixel(x, y, 0);
    ASSERT_TRUE(mask.save(Path("pictures/mask.png")));
    Choose(Control<QPushButton>(tab, "texAlphaBrowse"), Path("pictures/mask.png"));
    EXPECT_EQ(qAlpha(Control<TexturePreview>(tab, "texPreview")->Picture().pixel(5, 20)), 0);
    EXPECT_EQ(qAlpha(Control<TexturePreview>(tab, "texPreview")->Picture().pixel(40, 20)), 255);

    Control<QComboBox>(tab, "texTexture")->setCurrentIndex(1);
    EXPECT_EQ(Control<TexturePreview>(tab, "texPreview")->Picture().size(), QSize(1024, 768));
    EXPECT_EQ(Control<TexturePreview>(tab, "texPreview")->PictureRect().size(), QSize(256, 192));
    Control<QPushButton>(tab, "texSave")->click();
    EXPECT_TRUE(m_host.Messages().isEmpty());
    EXPECT_EQ(Control<QLabel>(tab, "texGameShows")->text(), "The game shows your replacement.");
    ASSERT_TRUE(WriteBytes(Replacement("a/screen.texture"), "another mod"));
    tab->UpdatePreview();
    EXPECT_TRUE(Control<QLabel>(tab, "texGameShows")
                    ->text()
                    .startsWith("The game shows a loose file that Lumivale did not write."));

    // A picture that cannot be read says so in the box.
    ASSERT_TRUE(WriteBytes(Path("pictures/broken.jpg"), "text"));
    Choose(Control<QPushButton>(tab, "texBrowse"), Path("pictures/broken.jpg"));
    EXPECT_TRUE(Control<TexturePreview>(tab, "texPreview")->Picture().isNull());
    EXPECT_EQ(Control<TexturePreview>(tab, "texPreview")->Text(), kImageLoadError);
}

TEST_F(TexturesTabTest, SaveAllWritesEachTextureAtItsSizeAndTellsEachFailure)
{
    SelectCategory(1);
    Choose(Control<QPushButton>(tab, "texBrowse"), Picture("green.png", Qt::green, {100, 50}));
    Control<QCheckBox>(tab, "texWriteAll")->setChecked(true);
    Control<QPushButton>(tab, "texSave")->click();
    EXPECT_TRUE(m_host.Messages().isEmpty());
    for (const auto& [file, size] :
         {std::pair{"b/square.texture", 256}, {"b/bigger.texture", 512}, {"b/wide.texture", 64}}) {
        const QByteArray bytes = ReadAll(Replacement(file));
        ASSERT_GT(bytes.size(), 32) << file;
        EXPECT_EQ(U32At(bytes, 8), quint32(size)) << file;
    }
    EXPECT_EQ(U32At(ReadAll(Replacement("b/wide.texture")), 12), 32u);

    // A picture that cannot be loaded: the loader's message once per texture, nothing written.
    const QByteArray before = ReadAll(Replacement("b/square.texture"));
    ASSERT_TRUE(WriteBytes(Path("pictures/green.png"), "no longer a picture"));
    Control<QPushButton>(tab, "texSave")->click();
    EXPECT_EQ(Texts(), QStringList(3, kImageLoadError));
    EXPECT_EQ(ReadAll(Replacement("b/square.texture")), before);
    m_host.ClearMessages();

    // A folder that cannot be written: the writer's message once per texture, the old files kept.
    Choose(Control<QPushButton>(tab, "texBrowse"), Picture("blue.png", Qt::blue));
    if (RunTool(QStringLiteral("chattr"), {QStringLiteral("+i"), Replacement("b")}).exitCode != 0)
        GTEST_SKIP() << "chattr +i is not available here";
    Control<QPushButton>(tab, "texSave")->click();
    RunTool(QStringLiteral("chattr"), {QStringLiteral("-i"), Replacement("b")});
    EXPECT_EQ(Texts(), QStringList(3, kWriteErrorMessage));
    EXPECT_EQ(ReadAll(Replacement("b/square.texture")), before);
    EXPECT_FALSE(m_host.Busy());
}

TEST_F(TexturesTabTest, RestoreAsksAndTouchesOnlyWhatIsThere)
{
    SelectCategory(1);
    Choose(Control<QPushButton>(tab, "texBrowse"), Picture("red.png", Qt::red));
    // Nothing there: no question, nothing deleted.
    Control<QPushButton>(tab, "texReset")->click();
    EXPECT_TRUE(m_host.Messages().isEmpty());

    Control<QPushButton>(tab, "texSave")->click();
    ASSERT_TRUE(QFileInfo::exists(Replacement("b/square.texture")));
    m_host.SetConfirmAnswer(false);
    Control<QPushButton>(tab, "texReset")->click();
    ASSERT_EQ(m_host.Messages().size(), 1);
    EXPECT_EQ(m_host.Messages()[0].text, "This will REMOVE the custom image you have\nplaced in the selected "
                                         "Texture!\n\nAre you sure?");
    EXPECT_EQ(m_host.Messages()[0].icon, MessageIcon::Question);
    EXPECT_TRUE(QFileInfo::exists(Replacement("b/square.texture")));
    m_host.SetConfirmAnswer(true);
    Control<QPushButton>(tab, "texReset")->click();
    EXPECT_FALSE(QFileInfo::exists(Replacement("b/square.texture")));
    EXPECT_EQ(Control<QLabel>(tab, "texGameShows")->text(), "The game shows its own texture.");
    m_host.ClearMessages();

    // The whole category: one question, the existing replacements restored,
    // one changed since left alone and named.
    Control<QComboBox>(tab, "texTexture")->setCurrentIndex(1);
    Control<QPushButton>(tab, "texSave")->click();
    Control<QComboBox>(tab, "texTexture")->setCurrentIndex(2);
    Control<QPushButton>(tab, "texSave")->click();
    ASSERT_TRUE(WriteBytes(Replacement("b/wide.texture"), "changed by hand"));
    Control<QCheckBox>(tab, "texWriteAll")->setChecked(true);
    Control<QPushButton>(tab, "texReset")->click();
    ASSERT_EQ(m_host.Messages().size(), 2);
    EXPECT_EQ(m_host.Messages()[0].text, "This will REMOVE the custom images you have\nplaced in the WHOLE "
                                         "Category!\n\nAre you sure?");
    EXPECT_TRUE(m_host.Messages()[1].text.startsWith("This file was left as it is"));
    EXPECT_EQ(m_host.Messages()[1].detail, QFileInfo(Replacement("b/wide.texture")).canonicalFilePath());
    EXPECT_FALSE(QFileInfo::exists(Replacement("b/bigger.texture")));
    EXPECT_EQ(ReadAll(Replacement("b/wide.texture")), QByteArray("changed by hand"));
    // Asked even when there is nothing to restore.
    ASSERT_TRUE(QFile::remove(Replacement("b/wide.texture")));
    m_host.ClearMessages();
    m_host.SetConfirmAnswer(false);
    Control<QPushButton>(tab, "texReset")->click();
    EXPECT_EQ(m_host.Messages().size(), 1);
}

} // namespace
