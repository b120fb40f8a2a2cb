#include "app/BusyHost.h"

#include <QCoreApplication>

void BusyHost::RequestCancel()
{
    m_cancelRequested = true;
    OnCancelRequested();
}

void BusyHost::SetBusy(bool busy, bool cancellable, qint32 maximum, const QString& statusText)
{
    if (busy) {
        const bool outermost = m_scopes.isEmpty();
        m_scopes.append({m_cancellable, m_maximum, m_value, m_status});
        if (outermost)
            m_cancelRequested = false;
        Restart(cancellable, maximum, statusText);
        if (outermost)
            OnBusyChanged(true);
        return;
    }
    if (m_scopes.isEmpty())
        return;
    const Shown outer = m_scopes.takeLast();
    if (m_scopes.isEmpty()) {
        // The last values stay readable; only the busy state ends.
        OnBusyChanged(false);
        return;
    }
    m_cancellable = outer.cancellable;
    m_maximum = outer.maximum;
    m_value = outer.value;
    m_status = outer.status;
    OnProgressChanged();
}

void BusyHost::Restart(bool cancellable, qint32 maximum, const QString& statusText)
{
    m_value = 0;
    if (maximum > 0)
        m_maximum = maximum;
    m_status = statusText.isEmpty() ? QStringLiteral(" ") : statusText;
    // Inside a cancellable scope Cancel stays offered.
    const bool outerCancellable = m_scopes.size() > 1 && m_scopes.last().cancellable;
    m_cancellable = cancellable || outerCancellable;
    OnProgressChanged();
    OnScopeStarted();
}

void BusyHost::ReportProgress(qint32 value, const QString& statusText)
{
    m_value = value;
    if (!statusText.isEmpty())
        m_status = statusText;
    OnProgressChanged();
    PumpEvents();
}

void BusyHost::PumpEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

void BusyHost::ShowFailure(const Failure& failure)
{
    if (failure.IsCancel())
        return;
    for (const Message& message : failure.Messages())
        ShowMessage(message);
}

BusyScope::BusyScope(BusyHost& host, bool cancellable, qint32 maximum, const QString& statusText)
    : m_host(host)
{
    m_host.SetBusy(true, cancellable, maximum, statusText);
}

BusyScope::~BusyScope()
{
    m_host.SetBusy(false, false, 0, QString());
}

void BusyScope::Restart(bool cancellable, qint32 maximum, const QString& statusText)
{
    m_host.Restart(cancellable, maximum, statusText);
}
