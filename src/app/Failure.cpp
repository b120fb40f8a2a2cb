#include "app/Failure.h"

#include <QStringList>

QString Failure::Text() const
{
    QStringList lines;
    for (const Message& message : m_messages)
        lines << message.FullText();
    return lines.join(QLatin1Char('\n'));
}
