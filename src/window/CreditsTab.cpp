#include "window/CreditsTab.h"

#include "app/BusyHost.h"
#include "app/Credits.h"
#include "app/LinkOpener.h"

#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>
#include <QUrl>
#include <QVBoxLayout>

CreditsTab::CreditsTab(BusyHost& host, QWidget* parent) : QWidget(parent), m_host(host)
{
    setObjectName(QStringLiteral("CreditsTab"));

    auto* title = new QLabel(QStringLiteral("Lumivale"));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    title->setFont(titleFont);

    crdVersion = new QLabel;
    crdVersion->setObjectName(QStringLiteral("crdVersion"));
    crdVersion->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* builtWith = new QLabel(tr("Built with:"));
    crdText = new QLabel;
    crdText->setObjectName(QStringLiteral("crdText"));
    crdText->setTextFormat(Qt::PlainText);
    crdText->setWordWrap(true);
    crdText->setTextInteractionFlags(Qt::TextSelectableByMouse);

    crdMail = new QLabel(tr("Write to %1").arg(MaintainerName()));
    crdMail->setObjectName(QStringLiteral("crdMail"));
    QFont linkFont = crdMail->font();
    linkFont.setUnderline(true);
    crdMail->setFont(linkFont);
    crdMail->setForegroundRole(QPalette::Link);
    crdMail->setCursor(Qt::PointingHandCursor);
    crdMail->setToolTip(MaintainerMailAddress());
    crdMail->installEventFilter(this);

    auto* page = new QVBoxLayout(this);
    page->addWidget(title);
    page->addWidget(crdVersion);
    page->addSpacing(12);
    page->addWidget(builtWith);
    page->addWidget(crdText);
    page->addSpacing(12);
    page->addWidget(crdMail, 0, Qt::AlignLeft);
    page->addStretch(1);
}

void CreditsTab::ShowCredits()
{
    crdVersion->setText(GetVersionText());
    // The credits lines are joined with CR LF; a label wants bare line feeds.
    crdText->setText(CreditsText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

QString CreditsTab::MailLink()
{
    // Blanks in the subject are percent-encoded so that every mail program reads the link whole.
    const QString subject = QStringLiteral("Lumivale ") + GetVersionText();
    return QStringLiteral("mailto:") + MaintainerMailAddress() + QStringLiteral("?subject=") +
           QString::fromLatin1(QUrl::toPercentEncoding(subject));
}

bool CreditsTab::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == crdMail && event->type() == QEvent::MouseButtonRelease) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            OpenLink(m_host, QStringLiteral("mailto"), MailLink());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
