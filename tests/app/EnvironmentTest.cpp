#include "app/Environment.h"

#include "app/GameFileWriter.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

namespace {

TEST(EnvironmentTest, FoldersFollowTheEnvironmentAndTheBuildTree)
{
    QTemporaryDir dir;
    const QByteArray savedCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", dir.path().toUtf8());
    EXPECT_EQ(WorkFolder(), dir.path() + QStringLiteral("/Lumivale"));
    // Made on demand, by the first write that needs it.
    {
        PrivateWorkFolder job(WorkFolder());
        EXPECT_TRUE(job.IsValid());
    }
    EXPECT_TRUE(QFileInfo(dir.path() + QStringLiteral("/Lumivale")).isDir());
    qputenv("XDG_CACHE_HOME", savedCache);

    // The tests run from the build's bin folder, which is the data folder.
    EXPECT_EQ(QFileInfo(DataFolder()).canonicalFilePath(),
              QFileInfo(QStringLiteral(LUMIVALE_BIN_DIR)).canonicalFilePath());
    // So is the plug-in folder, once the sound plug-in module is built there.
    if (QFileInfo::exists(QStringLiteral(LUMIVALE_BIN_DIR "/lumivale-sound-decoder.so"))) {
        EXPECT_EQ(QFileInfo(PluginFolder()).canonicalFilePath(),
                  QFileInfo(QStringLiteral(LUMIVALE_BIN_DIR)).canonicalFilePath());
    }

    // The compressor comes from PATH when the data folder has none.
    const QString compressor = FindCompressor(DataFolder());
    if (!QFileInfo::exists(QStringLiteral(LUMIVALE_BIN_DIR "/nvcompress"))) {
        EXPECT_EQ(compressor, QStandardPaths::findExecutable(QStringLiteral("nvcompress")));
    }
}

TEST(EnvironmentTest, SystemClockAndRandomSource)
{
    const Environment environment = SystemEnvironment();
    EXPECT_LE(qAbs(environment.now().secsTo(QDateTime::currentDateTime())), 5);
    std::set<double> drawn;
    for (int i = 0; i < 1000; ++i) {
        const double r = environment.random();
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
        drawn.insert(r);
    }
    EXPECT_GT(drawn.size(), 990u);
    // Two starts draw differently.
    EXPECT_NE(SystemEnvironment().random(), SystemEnvironment().random());
}

} // namespace
