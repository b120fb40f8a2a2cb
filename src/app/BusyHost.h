#pragma once

#include "app/Failure.h"

#include <QList>
#include <QString>
#include <QtGlobal>

class BusyScope;

// The busy/progress protocol and the one channel through which logic talks to
// the user. A long operation holds a BusyScope for as long as it runs; scopes
// nest: an inner scope (a load or a write inside a folder pass or a batch)
// changes the status text and the progress range while it lives, then hands
// them back, and never ends the outer busy state. A cancel request lives from
// the start of the outermost scope on, so the outer cancel reaches the inner
// work. The main window, the command-line tool, the randomizer run and the
// tests each have a host of their own; they share this state and only show it
// differently. Logic never shows a message box itself.
class BusyHost
{
public:
    virtual ~BusyHost() = default;

    bool Busy() const { return !m_scopes.isEmpty(); }
    // The user asked the running operation to stop (a Cancel click, Ctrl-C).
    // Stays set after the operation ends, until the next outermost scope starts.
    bool CancelRequested() const { return m_cancelRequested; }
    void RequestCancel();

    // Moves the progress of the innermost scope and lets pending events run.
    // An empty text keeps the shown text.
    void ReportProgress(qint32 value, const QString& statusText = QString());
    // Lets pending events run without touching the progress (while waiting for a process).
    virtual void PumpEvents();

    // A modal OK message.
    virtual void ShowMessage(const Message& message) = 0;
    void ShowMessage(const QString& text, MessageIcon icon) { ShowMessage(Message{text, icon, QString()}); }
    // Every message of a failure in order; a cancel shows nothing.
    void ShowFailure(const Failure& failure);
    // A Yes/No question; true for Yes.
    virtual bool Confirm(const QString& text) = 0;

    // What is shown now (also after the busy state ended: the last values).
    qint32 Maximum() const { return m_maximum; }
    qint32 Value() const { return m_value; }
    const QString& StatusText() const { return m_status; }
    // Whether Cancel is offered: the innermost scope or one around it is cancellable.
    bool Cancellable() const { return m_cancellable; }

protected:
    // The outermost scope started (true) or ended (false).
    virtual void OnBusyChanged(bool /*busy*/) {}
    // The status text, the range, the value or the cancellable state changed.
    virtual void OnProgressChanged() {}
    // A scope started or started over (after OnProgressChanged).
    virtual void OnScopeStarted() {}
    virtual void OnCancelRequested() {}

private:
    friend class BusyScope;
    struct Shown
    {
        bool cancellable;
        qint32 maximum;
        qint32 value;
        QString status;
    };
    // Entering a scope (busy true) or leaving the innermost one (busy false).
    void SetBusy(bool busy, bool cancellable, qint32 maximum, const QString& statusText);
    // A scope starting over with a new range and text (value 0).
    void Restart(bool cancellable, qint32 maximum, const QString& statusText);

    QList<Shown> m_scopes; // what each open scope found when it started
    bool m_cancelRequested = false;
    bool m_cancellable = false;
    qint32 m_maximum = 100;
    qint32 m_value = 0;
    QString m_status;
};

// The host of work on a worker thread: nothing is shown, no events run, every
// question is answered No.
class SilentBusyHost : public BusyHost
{
public:
    void PumpEvents() override {}
    void ShowMessage(const Message&) override {}
    bool Confirm(const QString&) override { return false; }
};

// The one way into the busy state: busy from construction to destruction, on
// every way out. Entering with a maximum of 0 or less keeps the range shown;
// an empty text shows a blank.
class BusyScope
{
public:
    BusyScope(BusyHost& host, bool cancellable, qint32 maximum, const QString& statusText);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

    // Starts this scope's progress over with a new range and text.
    void Restart(bool cancellable, qint32 maximum, const QString& statusText);
    void Step(qint32 value, const QString& statusText = QString())
    {
        m_host.ReportProgress(value, statusText);
    }
    bool Cancelled() const { return m_host.CancelRequested(); }
    BusyHost& Host() const { return m_host; }

private:
    BusyHost& m_host;
};
