#include "texture/Catalogue.h"

#include "TestTools.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace {

const QByteArray kTwoCategories = "2\n"
                                  "A,2\n"
                                  "\"One\",256,256,\"texture_library/a\",\"one\"\n"
                                  "Two,64,32,texture_library/a,two\n"
                                  "\"B, the second\",3\n"
                                  "\"Sky, night\",512,256,\"texture_library/GUI/sky\",\"sky_night\"\n"
                                  "  Ground ,  1024 , 768 ,texture_library/g , ground\n"
                                  "Icon,46,+46,x/y,icon\n";

QStringList Texts(const QList<CatalogueEntry>& entries)
{
    QStringList texts;
    for (const CatalogueEntry& e : entries)
        texts << e.DisplayText() + QLatin1Char('|') + e.gamePath + QLatin1Char('|') + e.fileName;
    return texts;
}

TEST(CatalogueTest, SelectsTheAskedCategoryAndKeepsFileOrder)
{
    const QByteArray bytes = kTwoCategories;
    const Result<CatalogueLoad> load = LoadCatalogue(bytes, 1);
    ASSERT_TRUE(load) << load.error().Text().toStdString();
    EXPECT_EQ(load->categories, (QStringList{"A", "B, the second"}));
    EXPECT_EQ(load->selected, 1);
    EXPECT_EQ(Texts(load->entries),
              (QStringList{"Sky, night (512x256)|texture_library/GUI/sky|sky_night",
                           "Ground (1024x768)|texture_library/g|ground", "Icon (46x46)|x/y|icon"}));
    const TextureTarget target = load->entries[1].Target();
    EXPECT_EQ(target.gamePath, "texture_library/g");
    EXPECT_EQ(target.fileName, "ground");
    EXPECT_EQ(target.width, 1024);
    EXPECT_EQ(target.height, 768);

    // Another category replaces the whole table; an index outside selects the first.
    for (int index : {0, 2, -1}) {
        const Result<CatalogueLoad> other = LoadCatalogue(bytes, index);
        ASSERT_TRUE(other);
        EXPECT_EQ(other->selected, 0);
        EXPECT_EQ(Texts(other->entries),
                  (QStringList{"One (256x256)|texture_library/a|one", "Two (64x32)|texture_library/a|two"}));
    }

    // The line layout is free: one line, one field per line, CR LF, empty lines and a trailing comma.
    QByteArray oneLine = bytes, perField, crlf = bytes;
    oneLine.replace('\n', ',');
    bool quoted = false;
    for (char c : bytes) {
        quoted ^= c == '"';
        perField += c == ',' && !quoted ? '\n' : c;
    }
    crlf.replace("\n", "\r\n\r\n");
    crlf.replace("256,256", "256,\r\n  256");
    for (const QByteArray& layout : {oneLine, perField, crlf}) {
        const Result<CatalogueLoad> same = LoadCatalogue(layout, 1);
        ASSERT_TRUE(same) << layout.toStdString();
        EXPECT_EQ(same->categories, load->categories);
        EXPECT_EQ(Texts(same->entries), Texts(load->entries));
    }
    // Nothing after the last record is read; no categories leave nothing selected.
    EXPECT_TRUE(LoadCatalogue(bytes + "\"unclosed, 12, garbage", 0));
    const Result<CatalogueLoad> none = LoadCatalogue("0", 0);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->categories.isEmpty());
    EXPECT_EQ(none->selected, -1);
}

// Every malformed catalogue fails, and says in which line which field is wrong.
TEST(CatalogueTest, MalformedCataloguesNameTheField)
{
    const struct
    {
        QByteArray bytes;
        const char* detail;
    } cases[] = {
        {"", "Line 1: the file ends before the category count."},
        {" \r\n\n", "Line 3: the file ends before the category count."},
        {"twelve\n", "Line 1: the category count is not a whole number from -32768 to 32767: \"twelve\"."},
        {"2\nA,1\nx,1,1,p,f\n", "Line 4: the file ends before the name of category 2."},
        {"1\nA,3\nx,1,1,p,f\ny,2,2,p,g\n",
         "Line 5: the file ends before the display name of texture 3 of category \"A\"."},
        {"1\nA,1\nx,40000,1,p,f\n", "Line 3: the width of texture 1 of category \"A\" (\"x\") is not a whole "
                                    "number from -32768 to 32767: \"40000\"."},
        {"1\nA,1\nx,1,-32769,p,f\n",
         "the height of texture 1 of category \"A\" (\"x\") is not a whole number"},
        {"1\nA,1\nx,-0,1,p,f\n",
         "the width of texture 1 of category \"A\" (\"x\") must be at least 1, not 0"},
        {"1\nA,1\nx,1 2,1,p,f\n", "is not a whole number from -32768 to 32767: \"1 2\""},
        {"-1\n", "the category count must be at least 0, not -1"},
        {"1\nA,-2\n", "the texture count of category \"A\" must be at least 0, not -2"},
        {"1\n\"A,1\nx,1,1,p,f\n",
         "Line 2: the name of category 1 opens a quote that is not closed on its line."},
        {"1\n\"A\"x,1\n", "the name of category 1 has text after its closing quote"},
        {"1\nA\"b\",1\n", "the name of category 1 holds a double quote"},
        {"1\nA,1\nx,1,1,texture_library/../..,f\n",
         "the game path of texture 1 of category \"A\" (\"x\") must "
         "name folders below the data folder"},
        {"1\nA,1\nx,1,1,/texture_library,f\n", "must name folders below the data folder"},
        {"1\nA,1\nx,1,1,texture_library/,f\n", "must name folders below the data folder"},
        {"1\nA,1\nx,1,1,texture_library\\a,f\n", "must name folders below the data folder"},
        {"1\nA,1\nx,1,1,a,../f\n",
         "the file name of texture 1 of category \"A\" (\"x\") must be a plain name"},
        {"1\nA,1\nx,1,1,a,\"\"\n",
         "the file name of texture 1 of category \"A\" (\"x\") must be a plain name"},
    };
    for (const auto& c : cases) {
        const Result<CatalogueLoad> load = LoadCatalogue(c.bytes, 0);
        ASSERT_FALSE(load) << c.bytes.toStdString();
        EXPECT_EQ(load.error().Headline().text, kCatalogueError);
        EXPECT_EQ(load.error().Headline().icon, MessageIcon::Exclamation);
        EXPECT_TRUE(load.error().Reason().contains(QString::fromUtf8(c.detail)))
            << load.error().Reason().toStdString();
    }
}

TEST(CatalogueTest, TheFileIsReadFromTheDataFolder)
{
    QTemporaryDir dir;
    // Missing, a folder in its place, too large: refused with the path.
    for (int round = 0; round < 3; ++round) {
        if (round == 1) {
            ASSERT_TRUE(QDir(dir.path()).mkdir(kCatalogueFileName));
        } else if (round == 2) {
            ASSERT_TRUE(QDir(dir.path()).rmdir(kCatalogueFileName));
            ASSERT_TRUE(
                WriteBytes(dir.filePath(kCatalogueFileName), QByteArray(kCatalogueMaxBytes + 1, ' ')));
        }
        const Result<CatalogueLoad> load = LoadCatalogueFile(dir.path(), 0);
        ASSERT_FALSE(load);
        EXPECT_EQ(load.error().Headline().text, kCatalogueError);
        EXPECT_TRUE(load.error().Reason().startsWith(dir.filePath(kCatalogueFileName) + QStringLiteral(": ")))
            << load.error().Reason().toStdString();
    }
    ASSERT_TRUE(WriteBytes(dir.filePath(kCatalogueFileName), "1\nA,1\nx,1,q,p,f\n"));
    const Result<CatalogueLoad> bad = LoadCatalogueFile(dir.path(), 0);
    ASSERT_FALSE(bad);
    EXPECT_TRUE(
        bad.error().Reason().startsWith(dir.filePath(kCatalogueFileName) + QStringLiteral(", line 3: ")));
    ASSERT_TRUE(WriteBytes(dir.filePath(kCatalogueFileName), kTwoCategories));
    EXPECT_EQ(LoadCatalogueFile(dir.path(), 1)->entries.size(), 3);
}

// Random bytes and every cut of a valid catalogue: a result or a failure, never a crash or a hang.
TEST(CatalogueTest, SurvivesRandomAndTruncatedInput)
{
    const QByteArray complete = kTwoCategories;
    for (qsizetype length = 0; length <= complete.size(); ++length) {
        const Result<QList<CatalogueCategory>> parsed =
            ParseCatalogue(QByteArrayView(complete).first(length));
        if (!parsed) {
            EXPECT_TRUE(parsed.error().Reason().startsWith(QStringLiteral("Line "))) << length;
            continue;
        }
        // Only a cut inside the last field can still read: it keeps the whole table.
        EXPECT_GE(length, complete.size() - 4) << length;
        ASSERT_EQ(parsed->size(), 2);
        EXPECT_EQ(parsed->at(1).entries.size(), 3);
    }

    std::mt19937 random(3303);
    const QByteArray alphabet = QByteArrayLiteral("0123456789-+,\"\r\n \tAbc/.\\");
    for (int iteration = 0; iteration < 4000; ++iteration) {
        QByteArray bytes;
        const int size = int(random() % 200);
        const bool structured = iteration % 2 == 0;
        for (int i = 0; i < size; ++i)
            bytes.append(structured ? alphabet[int(random() % alphabet.size())] : char(random() & 0xff));
        if (iteration % 4 == 0)
            bytes.prepend("3\nA,2\n");
        const Result<CatalogueLoad> load = LoadCatalogue(bytes, int(random() % 4) - 1);
        if (!load)
            continue;
        for (const CatalogueEntry& entry : load->entries) {
            EXPECT_GE(entry.width, 1);
            EXPECT_GE(entry.height, 1);
            EXPECT_FALSE(entry.fileName.isEmpty());
            EXPECT_FALSE(entry.gamePath.split('/').contains(QStringLiteral("..")));
        }
    }
    // Mutations of the valid file: flip, drop or duplicate bytes.
    for (int iteration = 0; iteration < 2000; ++iteration)
        (void)LoadCatalogue(Mutated(complete, random, 4), 1);
}

// The catalogue that ships: placed beside the executables, every row usable.
TEST(CatalogueTest, ShippedCatalogueHoldsEveryRow)
{
    const Result<QList<CatalogueCategory>> shipped = ReadCatalogueFile(QStringLiteral(LUMIVALE_BIN_DIR));
    ASSERT_TRUE(shipped) << shipped.error().Text().toStdString();
    QStringList names;
    QSet<QString> files;
    int rows = 0;
    for (const CatalogueCategory& category : *shipped) {
        names << category.name;
        EXPECT_FALSE(category.entries.isEmpty()) << category.name.toStdString();
        for (const CatalogueEntry& e : category.entries) {
            ++rows;
            const std::string what = e.DisplayText().toStdString();
            EXPECT_TRUE(e.gamePath.startsWith(QStringLiteral("texture_library/"))) << what;
            EXPECT_FALSE(e.gamePath.endsWith('/') || e.gamePath.contains('\\')) << what;
            EXPECT_FALSE(e.displayName.isEmpty()) << what;
            EXPECT_TRUE(e.width >= 1 && e.width <= 1024 && e.height >= 1 && e.height <= 1024) << what;
            EXPECT_FALSE(files.contains(e.fileName.toLower())) << "twice: " << e.fileName.toStdString();
            files << e.fileName.toLower();
        }
    }
    EXPECT_EQ(rows, 206);
    EXPECT_EQ(names, (QStringList{"Loading screens: login & defaults", "Loading screens: Paragon City",
                                  "Loading screens: Rogue Isles", "Zone maps: Paragon City",
                                  "Zone maps: Rogue Isles & Praetoria", "Power icons: pools & inherents",
                                  "Power icons: incarnate", "Inspiration icons", "Enhancement icons",
                                  "Archetype & origin icons", "HUD & window icons",
                                  "Costume: female boots (sample set)"}));
    EXPECT_EQ(shipped->at(1).entries.size(), 23);
}

} // namespace
