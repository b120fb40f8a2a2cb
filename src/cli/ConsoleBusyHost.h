#pragma once

#include "app/BusyHost.h"

#include <QSet>
#include <cstdio>

// The command-line tool's busy host. On a terminal it keeps one status line,
// rewritten in place with the percentage; into a file or a pipe it writes a
// plain line for each new status text. Messages go to the same stream, with
// their reasons. Ctrl-C asks the running operation to stop (a second one ends
// the program at once); questions are answered with the preset answer.
class ConsoleBusyHost : public BusyHost
{
public:
    explicit ConsoleBusyHost(std::FILE* stream);
    ~ConsoleBusyHost() override;

    void ShowMessage(const Message& message) override;
    using BusyHost::ShowMessage;
    bool Confirm(const QString& text) override;
    void PumpEvents() override;
    void SetConfirmAnswer(bool answer) { m_confirmAnswer = answer; }

protected:
    void OnBusyChanged(bool busy) override;
    void OnProgressChanged() override;

private:
    void EndStatusLine();

    std::FILE* m_stream;
    bool m_terminal;
    bool m_confirmAnswer = false;
    bool m_lineOpen = false;
    QString m_shownText;
    QSet<QString> m_printed; // plain lines written in the current busy state
    int m_shownPercent = -1;
};
