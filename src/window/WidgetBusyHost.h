#pragma once

#include "app/BusyHost.h"

#include <functional>

class QPushButton;
class QTabWidget;
class QWidget;
class XPProgressBar;

// The main window's side of the busy protocol: it drives the progress bar, the
// tab control and the Close/Cancel button and lets pending events run. In the
// randomizer mode it touches no control. Messages are modal boxes titled
// "Lumivale" unless a sink is set (tests).
class WidgetBusyHost : public BusyHost
{
public:
    using Clock = std::function<double()>;
    using MessageSink = std::function<void(const QString& text, MessageIcon icon)>;
    using ConfirmSink = std::function<bool(const QString& text)>;

    WidgetBusyHost(QWidget* window, XPProgressBar* bar, QTabWidget* tabs, QPushButton* quit, Clock clock);

    void SetBusy(bool busy, bool cancellable, qint32 maximum, const QString& statusText) override;
    void ReportProgress(qint32 value, const QString& statusText = QString()) override;
    bool CancelRequested() const override { return m_cancelRequested; }
    bool Busy() const override { return m_busy; }
    void PumpEvents() override;
    void ShowMessage(const QString& text, MessageIcon icon) override;
    bool Confirm(const QString& text) override;

    // A Cancel click: the running operation stops at its next look.
    void RequestCancel();
    // When the busy state was last left or Cancel was last clicked (seconds since midnight).
    double LastIdleTime() const { return m_lastIdleTime; }
    void SetRandomizerMode(bool on) { m_randomizerMode = on; }
    bool RandomizerMode() const { return m_randomizerMode; }
    void SetClock(Clock clock) { m_clock = std::move(clock); }
    void SetMessageSink(MessageSink sink) { m_messageSink = std::move(sink); }
    void SetConfirmSink(ConfirmSink sink) { m_confirmSink = std::move(sink); }

private:
    QWidget* m_window;
    XPProgressBar* m_bar;
    QTabWidget* m_tabs;
    QPushButton* m_quit;
    Clock m_clock;
    MessageSink m_messageSink;
    ConfirmSink m_confirmSink;
    bool m_busy = false;
    bool m_cancelRequested = false;
    bool m_randomizerMode = false;
    double m_lastIdleTime = 0;
};
