#include "online/OnlineApply.h"

#include "RecordingBusyHost.h"
#include "TestTools.h"
#include "texture/TextureWriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

OnlineSlotSettings Slot(const QString& path, const QString& file, const QString& width, const QString& height)
{
    OnlineSlotSettings slot;
    slot.name = QStringLiteral("A texture");
    slot.path = path;
    slot.file = file;
    slot.width = width;
    slot.height = height;
    return slot;
}

class OnlineApplyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("game/data"))));
        ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("outside"))));
    }
    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    QString Game() const { return Path(QStringLiteral("game")); }

    // A downloaded picture of the given colour, as the batch stores it.
    QString Picture(int slot, QColor colour)
    {
        const QString file = Path(QStringLiteral("lumivale.tmp%1.png").arg(slot));
        QImage image(50, 40, QImage::Format_RGB32);
        image.fill(colour);
        EXPECT_TRUE(image.save(file));
        return file;
    }

    QList<AppliedSlot> Apply(const OnlineSettings& settings, const std::array<QString, kOnlineSlots>& files)
    {
        StoredPictures pictures;
        for (int i = 0; i < kOnlineSlots; ++i)
            pictures[std::size_t(i)].file = files[std::size_t(i)];
        return Apply(settings, pictures);
    }
    QList<AppliedSlot> Apply(const OnlineSettings& settings, const StoredPictures& pictures)
    {
        TextureWriterOptions options;
        options.workFolder = Path(QStringLiteral("work"));
        TextureWriter writer(m_host, options);
        return ApplyDownloads(m_host, writer, Game(), OnlineSlots(settings), pictures);
    }

    // Every file below folder, relative to it.
    QStringList Files(const QString& folder) const
    {
        QStringList files;
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(folder).relativeFilePath(it.next());
        files.sort();
        return files;
    }

    QTemporaryDir m_dir;
    RecordingBusyHost m_host;
};

TEST_F(OnlineApplyTest, EachStoredPictureBecomesItsTextureAtThePowersOfTwo)
{
    OnlineSettings settings;
    settings.entries[1] = Slot(QStringLiteral("texture_library/GUI/Sky"), QStringLiteral("sky"),
                               QStringLiteral(" 300"), QStringLiteral(" 200"));
    settings.entries[3] = Slot(QStringLiteral("Texture_Library/World"), QStringLiteral("rock"),
                               QStringLiteral("64"), QStringLiteral(" 64 "));
    // The game spells its folder differently: the existing one is used.
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("game/data/texture_library/world"))));
    const QString sky = Picture(1, Qt::red);
    const QString rock = Picture(3, Qt::blue);
    const QList<AppliedSlot> applied = Apply(settings, {QString(), sky, QString(), rock, QString()});
    ASSERT_EQ(applied.size(), 2);
    EXPECT_EQ(applied[0].slot, 1);
    ASSERT_TRUE(applied[0].written) << qPrintable(applied[0].written.error().Text());
    ASSERT_TRUE(applied[1].written) << qPrintable(applied[1].written.error().Text());
    EXPECT_EQ(Files(Path(QStringLiteral("game/data"))),
              QStringList({QStringLiteral("texture_library/GUI/Sky/sky.texture"),
                           QStringLiteral("texture_library/world/rock.texture")}));
    const QByteArray bytes = ReadAll(*applied[0].written);
    EXPECT_EQ(U32At(bytes, 8), 300u); // declared size
    EXPECT_EQ(U32At(bytes, 12), 200u);
    const qsizetype dds = qsizetype(U32At(bytes, 0));
    EXPECT_EQ(bytes.mid(dds, 4), "DDS ");
    EXPECT_EQ(U32At(bytes, dds + 12), 256u); // stored height and width
    EXPECT_EQ(U32At(bytes, dds + 16), 512u);
    EXPECT_FALSE(QFile::exists(sky));
    EXPECT_FALSE(QFile::exists(rock));
    EXPECT_TRUE(m_host.Messages().isEmpty());

    // A picture that cannot be loaded leaves no folder behind for its texture.
    settings.entries[0] = Slot(QStringLiteral("texture_library/New"), QStringLiteral("n"),
                               QStringLiteral("64"), QStringLiteral("64"));
    const QString broken = Path(QStringLiteral("lumivale.tmp0.png"));
    ASSERT_TRUE(WriteBytes(broken, "\x89PNG not a picture"));
    const QList<AppliedSlot> failed = Apply(settings, {broken, QString(), QString(), QString(), QString()});
    ASSERT_EQ(failed.size(), 1);
    EXPECT_FALSE(failed[0].written);
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("game/data/texture_library/New"))));
    EXPECT_FALSE(QFile::exists(broken));
}

TEST_F(OnlineApplyTest, ALoadAtTheTextureSizeIsTakenAndOneAtAnotherSizeIsRedone)
{
    OnlineSettings settings;
    settings.entries[0] = Slot(QStringLiteral("texture_library/A"), QStringLiteral("a"),
                               QStringLiteral(" 300"), QStringLiteral(" 200"));
    settings.entries[1] = Slot(QStringLiteral("texture_library/B"), QStringLiteral("b"), QStringLiteral("64"),
                               QStringLiteral("64"));
    StoredPictures pictures;
    // Slot 0's settings changed after its load started; slot 1's picture is only in its finished load.
    pictures[0] = StartPictureLoad(Picture(0, Qt::red), QSize(64, 64));
    pictures[1] = StartPictureLoad(Picture(1, Qt::blue), QSize(64, 64));
    pictures[1].load.wait();
    ASSERT_TRUE(QFile::remove(pictures[1].file));
    const QList<AppliedSlot> applied = Apply(settings, pictures);
    ASSERT_EQ(applied.size(), 2);
    for (const AppliedSlot& slot : applied)
        ASSERT_TRUE(slot.written) << qPrintable(slot.written.error().Text());
    const QByteArray redone = ReadAll(*applied[0].written);
    EXPECT_EQ(U32At(redone, 8), 300u);
    EXPECT_EQ(U32At(redone, qsizetype(U32At(redone, 0)) + 16), 512u); // stored width
    EXPECT_EQ(U32At(ReadAll(*applied[1].written), 8), 64u);
}

TEST_F(OnlineApplyTest, TwoSlotsOfOneTextureAreWrittenInSlotOrder)
{
    OnlineSettings settings;
    settings.entries[0] = Slot(QStringLiteral("texture_library/A"), QStringLiteral("a"), QStringLiteral("64"),
                               QStringLiteral("64"));
    settings.entries[1] = Slot(QStringLiteral("Texture_Library/A"), QStringLiteral("A"), QStringLiteral("64"),
                               QStringLiteral("64"));
    StoredPictures pictures;
    pictures[0].file = Picture(0, Qt::red);
    // The later slot's picture is ready first; the earlier one is still written before it.
    pictures[1] = StartPictureLoad(Picture(1, Qt::blue), QSize(64, 64));
    pictures[1].load.wait();
    const QList<AppliedSlot> applied = Apply(settings, pictures);
    ASSERT_EQ(applied.size(), 2);
    ASSERT_TRUE(applied[1].written) << qPrintable(applied[1].written.error().Text());
    const QByteArray bytes = ReadAll(*applied[1].written);
    const qsizetype pixels = qsizetype(U32At(bytes, 0)) + 128;
    EXPECT_EQ(bytes.mid(pixels, 3), QByteArray("\xFF\x00\x00", 3)); // blue, green, red
}

TEST_F(OnlineApplyTest, SettingsThatLeadOutsideDataWriteNothing)
{
    // Symlinks inside the game's data folder: one out of the game, one to the game folder itself.
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("game/data/texture_library"))));
    ASSERT_TRUE(
        QFile::link(Path(QStringLiteral("outside")), Path(QStringLiteral("game/data/texture_library/out"))));
    ASSERT_TRUE(QFile::link(Game(), Path(QStringLiteral("game/data/texture_library/up"))));
    const QString ok = QStringLiteral("texture_library/GUI");
    const struct
    {
        OnlineSlotSettings slot;
        const char* named; // the value the reason names
    } cases[] = {
        {Slot(QStringLiteral("texture_library/../../x"), QStringLiteral("f"), QStringLiteral("64"),
              QStringLiteral("64")),
         "webPath"},
        {Slot(QStringLiteral("../texture_library"), QStringLiteral("f"), QStringLiteral("64"),
              QStringLiteral("64")),
         "webPath"},
        {Slot(Path(QStringLiteral("outside")), QStringLiteral("f"), QStringLiteral("64"),
              QStringLiteral("64")),
         "webPath"},
        {Slot(QStringLiteral("C:/texture_library"), QStringLiteral("f"), QStringLiteral("64"),
              QStringLiteral("64")),
         "webPath"},
        {Slot(QStringLiteral("texture_library\\..\\..\\x"), QStringLiteral("f"), QStringLiteral("64"),
              QStringLiteral("64")),
         "webPath"},
        {Slot(QStringLiteral("texture_library//GUI"), QStringLiteral("f"), QStringLiteral("64"),
              QStringLiteral("64")),
         "webPath"},
        {Slot(QStringLiteral("sound/Ogg"), QStringLiteral("f"), QStringLiteral("64"), QStringLiteral("64")),
         "webPath"},
        {Slot(QString(), QStringLiteral("f"), QStringLiteral("64"), QStringLiteral("64")), "webPath"},
        {Slot(ok, QStringLiteral("../f"), QStringLiteral("64"), QStringLiteral("64")), "webFile"},
        {Slot(ok, QStringLiteral(".."), QStringLiteral("64"), QStringLiteral("64")), "webFile"},
        {Slot(ok, QString(), QStringLiteral("64"), QStringLiteral("64")), "webFile"},
        {Slot(ok, QStringLiteral("f"), QStringLiteral(" 0"), QStringLiteral("64")), "webWidth"},
        {Slot(ok, QStringLiteral("f"), QStringLiteral("abc"), QStringLiteral("64")), "webWidth"},
        {Slot(ok, QStringLiteral("f"), QStringLiteral("2048"), QStringLiteral("64")), "webWidth"},
        {Slot(ok, QStringLiteral("f"), QStringLiteral("64"), QStringLiteral("-5")), "webHeight"},
        {Slot(ok, QStringLiteral("f"), QStringLiteral("64"), QString()), "webHeight"},
        {Slot(QStringLiteral("texture_library/out"), QStringLiteral("f"), QStringLiteral("64"),
              QStringLiteral("64")),
         nullptr},
        {Slot(QStringLiteral("texture_library/up"), QStringLiteral("f"), QStringLiteral("64"),
              QStringLiteral("64")),
         nullptr},
        {Slot(QStringLiteral("texture_library/up/data"), QStringLiteral("f"), QStringLiteral("64"),
              QStringLiteral("64")),
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(
            qPrintable(c.slot.path + QLatin1Char('|') + c.slot.file + QLatin1Char('|') + c.slot.width));
        OnlineSettings settings;
        settings.entries[2] = c.slot;
        const QString picture = Picture(2, Qt::green);
        const QList<AppliedSlot> applied =
            Apply(settings, {QString(), QString(), picture, QString(), QString()});
        ASSERT_EQ(applied.size(), 1);
        ASSERT_FALSE(applied[0].written);
        const QString text = applied[0].written.error().Text();
        if (c.named) {
            EXPECT_TRUE(text.contains(QStringLiteral("slot 2"))) << qPrintable(text);
            EXPECT_TRUE(text.contains(QLatin1String(c.named) + QLatin1Char('2'))) << qPrintable(text);
        } else {
            EXPECT_TRUE(text.contains(QStringLiteral("leads outside"))) << qPrintable(text);
        }
        EXPECT_FALSE(QFile::exists(picture));
    }
    // Nothing was written anywhere: no texture in the game or outside it.
    EXPECT_TRUE(Files(Path(QStringLiteral("outside"))).isEmpty());
    for (const QString& file : Files(Game()))
        EXPECT_FALSE(file.endsWith(QStringLiteral(".texture"))) << qPrintable(file);
}

TEST_F(OnlineApplyTest, AGameWithoutADataFolderGetsOneAndAMissingGameIsReported)
{
    ASSERT_TRUE(QDir(Path(QStringLiteral("game/data"))).removeRecursively());
    const auto target = OnlineSlotTarget(Slot(QStringLiteral("texture_library/A"), QStringLiteral("b"),
                                              QStringLiteral(" 512"), QStringLiteral("1")),
                                         0);
    ASSERT_TRUE(target);
    EXPECT_EQ(target->width, 512);
    const auto file = ConfinedTextureFile(Game(), *target);
    ASSERT_TRUE(file) << qPrintable(file.error().Text());
    EXPECT_TRUE(file->endsWith(QStringLiteral("/data/texture_library/A/b.texture")));
    EXPECT_FALSE(ConfinedTextureFile(QString(), *target));
    EXPECT_FALSE(ConfinedTextureFile(Path(QStringLiteral("nowhere")), *target));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("nowhere"))));
}

} // namespace
