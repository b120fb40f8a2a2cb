#pragma once

#include "app/BusyHost.h"

#include <functional>

class QPushButton;
class QTabWidget;
class QWidget;
class ThemedProgressBar;

// The main window's side of the busy protocol: while busy the progress bar
// shows the innermost scope's text and progress, the tabs are locked and the
// Close button reads Cancel (enabled while the operation can be cancelled);
// pending events run at every report. Messages are modal boxes titled
// "Lumivale" unless a sink is set (tests).
class WidgetBusyHost : public BusyHost
{
public:
    using Clock = std::function<qint64()>; // milliseconds, monotonic
    using MessageSink = std::function<void(const Message& message)>;
    using ConfirmSink = std::function<bool(const QString& text)>;

    WidgetBusyHost(QWidget* window, ThemedProgressBar* bar, QTabWidget* tabs, QPushButton* quit, Clock clock);

    void ShowMessage(const Message& message) override;
    using BusyHost::ShowMessage;
    bool Confirm(const QString& text) override;

    // When the busy state was last left or Cancel was last clicked (seconds since midnight).
    qint64 LastIdleTime() const { return m_lastIdleTime; }
    void SetMessageSink(MessageSink sink) { m_messageSink = std::move(sink); }
    void SetConfirmSink(ConfirmSink sink) { m_confirmSink = std::move(sink); }

protected:
    void OnBusyChanged(bool busy) override;
    void OnProgressChanged() override;
    void OnCancelRequested() override;

private:
    QWidget* m_window;
    ThemedProgressBar* m_bar;
    QTabWidget* m_tabs;
    QPushButton* m_quit;
    Clock m_clock;
    MessageSink m_messageSink;
    ConfirmSink m_confirmSink;
    qint64 m_lastIdleTime = 0;
};

// The busy host of the unattended randomizer run: it touches no control (there
// is no window), lets events run, and shows the few messages of that run as
// message boxes.
class MessageBoxHost : public BusyHost
{
public:
    void ShowMessage(const Message& message) override;
    using BusyHost::ShowMessage;
    bool Confirm(const QString& text) override;
};
