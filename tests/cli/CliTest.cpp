#include "TestTools.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class CliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("game"))));
        QImage grey(400, 300, QImage::Format_RGB888);
        grey.fill(QColor(128, 128, 128));
        ASSERT_TRUE(grey.save(Path(QStringLiteral("grey.png"))));
    }

    QString Path(const QString& relative) const { return m_dir.filePath(relative); }

    ProcessResult Cli(const QStringList& arguments) const
    {
        // The work folder must land in the test's own folder, never the real home.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), Path(QStringLiteral("cache")));
        return RunTool(QStringLiteral(LUMIVALE_BIN_DIR "/lumivale-cli"), arguments, 120000, environment);
    }

    QStringList Screen(const QString& screen, const QStringList& extra = {}) const
    {
        return QStringList{QStringLiteral("screen"), screen, Path(QStringLiteral("grey.png")),
                           QStringLiteral("--game"), Path(QStringLiteral("game"))} +
               extra;
    }

    // Blue, green, red of a pixel of the written character screen (y from the top).
    QByteArray CharacterPixel(int x, int y) const
    {
        const QByteArray bytes = ReadAll(Path(QStringLiteral(
            "game/data/texture_library/GUI/CREATION/HybridUI/CharacterCreationUI/background.texture")));
        return bytes.mid(105 + 128 + (qsizetype(y) * 1024 + x) * 4, 3);
    }

    QTemporaryDir m_dir;
};

TEST_F(CliTest, RefusesBadCommandLinesWithUsage)
{
    const QString picture = Path(QStringLiteral("grey.png"));
    const QString game = Path(QStringLiteral("game"));
    const QList<QStringList> bad = {
        {},
        {QStringLiteral("frobnicate")},
        {QStringLiteral("-randomizer")},
        {QStringLiteral("screen"), QStringLiteral("login")},
        {QStringLiteral("screen"), QStringLiteral("lobby"), picture, QStringLiteral("--game"), game},
        {QStringLiteral("screen"), QStringLiteral("login"), picture},
        Screen(QStringLiteral("login"), {QStringLiteral("--black"), QStringLiteral("300")}),
        Screen(QStringLiteral("login"), {QStringLiteral("--white"), QStringLiteral("x")}),
        Screen(QStringLiteral("login"), {QStringLiteral("--black"), QStringLiteral("200"),
                                         QStringLiteral("--white"), QStringLiteral("100")}),
    };
    for (const QStringList& arguments : bad) {
        const ProcessResult r = Cli(arguments);
        EXPECT_EQ(r.exitCode, 2) << qPrintable(arguments.join(u' '));
        EXPECT_TRUE(r.err.contains("screen login|character")) << qPrintable(arguments.join(u' '));
    }
    EXPECT_TRUE(QDir(game).isEmpty());

    const ProcessResult help = Cli({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("screen login|character PICTURE --game DIR"));
}

TEST_F(CliTest, FailuresExitNonZeroWithTheMessage)
{
    ProcessResult r =
        Cli({QStringLiteral("screen"), QStringLiteral("login"), Path(QStringLiteral("missing.jpg")),
             QStringLiteral("--game"), Path(QStringLiteral("game"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Image could not be loaded.")) << r.err.constData();

    r = Cli({QStringLiteral("screen"), QStringLiteral("login"), Path(QStringLiteral("grey.png")),
             QStringLiteral("--game"), Path(QStringLiteral("nowhere"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("nowhere"))));

    // The login folder is blocked by a file of that name.
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("game/data/texture_library/GUI/CREATION/HybridUI"))));
    ASSERT_TRUE(
        WriteBytes(Path(QStringLiteral("game/data/texture_library/GUI/CREATION/HybridUI/LoginScreen")), "x"));
    r = Cli(Screen(QStringLiteral("login")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Error writing image. Please check file permissions."));
}

TEST_F(CliTest, WritesTheScreenWithLevelsAndFrame)
{
    ProcessResult r = Cli(Screen(QStringLiteral("character")));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.err.contains("Writing background...")) << r.err.constData();
    EXPECT_EQ(CharacterPixel(0, 0), QByteArray(3, char(128)));
    EXPECT_EQ(CharacterPixel(1023, 1023), QByteArray(3, char(128)));

    // 128 stretched between 50 and 200: (128 - 50) * 255 / 150 = 132.6.
    r = Cli(Screen(QStringLiteral("character"), {QStringLiteral("--black"), QStringLiteral("50"),
                                                 QStringLiteral("--white"), QStringLiteral("200")}));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(CharacterPixel(10, 10), QByteArray(3, char(133)));

    // The picture shows where the frame is magenta; elsewhere the frame's green.
    QImage frame(1024, 768, QImage::Format_RGB888);
    frame.fill(QColor(0, 255, 0));
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 512; ++x)
            frame.setPixelColor(x, y, QColor(255, 0, 255));
    ASSERT_TRUE(frame.save(Path(QStringLiteral("frame.png"))));
    r = Cli(
        Screen(QStringLiteral("character"), {QStringLiteral("--frame"), Path(QStringLiteral("frame.png"))}));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(CharacterPixel(100, 100), QByteArray(3, char(128)));
    EXPECT_EQ(CharacterPixel(900, 100), QByteArray::fromHex("00ff00"));
}

} // namespace
