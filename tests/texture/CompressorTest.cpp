#include "TextureTestSupport.h"
#include "texture/LoadingScreen.h"
#include "texture/TextureWriter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class CompressorTest : public ::testing::Test
{
protected:
    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    QString Work() const { return Path(QStringLiteral("work")); }

    // A stand-in compressor: a shell script with the given body.
    QString FakeCompressor(const QByteArray& body)
    {
        const QString path = Path(QStringLiteral("fake-nvcompress"));
        WriteScript(path, body);
        return path;
    }

    // The save as the Screens tab makes it: the writer's own messages (the
    // compressor's) are shown, the caller's message is the headline.
    bool SaveLogin(TextureWriter& writer, const PixelBuffer& picture)
    {
        QDir().mkpath(Path(QStringLiteral("game")));
        const Result<QString> written =
            WriteLoadingScreen(writer, Path(QStringLiteral("game")), LoadingScreen::Login, picture);
        if (!written) {
            for (const Message& note : written.error().Notes())
                m_host.ShowMessage(note);
            EXPECT_EQ(written.error().Headline().text, kWriteErrorMessage);
        }
        return written.has_value();
    }

    QString LoginFile() const
    {
        return Path(QStringLiteral("game/data/texture_library/GUI/CREATION/HybridUI/LoginScreen/"
                                   "COH_LogInScreen_Background.texture"));
    }

    QList<MessageIcon> Icons() const
    {
        QList<MessageIcon> icons;
        for (const auto& m : m_host.Messages())
            icons << m.icon;
        return icons;
    }

    QTemporaryDir m_dir;
    RecordingBusyHost m_host;
};

QString RealCompressor()
{
    return QStandardPaths::findExecutable(QStringLiteral("nvcompress"));
}

TEST_F(CompressorTest, LoadingScreenBecomesBc1WithoutMipsAndStaysBright)
{
    if (RealCompressor().isEmpty())
        GTEST_SKIP() << "nvcompress is not installed";
    // Bright, opaque, gently varying: where the packaged compressor's default
    // BC1 search drops black specks.
    const PixelBufferPtr picture = PatternPicture(1024, 768);
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024 * 3; ++x)
            picture->Row(y)[x] = std::uint8_t(200 + (picture->Row(y)[x] % 56));
    TextureWriter writer(m_host, {true, Work(), RealCompressor()});
    ASSERT_TRUE(SaveLogin(writer, *picture));
    EXPECT_TRUE(m_host.Messages().isEmpty());
    EXPECT_EQ(m_host.Statuses(),
              (QStringList{QStringLiteral("Writing COH_LogInScreen_Background..."),
                           QStringLiteral("Compressing Texture COH_LogInScreen_Background..."),
                           QStringLiteral("Compressing Texture COH_LogInScreen_Background.texture...")}));

    const QByteArray bytes = ReadAll(LoginFile());
    ASSERT_GT(bytes.size(), 113 + 128);
    EXPECT_EQ(U32At(bytes, 4), quint32(bytes.size() - 113));
    const QByteArray dds = bytes.mid(113);
    EXPECT_TRUE(dds.startsWith("DDS "));
    EXPECT_EQ(dds.mid(84, 4), QByteArray("DXT1"));
    EXPECT_LE(U32At(dds, 28), 1u); // no mip-map chain
    EXPECT_EQ(U32At(dds, 12), 1024u);
    EXPECT_EQ(U32At(dds, 16), 1024u);

    // The temporary files are gone; the compressor's log stays.
    EXPECT_EQ(QDir(Work()).entryList(QDir::Files), QStringList{QStringLiteral("nvcompress.log")});

    ASSERT_TRUE(WriteBytes(Path(QStringLiteral("payload.dds")), dds));
    const QByteArray rgba = DecodeRgba(Path(QStringLiteral("payload.dds")));
    ASSERT_EQ(rgba.size(), 1024 * 1024 * 4);
    int dark = 0;
    for (qsizetype i = 0; i < rgba.size(); i += 4)
        dark += std::uint8_t(rgba[i]) < 150 || std::uint8_t(rgba[i + 1]) < 150 ||
                std::uint8_t(rgba[i + 2]) < 150 || std::uint8_t(rgba[i + 3]) != 255;
    EXPECT_EQ(dark, 0);
}

TEST_F(CompressorTest, AlphaTextureBecomesBc3WithMips)
{
    if (RealCompressor().isEmpty())
        GTEST_SKIP() << "nvcompress is not installed";
    const PixelBufferPtr picture = PatternPicture(64, 64);
    const PixelBufferPtr mask = PatternPicture(64, 64);
    TextureWriter writer(m_host, {true, Work(), RealCompressor()});
    const QString name = QStringLiteral("icon");
    ASSERT_TRUE(writer.Write({.root = m_dir.path(),
                              .folder = QStringLiteral("out"),
                              .saveFile = name,
                              .fileName = name,
                              .picture = picture.get(),
                              .width = 64,
                              .height = 64,
                              .texWidth = 64,
                              .texHeight = 64,
                              .texPath = QStringLiteral("t/"),
                              .alpha = mask.get()}));
    const QByteArray bytes = ReadAll(Path(QStringLiteral("out/icon.texture")));
    const qsizetype headerSize = U32At(bytes, 0);
    ASSERT_EQ(headerSize, 32 + 11);
    EXPECT_EQ(bytes[28], 1);
    EXPECT_EQ(U32At(bytes, 4), quint32(bytes.size() - headerSize));
    const QByteArray dds = bytes.mid(headerSize);
    EXPECT_EQ(dds.mid(84, 4), QByteArray("DXT5"));
    EXPECT_EQ(U32At(dds, 28), 7u); // 64, 32, ..., 1
}

TEST_F(CompressorTest, RunsDirectlyInAPrivateFolderAndNeverTakesAStaleOutput)
{
    // Records its folder, arguments and input size and writes to both streams, but produces nothing.
    const QString fake =
        FakeCompressor("pwd > \"$(dirname \"$0\")/seen\"\necho \"$@\" >> \"$(dirname \"$0\")/seen\"\n"
                       "stat -c %s temp_tga.tga >> \"$(dirname \"$0\")/seen\"\n"
                       "echo to-stdout\necho to-stderr >&2\n");
    ASSERT_TRUE(QDir().mkpath(Work()));
    // What an earlier version left in the work folder is never taken, and goes.
    ASSERT_TRUE(WriteBytes(Work() + QStringLiteral("/temp_dds.dds"), "DDS " + QByteArray(200, 'z')));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(LoginFile()).path()));
    ASSERT_TRUE(WriteBytes(LoginFile(), "old"));

    TextureWriter writer(m_host, {true, Work(), fake});
    const PixelBufferPtr picture = PatternPicture(1024, 768);
    const QString name = QStringLiteral("COH_LogInScreen_Background");
    EXPECT_FALSE(WriteShown(writer, m_host,
                            {.root = QFileInfo(LoginFile()).path(),
                             .folder = QString(),
                             .saveFile = name,
                             .fileName = name,
                             .picture = picture.get(),
                             .width = 1024,
                             .height = 1024,
                             .texWidth = 1024,
                             .texHeight = 768,
                             .texPath = QStringLiteral("t/"),
                             .alpha = picture.get(),
                             .isLoginScreen = true}));
    EXPECT_EQ(Icons(), QList<MessageIcon>{MessageIcon::Critical});
    EXPECT_EQ(m_host.Messages().value(0).text, kCompressorCallError);
    EXPECT_EQ(ReadAll(LoginFile()), QByteArray("old"));
    EXPECT_FALSE(m_host.Busy());

    const QList<QByteArray> seen = ReadAll(Path(QStringLiteral("seen"))).split('\n');
    ASSERT_GE(seen.size(), 3);
    const QString folder = QString::fromUtf8(seen[0]);
    EXPECT_EQ(QFileInfo(folder).path(), QDir(Work()).canonicalPath());
    EXPECT_TRUE(QFileInfo(folder).fileName().startsWith(QStringLiteral("job-"))) << qPrintable(folder);
    EXPECT_EQ(seen[1], QByteArray("-bc1 -fast -nomips temp_tga.tga temp_dds.dds"));
    // The Targa input was there for it: top row first, 1024 x 1024.
    EXPECT_EQ(seen[2], QByteArray::number(18 + 4194304));
    // The log of the last run stays; the private folder and the leftovers are gone.
    EXPECT_EQ(ReadAll(Work() + QStringLiteral("/nvcompress.log")), QByteArray("to-stdout\nto-stderr\n"));
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_EQ(QDir(Work()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("nvcompress.log")});
}

TEST_F(CompressorTest, MissingOrBrokenCompressorIsReportedOnce)
{
    const PixelBufferPtr picture = PatternPicture(1024, 768);
    for (const QString& compressor : {QString(), Path(QStringLiteral("no-such-program")),
                                      FakeCompressor("echo not a surface > temp_dds.dds\n")}) {
        m_host.ClearMessages();
        TextureWriter writer(m_host, {true, Work(), compressor});
        EXPECT_FALSE(SaveLogin(writer, *picture)) << qPrintable(compressor);
        EXPECT_EQ(Icons(), QList<MessageIcon>{MessageIcon::Critical}) << qPrintable(compressor);
        EXPECT_FALSE(QFileInfo::exists(LoginFile()));
    }
}

TEST_F(CompressorTest, HungCompressorTimesOut)
{
    TextureWriterOptions options{true, Work(), FakeCompressor("exec sleep 30\n")};
    options.compressorTimeoutMs = 300;
    TextureWriter writer(m_host, options);
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(SaveLogin(writer, *PatternPicture(1024, 768)));
    EXPECT_LT(timer.elapsed(), 5000);
    ASSERT_EQ(Icons(), (QList<MessageIcon>{MessageIcon::Exclamation, MessageIcon::Critical}));
    EXPECT_EQ(m_host.Messages().first().text, kCompressorTimeoutError);
}

// The header of a BC1 surface without mip-maps, as a compressor would write it.
QByteArray Bc1Header(quint32 width, quint32 height)
{
    QByteArray header(128, '\0');
    const auto put = [&](int at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            header[at + i] = char((v >> (8 * i)) & 0xff);
    };
    header.replace(0, 4, "DDS ");
    put(4, 124);
    put(8, 0x81007);
    put(12, height);
    put(16, width);
    put(76, 32);
    put(80, 4);
    header.replace(84, 4, "DXT1");
    put(108, 0x1000);
    return header;
}

// The compressor's word is not taken: only a normal exit with status 0 and a
// complete surface of the size, format and mip chain asked for become the
// game file. Anything else is the compressor message, and the old file stays.
TEST_F(CompressorTest, UntrustworthyOutputIsRefused)
{
    const QString game = Path(QStringLiteral("surfaces"));
    ASSERT_TRUE(WriteBytes(Path(QStringLiteral("good-header")), Bc1Header(1024, 1024)));
    ASSERT_TRUE(WriteBytes(Path(QStringLiteral("small-header")), Bc1Header(512, 512)));
    const QByteArray header = "cat \"" + Path(QStringLiteral("good-header")).toUtf8() + "\" > temp_dds.dds\n";
    const struct
    {
        const char* what;
        QByteArray script;
    } liars[] = {
        {"exit 1 after a partial surface", header + "head -c 5000 /dev/zero >> temp_dds.dds\nexit 1\n"},
        {"crash after a partial surface", header + "head -c 5000 /dev/zero >> temp_dds.dds\nkill -SEGV $$\n"},
        {"a complete surface but exit 1", header + "head -c 524288 /dev/zero >> temp_dds.dds\nexit 1\n"},
        {"300 MB of output", header + "truncate -s 300M temp_dds.dds\n"},
        {"a cut surface", header + "head -c 100000 /dev/zero >> temp_dds.dds\n"},
        {"the wrong size", "cat \"" + Path(QStringLiteral("small-header")).toUtf8() +
                               "\" > temp_dds.dds\nhead -c 131072 /dev/zero >> temp_dds.dds\n"},
        {"no header at all", "head -c 524416 /dev/zero > temp_dds.dds\n"},
    };
    const PixelBufferPtr picture = PatternPicture(1024, 768);
    QDir().mkpath(QFileInfo(LoginFile()).path());
    ASSERT_TRUE(WriteBytes(LoginFile(), "old"));
    for (const auto& liar : liars) {
        SCOPED_TRACE(liar.what);
        m_host.ClearMessages();
        TextureWriter writer(m_host, {true, Work(), FakeCompressor(liar.script)});
        EXPECT_FALSE(SaveLogin(writer, *picture));
        EXPECT_EQ(Icons(), QList<MessageIcon>{MessageIcon::Critical});
        EXPECT_EQ(m_host.Messages().value(0).text, kCompressorCallError);
        EXPECT_FALSE(m_host.Messages().value(0).detail.isEmpty());
        EXPECT_EQ(ReadAll(LoginFile()), QByteArray("old"));
    }
    // The same script with the whole surface and a clean exit is taken as it is.
    m_host.ClearMessages();
    TextureWriter honest(
        m_host, {true, Work(), FakeCompressor(header + "head -c 524288 /dev/zero >> temp_dds.dds\n")});
    ASSERT_TRUE(SaveLogin(honest, *picture));
    const QByteArray written = ReadAll(LoginFile());
    EXPECT_EQ(written.size(), 113 + 128 + 524288);
    EXPECT_EQ(written.mid(113, 128), Bc1Header(1024, 1024));
    EXPECT_EQ(QDir(Work()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
}

// A work folder too small for the compressor's files: the write fails with the
// system's reason, nothing half-written becomes the game file.
TEST_F(CompressorTest, FullWorkFolderFailsWithTheReason)
{
    ASSERT_TRUE(QDir().mkpath(Work()));
    if (RunTool(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                          QStringLiteral("size=4200k"), QStringLiteral("tmpfs"), Work()})
            .exitCode != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    QDir().mkpath(QFileInfo(LoginFile()).path());
    WriteBytes(LoginFile(), "old");
    const PixelBufferPtr picture = PatternPicture(1024, 768);
    // The Targa (4 MB) fits, the surface does not; the compressor does not notice.
    TextureWriter cut(m_host, {true, Work(),
                               FakeCompressor("cat \"" + Path(QStringLiteral("header")).toUtf8() +
                                              "\" > temp_dds.dds\nhead -c 524288 /dev/zero >> temp_dds.dds\n"
                                              "exit 0\n")});
    WriteBytes(Path(QStringLiteral("header")), Bc1Header(1024, 1024));
    const bool cutWritten = SaveLogin(cut, *picture);
    const QList<MessageIcon> cutIcons = Icons();

    // A texture whose Targa (16 MB) does not fit at all.
    m_host.ClearMessages();
    TextureWriter noRoom(m_host, {true, Work(), FakeCompressor("exit 0\n")});
    TextureRequest request;
    request.root = Path(QStringLiteral("game"));
    request.folder = QStringLiteral("data");
    request.saveFile = request.fileName = QStringLiteral("huge");
    const PixelBufferPtr large = PatternPicture(1100, 1100);
    request.picture = large.get();
    request.width = request.height = 2048;
    request.texWidth = request.texHeight = 2048;
    request.texPath = QStringLiteral("t/");
    const Result<QString> tooBig = noRoom.Write(request);
    const QStringList left = QDir(Work()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    RunTool(QStringLiteral("umount"), {Work()});

    EXPECT_FALSE(cutWritten);
    EXPECT_EQ(cutIcons, QList<MessageIcon>{MessageIcon::Critical});
    EXPECT_EQ(ReadAll(LoginFile()), QByteArray("old"));
    ASSERT_FALSE(tooBig);
    EXPECT_EQ(tooBig.error().Headline().text, kWriteErrorMessage);
    EXPECT_EQ(tooBig.error().Headline().detail, QStringLiteral("No space left on device"));
    // The private folders are gone, also after the failures.
    EXPECT_TRUE(left.isEmpty() || left == QStringList{QStringLiteral("nvcompress.log")})
        << qPrintable(left.join(u' '));
}

} // namespace
