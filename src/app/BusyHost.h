#pragma once

#include <QString>
#include <QtGlobal>

// Icons of the program's message boxes (all titled "Lumivale").
enum class MessageIcon
{
    Exclamation,
    Critical,
    Question,
    Information
};

// The busy/progress protocol and the one channel through which logic talks to
// the user. The main window implements it with its controls; a headless
// implementation serves the randomizer run, the command-line tool and tests.
// Logic never shows a message box itself.
class BusyHost
{
public:
    virtual ~BusyHost() = default;

    // Enters (busy true) or leaves (busy false) the busy state. A maximum of 0
    // or less keeps the previous maximum; an empty text shows a blank.
    virtual void SetBusy(bool busy, bool cancellable, qint32 maximum, const QString& statusText) = 0;
    // Moves the progress and lets pending events run. An empty text keeps the shown text.
    virtual void ReportProgress(qint32 value, const QString& statusText = QString()) = 0;
    // Set by a Cancel click since the last SetBusy(true, ...).
    virtual bool CancelRequested() const = 0;
    virtual bool Busy() const = 0;
    // Lets pending events run without touching the progress (used while waiting for a process).
    virtual void PumpEvents() = 0;

    // A modal OK message.
    virtual void ShowMessage(const QString& text, MessageIcon icon) = 0;
    // A Yes/No question; true for Yes.
    virtual bool Confirm(const QString& text) = 0;
};

// Leaves the busy state on every way out of a scope.
class BusyScope
{
public:
    BusyScope(BusyHost& host, bool cancellable, qint32 maximum, const QString& statusText) : m_host(host)
    {
        m_host.SetBusy(true, cancellable, maximum, statusText);
    }
    ~BusyScope() { m_host.SetBusy(false, false, 0, QString()); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    BusyHost& m_host;
};
