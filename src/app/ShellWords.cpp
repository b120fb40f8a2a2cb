#include "app/ShellWords.h"

namespace {

bool IsBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

bool EscapableInDoubleQuotes(QChar c)
{
    return c == QLatin1Char('$') || c == QLatin1Char('`') || c == QLatin1Char('"') ||
           c == QLatin1Char('\\') || c == QLatin1Char('\n');
}

} // namespace

std::optional<QStringList> SplitShellWords(const QString& text)
{
    QStringList words;
    QString current;
    bool inWord = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (IsBlank(c)) {
            if (inWord)
                words << current;
            current.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == QLatin1Char('\\')) {
            if (++i >= text.size())
                return std::nullopt;
            // A backslash before a line break joins the lines.
            if (text[i] != QLatin1Char('\n'))
                current += text[i];
        } else if (c == QLatin1Char('\'')) {
            const qsizetype close = text.indexOf(QLatin1Char('\''), i + 1);
            if (close < 0)
                return std::nullopt;
            current += QStringView(text).sliced(i + 1, close - i - 1);
            i = close;
        } else if (c == QLatin1Char('"')) {
            for (++i;; ++i) {
                if (i >= text.size())
                    return std::nullopt;
                const QChar d = text[i];
                if (d == QLatin1Char('"'))
                    break;
                if (d == QLatin1Char('\\') && i + 1 < text.size() && EscapableInDoubleQuotes(text[i + 1])) {
                    if (text[++i] != QLatin1Char('\n'))
                        current += text[i];
                    continue;
                }
                current += d;
            }
        } else {
            current += c;
        }
    }
    if (inWord)
        words << current;
    return words;
}
