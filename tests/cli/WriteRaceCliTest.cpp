// Runs of the tool at once on one game folder (the game shortcut clicked
// twice, two texture sets): the game folder's lock keeps each job whole, so no
// file of the program's is ever taken for a foreign one and kept.
#include "TestTools.h"
#include "app/GameFileWriter.h"

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

class WriteRaceCliTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(Path("game/data"))); }
    QString Path(const QString& relative) const { return m_dir.filePath(relative); }

    // Starts count runs of the tool with arguments at once and waits for all.
    void RunAtOnce(const std::vector<QStringList>& runs) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), Path("cache"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), Path("config"));
        std::vector<std::unique_ptr<QProcess>> processes;
        for (const QStringList& arguments : runs) {
            processes.push_back(std::make_unique<QProcess>());
            processes.back()->setProcessEnvironment(environment);
            processes.back()->start(QStringLiteral(LUMIVALE_BIN_DIR "/lumivale-cli"), arguments);
        }
        for (const auto& process : processes) {
            ASSERT_TRUE(process->waitForFinished(60000));
            EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().constData();
        }
    }

    // Files kept under Lumivale/Backup (the records aside).
    QStringList Kept() const
    {
        QStringList kept;
        QDirIterator it(Path("game/Lumivale/Backup"), QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            if (!file.endsWith(QLatin1String(".sha256")))
                kept << file;
        }
        return kept;
    }

    QTemporaryDir m_dir;
};

TEST_F(WriteRaceCliTest, RandomizerRunsAtOnceKeepNoBackup)
{
    ASSERT_TRUE(QDir().mkpath(Path("pictures")));
    for (const QColor colour : {Qt::red, Qt::green, Qt::blue, Qt::yellow}) {
        QImage picture(64, 48, QImage::Format_RGB888);
        picture.fill(colour);
        ASSERT_TRUE(picture.save(Path("pictures/" + colour.name().mid(1) + ".png")));
    }
    RunAtOnce({{"pool", "add", "login", Path("pictures"), "--game", Path("game")}});
    const std::vector<QStringList> four(4, QStringList{"randomize", "--game", Path("game"), "--no-launch"});
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        RunAtOnce(four);
        ASSERT_TRUE(Kept().isEmpty()) << qPrintable(Kept().join(u' '));
        EXPECT_EQ(
            OwnerOfGameFile(Path("game"), QStringLiteral("data/texture_library/GUI/CREATION/HybridUI/"
                                                         "LoginScreen/COH_LogInScreen_Background.texture")),
            GameFileOwner::Program);
    }
}

TEST_F(WriteRaceCliTest, TwoTextureSetsAtOnceKeepTheForeignFile)
{
    for (const QColor colour : {Qt::red, Qt::blue}) {
        QImage picture(64, 48, QImage::Format_RGB888);
        picture.fill(colour);
        ASSERT_TRUE(picture.save(Path(colour.name().mid(1) + ".png")));
    }
    const QString texture = Path("game/data/texture_library/GUI/CREATION/Login/coh.texture");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(texture).path()));
    const QByteArray foreign = "another mod's login screen";
    ASSERT_TRUE(WriteBytes(texture, foreign));
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        RunAtOnce({{"texture", "set", "coh", Path("ff0000.png"), "--game", Path("game")},
                   {"texture", "set", "coh", Path("0000ff.png"), "--game", Path("game")}});
        EXPECT_EQ(Kept().size(), 1) << qPrintable(Kept().join(u' '));
        RunAtOnce({{"texture", "restore", "coh", "--game", Path("game")}});
        ASSERT_EQ(ReadAll(texture), foreign);
    }
}

} // namespace
