#pragma once

#include <QWidget>

class BusyHost;
class QLabel;

// The Credits tab: version, the components this build uses, and the mail link.
class CreditsTab : public QWidget
{
    Q_OBJECT
public:
    explicit CreditsTab(BusyHost& host, QWidget* parent = nullptr);

    // The link the mail label opens.
    static QString MailLink();

    QLabel* crdVersion;
    QLabel* crdText;
    QLabel* crdMail;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    BusyHost& m_host;
};
