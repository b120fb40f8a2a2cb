#include "app/Environment.h"

#include "app/GameFileWriter.h"

#include <QDir>
#include <QFile>
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

    // The compressor comes from PATH when the data folder has none.
    const QString compressor = FindCompressor(DataFolder());
    if (!QFileInfo::exists(QStringLiteral(LUMIVALE_BIN_DIR "/nvcompress"))) {
        EXPECT_EQ(compressor, QStandardPaths::findExecutable(QStringLiteral("nvcompress")));
    }
}

TEST(EnvironmentTest, DataAndPluginFoldersFollowTheExecutable)
{
    // The executable lies in <root>/usr/bin: a build tree has its files beside
    // it, an installed or unpacked tree under <root>/usr.
    struct Case
    {
        const char* name;
        QStringList files;
        QString dataFolder;
        QString pluginFolder;
    };
    const QString data = QStringLiteral("usr/" LUMIVALE_INSTALL_DATADIR);
    const QString plugins = QStringLiteral("usr/" LUMIVALE_INSTALL_PLUGINDIR);
    const Case cases[] = {
        {"build tree", {"usr/bin/lumivale.csv", "usr/bin/lumivale-sound-decoder.so"}, "usr/bin", "usr/bin"},
        {"installed", {data + "/lumivale.csv", plugins + "/lumivale-sound-decoder.so"}, data, plugins},
        {"installed, files missing", {}, data, plugins},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir root;
        for (const QString& file : c.files) {
            ASSERT_TRUE(QDir().mkpath(QFileInfo(root.filePath(file)).path()));
            QFile(root.filePath(file)).open(QIODevice::WriteOnly);
        }
        const QString bin = root.filePath(QStringLiteral("usr/bin"));
        EXPECT_EQ(DataFolderBeside(bin), root.filePath(c.dataFolder));
        EXPECT_EQ(PluginFolderBeside(bin), root.filePath(c.pluginFolder));
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
