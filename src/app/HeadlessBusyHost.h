#pragma once

#include "app/BusyHost.h"

#include <QStringList>
#include <cstdio>

// Busy host without controls: the randomizer run, the command-line tool and
// tests. It keeps the protocol's state, lets events run when an event loop
// exists, records every message and can echo progress and messages to a stream.
class HeadlessBusyHost : public BusyHost
{
public:
    struct Message
    {
        QString text;
        MessageIcon icon;
    };

    explicit HeadlessBusyHost(std::FILE* echo = nullptr) : m_echo(echo) {}

    void SetBusy(bool busy, bool cancellable, qint32 maximum, const QString& statusText) override;
    void ReportProgress(qint32 value, const QString& statusText = QString()) override;
    bool CancelRequested() const override { return m_cancelRequested; }
    bool Busy() const override { return m_busy; }
    void PumpEvents() override;
    void ShowMessage(const QString& text, MessageIcon icon) override;
    bool Confirm(const QString& text) override;

    // Test and tool controls.
    void RequestCancel() { m_cancelRequested = true; }
    void SetConfirmAnswer(bool answer) { m_confirmAnswer = answer; }
    const QList<Message>& Messages() const { return m_messages; }
    void ClearMessages() { m_messages.clear(); }
    qint32 Maximum() const { return m_maximum; }
    qint32 Value() const { return m_value; }
    const QString& StatusText() const { return m_status; }
    int ReportCount() const { return m_reports; }
    int BusyEntries() const { return m_entries; }

private:
    void Echo();

    std::FILE* m_echo;
    bool m_busy = false;
    bool m_cancelRequested = false;
    bool m_confirmAnswer = false;
    qint32 m_maximum = 100;
    qint32 m_value = 0;
    int m_lastEchoPercent = -1;
    int m_reports = 0;
    int m_entries = 0;
    QString m_status;
    QList<Message> m_messages;
};
