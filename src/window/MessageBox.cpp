#include "window/MessageBox.h"

#include <QMessageBox>

void ShowMessageBox(QWidget* parent, const Message& message)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (message.icon) {
    case MessageIcon::None:
        break;
    case MessageIcon::Exclamation:
        icon = QMessageBox::Warning;
        break;
    case MessageIcon::Critical:
        icon = QMessageBox::Critical;
        break;
    case MessageIcon::Question:
        icon = QMessageBox::Question;
        break;
    case MessageIcon::Information:
        icon = QMessageBox::Information;
        break;
    }
    QMessageBox box(icon, QStringLiteral("Lumivale"), message.text, QMessageBox::Ok, parent);
    if (!message.detail.isEmpty())
        box.setInformativeText(message.detail);
    box.exec();
}

bool AskYesNo(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Lumivale"), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}
