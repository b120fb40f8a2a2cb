#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace {

// Both programs answer --help and --version without a display: no Qt
// platform, no X11 or Wayland server named in the environment.
TEST(CommandLineHelp, HelpAndVersionPrintWithoutADisplay)
{
    const QString version = QStringLiteral("%1.%2 build %3\n")
                                .arg(LUMIVALE_VERSION_MAJOR)
                                .arg(LUMIVALE_VERSION_MINOR)
                                .arg(LUMIVALE_VERSION_REVISION);
    struct Case
    {
        const char* program;
        const char* argument;
        QString start;
    };
    const Case cases[] = {
        {"lumivale", "--help", "Usage: lumivale [-randomizer"},
        {"lumivale", "-h", "Usage: lumivale [-randomizer"},
        {"lumivale", "--version", "lumivale " + version},
        {"lumivale", "-v", "lumivale " + version},
        {"lumivale-cli", "--help", "Usage: lumivale-cli SUBCOMMAND"},
        {"lumivale-cli", "--version", "lumivale-cli " + version},
    };
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(name));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.argument);
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(LUMIVALE_BIN_DIR "/") + QLatin1String(c.program),
                      {QString::fromLatin1(c.argument)});
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_TRUE(QString::fromUtf8(process.readAllStandardOutput()).startsWith(c.start));
        EXPECT_EQ(process.readAllStandardError(), QByteArray());
    }
}

} // namespace
