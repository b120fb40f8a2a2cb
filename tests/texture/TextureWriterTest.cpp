#include "texture/TextureWriter.h"

#include "TextureTestSupport.h"
#include "texture/LoadingScreen.h"
#include "texture/TextureFormat.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

namespace {

const QString kLoginFolder = QStringLiteral("data/texture_library/GUI/CREATION/HybridUI/LoginScreen");

class TextureWriterTest : public ::testing::Test
{
protected:
    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    TextureWriter Writer() { return TextureWriter(m_host, {false, Path(QStringLiteral("work")), QString()}); }

    // Plain 64 x 32 .texture written with the catalogue layout (no padding rows), below the test's folder.
    bool WriteSmall(TextureWriter& writer, const QString& folder, const PixelBuffer& picture)
    {
        return WriteShown(writer, m_host, Small(folder, QStringLiteral("small"), picture));
    }
    TextureRequest Small(const QString& folder, const QString& name, const PixelBuffer& picture) const
    {
        return {.root = m_dir.path(),
                .folder = folder,
                .saveFile = name,
                .fileName = name,
                .picture = &picture,
                .width = 64,
                .height = 32,
                .texWidth = 64,
                .texHeight = 32,
                .texPath = QStringLiteral("tex/")};
    }

    QStringList FilesBelow(const QString& relative) const
    {
        QStringList files;
        QDirIterator it(Path(relative), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(Path(relative)).relativeFilePath(it.next());
        return files;
    }

    QTemporaryDir m_dir;
    RecordingBusyHost m_host;
};

TEST_F(TextureWriterTest, LoginScreenIsReadableByAnIndependentDdsReader)
{
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("game"))));
    const PixelBufferPtr picture = PatternPicture(1024, 768);
    TextureWriter writer = Writer();
    ASSERT_TRUE(WriteLoadingScreen(writer, Path(QStringLiteral("game")), LoadingScreen::Login, *picture));
    EXPECT_FALSE(m_host.Busy());
    EXPECT_EQ(m_host.StatusText(), QStringLiteral("Writing COH_LogInScreen_Background..."));

    const QString file =
        Path(QStringLiteral("game/") + kLoginFolder + QStringLiteral("/COH_LogInScreen_Background.texture"));
    const QByteArray bytes = ReadAll(file);
    ASSERT_EQ(bytes.size(), 113 + 4194432);
    EXPECT_EQ(U32At(bytes, 0), 113u);
    EXPECT_EQ(U32At(bytes, 4), 4194432u);
    EXPECT_EQ(U32At(bytes, 8), 1024u);
    EXPECT_EQ(U32At(bytes, 12), 768u);
    EXPECT_EQ(bytes[28], 0);

    const QString dds = Path(QStringLiteral("payload.dds"));
    ASSERT_TRUE(WriteBytes(dds, bytes.mid(113)));
    const QByteArray rgba = DecodeRgba(dds);
    ASSERT_EQ(rgba.size(), 1024 * 1024 * 4);
    const auto pixel = [&](int x, int y) { return rgba.mid((qsizetype(y) * 1024 + x) * 4, 4); };
    EXPECT_EQ(pixel(9, 0), QByteArray::fromHex("090009ff")); // red = x + 3y, green = y, blue = x
    EXPECT_EQ(pixel(1, 2), QByteArray::fromHex("070201ff"));
    for (const int y : {768, 900, 1023})
        EXPECT_EQ(rgba.mid(qsizetype(y) * 4096, 4096), rgba.mid(767 * 4096, 4096)) << y;

    // Saving again with nothing changed gives the same bytes.
    ASSERT_TRUE(WriteLoadingScreen(writer, Path(QStringLiteral("game")), LoadingScreen::Login, *picture));
    EXPECT_EQ(ReadAll(file), bytes);
}

TEST_F(TextureWriterTest, ExistingFoldersAndFileAreMatchedWithoutRegardToCase)
{
    const QString existing = QStringLiteral("game/Data/Texture_Library/gui/creation/HYBRIDUI/loginscreen");
    ASSERT_TRUE(QDir().mkpath(Path(existing)));
    ASSERT_TRUE(WriteBytes(Path(existing + QStringLiteral("/coh_loginscreen_background.texture")), "old"));
    TextureWriter writer = Writer();
    ASSERT_TRUE(WriteLoadingScreen(writer, Path(QStringLiteral("game")), LoadingScreen::Login,
                                   *PatternPicture(1024, 768)));
    // (The program's own folder keeps the replaced file and the record of the new one.)
    QStringList gameFiles = FilesBelow(QStringLiteral("game"));
    gameFiles.removeIf([](const QString& f) { return f.startsWith(QStringLiteral("Lumivale/")); });
    EXPECT_EQ(gameFiles,
              QStringList{existing.mid(5) + QStringLiteral("/coh_loginscreen_background.texture")});
    EXPECT_EQ(ReadAll(Path(existing + QStringLiteral("/coh_loginscreen_background.texture"))).size(),
              113 + 4194432);
}

TEST_F(TextureWriterTest, AlphaMaskAndFlag)
{
    const PixelBufferPtr picture = FilledPicture(64, 32, 10, 20, 30);
    const PixelBufferPtr mask = PatternPicture(64, 32); // blue = x
    TextureWriter writer = Writer();
    TextureRequest request = Small(QStringLiteral("out"), QStringLiteral("masked"), *picture);
    request.alpha = mask.get();
    ASSERT_TRUE(writer.Write(request));
    const QByteArray bytes = ReadAll(Path(QStringLiteral("out/masked.texture")));
    ASSERT_EQ(U32At(bytes, 0), 32u + 15u);
    EXPECT_EQ(bytes[28], 1);
    EXPECT_EQ(bytes.mid(32, 15), QByteArray("tex/masked.dds", 15));
    ASSERT_TRUE(WriteBytes(Path(QStringLiteral("masked.dds")), bytes.mid(47)));
    const QByteArray rgba = DecodeRgba(Path(QStringLiteral("masked.dds")));
    ASSERT_EQ(rgba.size(), 64 * 32 * 4);
    EXPECT_EQ(rgba.mid((5 * 64 + 40) * 4, 4),
              QByteArray::fromHex("1e140a28")); // alpha 40 = mask blue at x 40
}

TEST_F(TextureWriterTest, BareDdsHasNothingBeforeIt)
{
    TextureWriter writer = Writer();
    const PixelBufferPtr picture = PatternPicture(1024, 768);
    ASSERT_TRUE(writer.Write({.root = m_dir.path(),
                              .folder = QStringLiteral("pool"),
                              .saveFile = QStringLiteral("coh"),
                              .fileName = QStringLiteral("entry"),
                              .picture = picture.get(),
                              .width = 1024,
                              .height = 1024,
                              .texture = false,
                              .texPath = QString(),
                              .isLoginScreen = true}));
    const QByteArray bytes = ReadAll(Path(QStringLiteral("pool/entry.dds")));
    EXPECT_EQ(bytes.size(), 4194432);
    EXPECT_TRUE(bytes.startsWith("DDS "));
}

TEST_F(TextureWriterTest, RefusedArgumentsCreateNothing)
{
    TextureWriter writer = Writer();
    const PixelBufferPtr picture = PatternPicture(64, 32);
    const PixelBufferPtr smallMask = PatternPicture(32, 32);
    const QString out = QStringLiteral("refused");
    const TextureRequest good = Small(out, QStringLiteral("n"), *picture);
    TextureRequest narrow = good, flat = good, negative = good, smallAlpha = good, unnamed = good;
    narrow.width = 63;
    flat.height = 0;
    negative.texWidth = -1;
    smallAlpha.alpha = smallMask.get();
    unnamed.saveFile = QString::fromUtf8("\u0416");
    for (const TextureRequest& request : {narrow, flat, negative, smallAlpha, unnamed})
        EXPECT_FALSE(writer.Write(request));
    EXPECT_FALSE(QFileInfo::exists(Path(out)));
    EXPECT_FALSE(m_host.Busy());

    // An empty or missing game folder never turns into a relative data tree.
    EXPECT_FALSE(WriteLoadingScreen(writer, QString(), LoadingScreen::Login, *PatternPicture(1024, 768)));
    EXPECT_FALSE(WriteLoadingScreen(writer, Path(QStringLiteral("nogame")), LoadingScreen::Character,
                                    *PatternPicture(1024, 768)));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("nogame"))));
}

TEST_F(TextureWriterTest, UnwritableTargetsFailAndKeepTheOldFile)
{
    TextureWriter writer = Writer();
    const PixelBufferPtr picture = PatternPicture(64, 32);
    // A folder that cannot exist because its parent is a file.
    ASSERT_TRUE(WriteBytes(Path(QStringLiteral("plain")), "x"));
    EXPECT_FALSE(WriteSmall(writer, QStringLiteral("plain/sub"), *picture));
    EXPECT_FALSE(m_host.Busy());

    // An immutable folder refuses even root.
    const QString locked = Path(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(locked));
    ASSERT_TRUE(WriteBytes(locked + QStringLiteral("/small.texture"), "old"));
    if (RunTool(QStringLiteral("chattr"), {QStringLiteral("+i"), locked}).exitCode != 0)
        GTEST_SKIP() << "chattr +i is not available here";
    const bool written = WriteSmall(writer, QStringLiteral("locked"), *picture);
    RunTool(QStringLiteral("chattr"), {QStringLiteral("-i"), locked});
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadAll(locked + QStringLiteral("/small.texture")), QByteArray("old"));
}

TEST_F(TextureWriterTest, FullFileSystemFailsAndKeepsTheOldFile)
{
    const QString mount = Path(QStringLiteral("tiny"));
    ASSERT_TRUE(QDir().mkpath(mount));
    if (RunTool(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                          QStringLiteral("size=256k"), QStringLiteral("tmpfs"), mount})
            .exitCode != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    const QString target = mount + QStringLiteral("/COH_LogInScreen_Background.texture");
    const bool prepared = WriteBytes(target, "old");
    TextureWriter writer = Writer();
    const PixelBufferPtr picture = PatternPicture(1024, 768);
    const QString name = QStringLiteral("COH_LogInScreen_Background");
    const bool written = writer
                             .Write({.root = mount,
                                     .folder = QString(),
                                     .saveFile = name,
                                     .fileName = name,
                                     .picture = picture.get(),
                                     .width = 1024,
                                     .height = 1024,
                                     .texWidth = 1024,
                                     .texHeight = 768,
                                     .texPath = QStringLiteral("t/"),
                                     .isLoginScreen = true})
                             .has_value();
    const QByteArray after = ReadAll(target);
    const QStringList left = QDir(mount).entryList(QDir::Files | QDir::Hidden);
    RunTool(QStringLiteral("umount"), {mount});
    ASSERT_TRUE(prepared);
    EXPECT_FALSE(written);
    EXPECT_EQ(after, QByteArray("old"));
    EXPECT_EQ(left, QStringList{QStringLiteral("COH_LogInScreen_Background.texture")});
}

// A host that interrupts the write half way: by a cancel request or by killing the process.
struct InterruptingHost : RecordingBusyHost
{
    bool kill = false;
    InterruptingHost()
    {
        onProgress = [this](qint32 value) {
            if (value >= 16 && kill)
                std::raise(SIGKILL);
            if (value >= 16)
                RequestCancel();
        };
    }
};

TEST_F(TextureWriterTest, InterruptedWriteKeepsTheOldFile)
{
    const QString folder = Path(QStringLiteral("keep"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(WriteBytes(folder + QStringLiteral("/small.texture"), "old"));
    const PixelBufferPtr picture = PatternPicture(64, 32);

    InterruptingHost host;
    TextureWriter writer(host, {false, Path(QStringLiteral("work")), QString()});
    EXPECT_FALSE(WriteSmall(writer, QStringLiteral("keep"), *picture));
    EXPECT_EQ(ReadAll(folder + QStringLiteral("/small.texture")), QByteArray("old"));

    GTEST_FLAG_SET(death_test_style, "threadsafe");
    host.kill = true;
    EXPECT_EXIT(WriteSmall(writer, QStringLiteral("keep"), *picture), ::testing::KilledBySignal(SIGKILL), "");
    EXPECT_EQ(ReadAll(folder + QStringLiteral("/small.texture")), QByteArray("old"));
}

TEST_F(TextureWriterTest, WrapDdsAsTexture)
{
    QByteArray dds("DDS ");
    dds.append(QByteArray(40000, 'x')); // more than two copy blocks
    ASSERT_TRUE(WriteBytes(Path(QStringLiteral("pick.dds")), dds));
    ASSERT_TRUE(WrapDdsAsTexture(Path(QStringLiteral("pick.dds")), QStringLiteral("background"), m_dir.path(),
                                 QStringLiteral("target"), QStringLiteral("texture_library/x/")));
    const auto name = EncodeTextureName(QStringLiteral("texture_library/x/"), QStringLiteral("background"));
    EXPECT_EQ(ReadAll(Path(QStringLiteral("target/background.texture"))),
              TextureHeader(quint32(dds.size()), 1024, 768, *name, false) + dds);

    EXPECT_FALSE(WrapDdsAsTexture(Path(QStringLiteral("missing.dds")), QStringLiteral("other"), m_dir.path(),
                                  QStringLiteral("target"), QStringLiteral("t/")));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("target/other.texture"))));
}

} // namespace
