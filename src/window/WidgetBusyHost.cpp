#include "window/WidgetBusyHost.h"

#include "controls/XPProgressBar.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>

WidgetBusyHost::WidgetBusyHost(QWidget* window, XPProgressBar* bar, QTabWidget* tabs, QPushButton* quit,
                               Clock clock)
    : m_window(window), m_bar(bar), m_tabs(tabs), m_quit(quit), m_clock(std::move(clock))
{
}

void WidgetBusyHost::SetBusy(bool busy, bool cancellable, qint32 maximum, const QString& statusText)
{
    m_busy = busy;
    if (m_randomizerMode)
        return;
    if (busy) {
        if (maximum > 0)
            m_bar->SetMax(maximum);
        m_bar->SetCustomText(statusText.isEmpty() ? QStringLiteral(" ") : statusText);
        m_bar->SetValue(0);
        m_bar->setVisible(true);
        m_tabs->setEnabled(false);
        m_quit->setText(QObject::tr("Cancel"));
        m_cancelRequested = false;
        m_quit->setEnabled(cancellable);
    } else {
        m_bar->setVisible(false);
        m_tabs->setEnabled(true);
        m_quit->setText(QObject::tr("Close"));
        m_quit->setEnabled(true);
        m_lastIdleTime = m_clock();
    }
}

void WidgetBusyHost::ReportProgress(qint32 value, const QString& statusText)
{
    if (!m_randomizerMode) {
        if (!statusText.isEmpty())
            m_bar->SetCustomText(statusText);
        // The bar redraws only when the whole percent it shows moves, so per-row
        // callers do not spend their time painting.
        m_bar->SetValue(value);
    }
    PumpEvents();
}

void WidgetBusyHost::PumpEvents()
{
    QCoreApplication::processEvents();
}

void WidgetBusyHost::RequestCancel()
{
    m_cancelRequested = true;
    m_lastIdleTime = m_clock();
}

void WidgetBusyHost::ShowMessage(const QString& text, MessageIcon icon)
{
    if (m_messageSink) {
        m_messageSink(text, icon);
        return;
    }
    QMessageBox::Icon boxIcon = QMessageBox::Warning;
    if (icon == MessageIcon::Critical)
        boxIcon = QMessageBox::Critical;
    else if (icon == MessageIcon::Information)
        boxIcon = QMessageBox::Information;
    else if (icon == MessageIcon::Question)
        boxIcon = QMessageBox::Question;
    QMessageBox box(boxIcon, QStringLiteral("Lumivale"), text, QMessageBox::Ok, m_window);
    box.exec();
}

bool WidgetBusyHost::Confirm(const QString& text)
{
    if (m_confirmSink)
        return m_confirmSink(text);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Lumivale"), text,
                    QMessageBox::Yes | QMessageBox::No, m_window);
    return box.exec() == QMessageBox::Yes;
}
