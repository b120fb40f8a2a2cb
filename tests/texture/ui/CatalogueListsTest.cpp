#include "texture/ui/CatalogueLists.h"

#include "RecordingBusyHost.h"
#include "TestTools.h"

#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray kCatalogue = "3\n"
                              "A,2\n"
                              "One,256,256,texture_library/a,one\n"
                              "Two,64,32,texture_library/a,two\n"
                              "B,3\n"
                              "Sky,512,256,texture_library/b,sky\n"
                              "Ground,1024,768,texture_library/b,ground\n"
                              "Icon,46,46,texture_library/b,icon\n"
                              "Empty,0\n";

QStringList Items(const QComboBox& list)
{
    QStringList items;
    for (int i = 0; i < list.count(); ++i)
        items << list.itemText(i);
    return items;
}

class CatalogueListsTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(WriteBytes(m_dir.filePath(kCatalogueFileName), kCatalogue)); }

    QTemporaryDir m_dir;
    RecordingBusyHost m_host;
    QComboBox m_categories;
    QComboBox m_textures;
    CatalogueLists m_lists{m_host, m_dir.path(), &m_categories, &m_textures};
};

TEST_F(CatalogueListsTest, ChoosingACategoryReloadsWithoutNestedLoads)
{
    int loads = 0;
    QObject::connect(&m_lists, &CatalogueLists::loaded, [&] {
        ++loads;
        // Whatever a load's own selection changes raise, the lists match the table.
        EXPECT_EQ(m_textures.count(), m_lists.Entries().size());
    });
    ASSERT_TRUE(m_lists.Load(1));
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(Items(m_categories), (QStringList{"A", "B", "Empty"}));
    EXPECT_EQ(m_categories.currentIndex(), 1);
    EXPECT_EQ(Items(m_textures), (QStringList{"Sky (512x256)", "Ground (1024x768)", "Icon (46x46)"}));
    EXPECT_EQ(m_textures.currentIndex(), 0);
    EXPECT_EQ(m_lists.CurrentEntry()->fileName, "sky");
    m_textures.setCurrentIndex(2);
    EXPECT_EQ(m_lists.CurrentEntry()->width, 46);

    // Choosing another category reloads: the whole table is replaced, the first texture selected.
    m_categories.setCurrentIndex(0);
    EXPECT_EQ(loads, 2);
    EXPECT_EQ(Items(m_textures), (QStringList{"One (256x256)", "Two (64x32)"}));
    EXPECT_EQ(m_lists.Entries().size(), 2);
    EXPECT_EQ(m_lists.CurrentEntry()->fileName, "one");

    // A category without textures: an empty list and no entry.
    m_categories.setCurrentIndex(2);
    EXPECT_EQ(loads, 3);
    EXPECT_EQ(m_textures.count(), 0);
    EXPECT_FALSE(m_lists.CurrentEntry());
    EXPECT_TRUE(m_host.Messages().isEmpty());
}

TEST_F(CatalogueListsTest, AnUnreadableCatalogueIsToldAndLeavesTheListsEmpty)
{
    ASSERT_TRUE(m_lists.Load(1));
    ASSERT_TRUE(WriteBytes(m_dir.filePath(kCatalogueFileName), "2\nA,1\nx,1,1,p,f\n"));
    EXPECT_FALSE(m_lists.Load(0));
    ASSERT_EQ(m_host.Messages().size(), 1);
    EXPECT_EQ(m_host.Messages()[0].text, kCatalogueError);
    EXPECT_TRUE(m_host.Messages()[0].detail.contains("the name of category 2"));
    EXPECT_EQ(m_categories.count(), 0);
    EXPECT_EQ(m_textures.count(), 0);
    EXPECT_TRUE(m_lists.Entries().isEmpty());

    ASSERT_TRUE(QFile::remove(m_dir.filePath(kCatalogueFileName)));
    EXPECT_FALSE(m_lists.Load(0));
    EXPECT_EQ(m_host.Messages().size(), 2);
    EXPECT_EQ(m_categories.count(), 0);
}

} // namespace
