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

    // Fills the version and the components this build uses.
    void ShowCredits();
    // The link the mail label opens.
    static QString MailLink();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    BusyHost& m_host;

    // The controls; each carries its control name as its object name.
    QLabel* crdVersion;
    QLabel* crdText;
    QLabel* crdMail;
};
