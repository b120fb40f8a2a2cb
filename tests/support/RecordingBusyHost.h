#pragma once

#include "app/BusyHost.h"

#include <QStringList>
#include <functional>

// The tests' busy host: keeps every message, question and status text it was
// shown, answers questions as told, and lets a test act on progress (cancel
// half way, kill the process).
class RecordingBusyHost : public BusyHost
{
public:
    void ShowMessage(const Message& message) override { m_messages.append(message); }
    using BusyHost::ShowMessage;
    bool Confirm(const QString& text) override
    {
        m_messages.append(Message{text, MessageIcon::Question, QString()});
        return m_confirmAnswer;
    }

    void SetConfirmAnswer(bool answer) { m_confirmAnswer = answer; }
    const QList<Message>& Messages() const { return m_messages; }
    QList<MessageIcon> Icons() const
    {
        QList<MessageIcon> icons;
        for (const Message& m : m_messages)
            icons << m.icon;
        return icons;
    }
    void ClearMessages() { m_messages.clear(); }
    // The status text of every scope start and restart, in order.
    const QStringList& Statuses() const { return m_statuses; }
    int ReportCount() const { return m_reports; }
    // How many times the outermost busy state was entered.
    int BusyEntries() const { return m_entries; }
    // Called with the current value whenever events are let run (each progress report).
    std::function<void(qint32)> onProgress;

protected:
    void OnBusyChanged(bool busy) override
    {
        if (busy)
            ++m_entries;
    }
    void OnScopeStarted() override { m_statuses << StatusText(); }
    void PumpEvents() override
    {
        ++m_reports;
        BusyHost::PumpEvents();
        if (onProgress)
            onProgress(Value());
    }

private:
    QList<Message> m_messages;
    QStringList m_statuses;
    bool m_confirmAnswer = false;
    int m_reports = 0;
    int m_entries = 0;
};
