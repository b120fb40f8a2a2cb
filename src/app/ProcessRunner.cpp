#include "app/ProcessRunner.h"

#include "app/BusyHost.h"

#include <QElapsedTimer>
#include <QProcess>
#include <csignal>
#include <unistd.h>

namespace {

// How long one wait blocks before events run again.
constexpr int kWaitSliceMs = 25;

void KillGroup(QProcess& process)
{
    const qint64 pid = process.processId();
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    process.kill();
    process.waitForFinished(5000);
}

} // namespace

ProcessOutcome RunAndWait(BusyHost& host, const ProcessRequest& request)
{
    ProcessOutcome outcome;
    if (request.program.isEmpty()) {
        outcome.reason = QStringLiteral("No program was given.");
        return outcome;
    }
    QProcess process;
    process.setProgram(request.program);
    process.setArguments(request.arguments);
    process.setWorkingDirectory(request.workingFolder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (request.logPath.isEmpty())
        process.setStandardOutputFile(QProcess::nullDevice());
    else
        process.setStandardOutputFile(request.logPath, QIODevice::Truncate);
    process.setStandardInputFile(QProcess::nullDevice());
    // A group of its own, so that a kill reaches everything the program started.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start();
    if (!process.waitForStarted()) {
        outcome.reason = process.errorString();
        return outcome;
    }

    QElapsedTimer timer;
    timer.start();
    while (!process.waitForFinished(kWaitSliceMs)) {
        if (process.state() == QProcess::NotRunning)
            break;
        host.PumpEvents();
        if (host.CancelRequested()) {
            KillGroup(process);
            outcome.kind = ProcessOutcome::Cancelled;
            outcome.reason = QStringLiteral("Stopped on request.");
            return outcome;
        }
        if (timer.elapsed() > request.timeoutMs) {
            KillGroup(process);
            outcome.kind = ProcessOutcome::TimedOut;
            outcome.reason =
                QStringLiteral("No result after %1 s.").arg(request.timeoutMs / 1000.0, 0, 'f', 1);
            return outcome;
        }
    }
    outcome.kind = ProcessOutcome::Finished;
    outcome.exitedNormally = process.exitStatus() == QProcess::NormalExit;
    outcome.exitCode = process.exitCode();
    if (!outcome.exitedNormally)
        outcome.reason = QStringLiteral("The program crashed.");
    else if (outcome.exitCode != 0)
        outcome.reason = QStringLiteral("The program ended with exit code %1.").arg(outcome.exitCode);
    return outcome;
}

std::optional<QByteArray> QueryToolOutput(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}
