#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

class BusyHost;

// One run of an outside program, without a shell.
struct ProcessRequest
{
    QString program;
    QStringList arguments;
    QString workingFolder;
    QString logPath; // standard output and error go here (truncated first); empty: discarded
    qint64 timeoutMs = 60'000;
};

struct ProcessOutcome
{
    enum Kind
    {
        Finished,    // ended by itself; see exitedNormally and exitCode
        StartFailed, // could not be started
        TimedOut,    // killed after timeoutMs
        Cancelled,   // killed because the user asked to stop
    };
    Kind kind = StartFailed;
    bool exitedNormally = false; // ended by exit(), not by a signal
    int exitCode = -1;
    QString reason; // why it could not be started, or how it ended

    bool Succeeded() const { return kind == Finished && exitedNormally && exitCode == 0; }
};

// Starts the program in a process group of its own and waits for it while the
// host lets events run (the window stays live and its Cancel is honoured). On
// a time-out or a cancel the whole group is killed, so nothing the program
// started keeps running.
ProcessOutcome RunAndWait(BusyHost& host, const ProcessRequest& request);

// The standard output of a short desktop query (xdg-mime, xdg-user-dir): none
// when the tool cannot start, fails, or has not ended after 3 s (it is killed).
std::optional<QByteArray> QueryToolOutput(const QString& program, const QStringList& arguments);
