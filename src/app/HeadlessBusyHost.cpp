#include "app/HeadlessBusyHost.h"

#include <QCoreApplication>

void HeadlessBusyHost::SetBusy(bool busy, bool /*cancellable*/, qint32 maximum, const QString& statusText)
{
    m_busy = busy;
    if (!busy)
        return;
    ++m_entries;
    m_value = 0;
    if (maximum > 0)
        m_maximum = maximum;
    m_status = statusText.isEmpty() ? QStringLiteral(" ") : statusText;
    m_cancelRequested = false;
    m_lastEchoPercent = -1;
    Echo();
}

void HeadlessBusyHost::ReportProgress(qint32 value, const QString& statusText)
{
    ++m_reports;
    m_value = value;
    if (!statusText.isEmpty())
        m_status = statusText;
    Echo();
    PumpEvents();
}

void HeadlessBusyHost::PumpEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

void HeadlessBusyHost::ShowMessage(const QString& text, MessageIcon icon)
{
    m_messages.append({text, icon});
    if (m_echo)
        std::fprintf(m_echo, "%s\n", qPrintable(text));
}

bool HeadlessBusyHost::Confirm(const QString& text)
{
    m_messages.append({text, MessageIcon::Question});
    return m_confirmAnswer;
}

void HeadlessBusyHost::Echo()
{
    if (!m_echo || m_status.trimmed().isEmpty())
        return;
    const qint64 max = m_maximum > 0 ? m_maximum : 1;
    const int percent = int(qBound(qint64(0), qint64(m_value) * 100 / max, qint64(100)));
    // One line per 10 % step keeps a terminal readable.
    if (m_lastEchoPercent >= 0 && percent / 10 == m_lastEchoPercent / 10)
        return;
    m_lastEchoPercent = percent;
    std::fprintf(m_echo, "%s %3d %%\n", qPrintable(m_status), percent);
}
