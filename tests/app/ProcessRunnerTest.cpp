#include "app/ProcessRunner.h"

#include "RecordingBusyHost.h"
#include "TestTools.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace {

class ProcessRunnerTest : public ::testing::Test
{
protected:
    QString Script(const char* name, const QByteArray& body)
    {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(WriteScript(path, body));
        return path;
    }
    // Whether a process whose id the script wrote into the file still runs
    // (a killed one that nobody reaped yet is a zombie and does not count).
    bool StillRuns(const QString& pidFile)
    {
        const qint64 pid = ReadAll(pidFile).trimmed().toLongLong();
        if (pid <= 0 || ::kill(pid_t(pid), 0) != 0)
            return false;
        const QByteArray stat = ReadAll(QStringLiteral("/proc/%1/stat").arg(pid));
        const qsizetype close = stat.lastIndexOf(')');
        return close < 0 || stat.mid(close + 2, 1) != "Z";
    }

    QTemporaryDir m_dir;
    RecordingBusyHost m_host;
};

TEST_F(ProcessRunnerTest, ExitCodeAndCrashAreTold)
{
    ProcessRequest request;
    request.program = Script("ok", "echo hello\n");
    request.workingFolder = m_dir.path();
    request.logPath = m_dir.filePath(QStringLiteral("log"));
    ProcessOutcome outcome = RunAndWait(m_host, request);
    EXPECT_TRUE(outcome.Succeeded());
    EXPECT_EQ(ReadAll(request.logPath), QByteArray("hello\n"));

    request.program = Script("fails", "exit 3\n");
    outcome = RunAndWait(m_host, request);
    EXPECT_EQ(outcome.kind, ProcessOutcome::Finished);
    EXPECT_EQ(outcome.exitCode, 3);
    EXPECT_FALSE(outcome.Succeeded());

    request.program = Script("crashes", "kill -SEGV $$\n");
    outcome = RunAndWait(m_host, request);
    EXPECT_FALSE(outcome.exitedNormally);
    EXPECT_FALSE(outcome.Succeeded());

    request.program = m_dir.filePath(QStringLiteral("missing"));
    EXPECT_EQ(RunAndWait(m_host, request).kind, ProcessOutcome::StartFailed);
}

// A time-out or a cancel kills the program and everything it started.
TEST_F(ProcessRunnerTest, TimeOutAndCancelKillTheWholeGroup)
{
    ProcessRequest request;
    request.program = Script("hangs", "sleep 60 &\necho $! > child\nwait\n");
    request.workingFolder = m_dir.path();
    request.timeoutMs = 300;
    QElapsedTimer timer;
    timer.start();
    ProcessOutcome outcome = RunAndWait(m_host, request);
    EXPECT_EQ(outcome.kind, ProcessOutcome::TimedOut);
    EXPECT_LT(timer.elapsed(), 5000);
    QThread::msleep(100);
    EXPECT_FALSE(StillRuns(m_dir.filePath(QStringLiteral("child"))));

    // Cancel while waiting: the wait lets events run, so a Cancel click arrives.
    request.timeoutMs = 60'000;
    int pumps = 0;
    m_host.onProgress = [&](qint32) {
        if (++pumps == 5)
            m_host.RequestCancel();
    };
    BusyScope busy(m_host, true, 100, QStringLiteral("Compressing Texture x..."));
    timer.restart();
    outcome = RunAndWait(m_host, request);
    EXPECT_EQ(outcome.kind, ProcessOutcome::Cancelled);
    EXPECT_LT(timer.elapsed(), 5000);
    QThread::msleep(100);
    EXPECT_FALSE(StillRuns(m_dir.filePath(QStringLiteral("child"))));
}

} // namespace
