#include "app/Failure.h"

#include <QStringList>
#include <algorithm>

QString Failure::Text() const
{
    QStringList lines;
    for (const Message& message : m_messages)
        lines << message.FullText();
    return lines.join(QLatin1Char('\n'));
}

bool HasControlCharacters(const QString& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}

QString ShownInMessage(const QString& text, qsizetype max)
{
    QString out;
    for (QChar c : text.left(max)) {
        if (c.unicode() == 0)
            out += QStringLiteral("\\0");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return text.size() > max ? out + QStringLiteral("...") : out;
}
