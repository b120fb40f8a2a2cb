#pragma once

#include "app/Failure.h"

class QWidget;

// A modal OK box titled "Lumivale" with the message's icon; the reason, when
// there is one, on a line of its own below the text.
void ShowMessageBox(QWidget* parent, const Message& message);
// A modal Yes/No question titled "Lumivale"; true for Yes.
bool AskYesNo(QWidget* parent, const QString& text);
