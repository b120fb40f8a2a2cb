#include "window/WidgetBusyHost.h"

#include "controls/ThemedProgressBar.h"
#include "window/MessageBox.h"

#include <QPushButton>
#include <QTabWidget>

WidgetBusyHost::WidgetBusyHost(QWidget* window, ThemedProgressBar* bar, QTabWidget* tabs, QPushButton* quit,
                               Clock clock)
    : m_window(window), m_bar(bar), m_tabs(tabs), m_quit(quit), m_clock(std::move(clock))
{
}

void WidgetBusyHost::OnBusyChanged(bool busy)
{
    m_bar->setVisible(busy);
    m_tabs->setEnabled(!busy);
    m_quit->setText(busy ? QObject::tr("Cancel") : QObject::tr("Close"));
    if (busy) {
        m_quit->setEnabled(Cancellable());
    } else {
        m_quit->setEnabled(true);
        m_lastIdleTime = m_clock();
    }
}

void WidgetBusyHost::OnProgressChanged()
{
    if (!Busy())
        return;
    // The bar redraws only when the whole percent it shows moves, so per-row
    // callers do not spend their time painting.
    m_bar->SetMax(Maximum());
    m_bar->SetCustomText(StatusText());
    m_bar->SetValue(Value());
    m_quit->setEnabled(Cancellable());
}

void WidgetBusyHost::OnCancelRequested()
{
    m_lastIdleTime = m_clock();
}

void WidgetBusyHost::ShowMessage(const Message& message)
{
    if (m_messageSink)
        m_messageSink(message);
    else
        ShowMessageBox(m_window, message);
}

bool WidgetBusyHost::Confirm(const QString& text)
{
    return m_confirmSink ? m_confirmSink(text) : AskYesNo(m_window, text);
}

void MessageBoxHost::ShowMessage(const Message& message)
{
    ShowMessageBox(nullptr, message);
}

bool MessageBoxHost::Confirm(const QString& text)
{
    return AskYesNo(nullptr, text);
}
