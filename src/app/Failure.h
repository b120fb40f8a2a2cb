#pragma once

#include <QList>
#include <QString>
#include <tl/expected.hpp>

// Icons of the program's message boxes (all titled "Lumivale").
enum class MessageIcon
{
    None,
    Exclamation,
    Critical,
    Question,
    Information
};

// One message for the user: the text as the program words it, its icon, and
// the reason behind it when one is known (a system error, the field of a file
// that was wrong). The window shows the reason on a line of its own below the
// text; the command-line tool prints it after the text.
struct Message
{
    QString text;
    MessageIcon icon = MessageIcon::Exclamation;
    QString detail;

    // text, and the reason on a second line when there is one.
    QString FullText() const { return detail.isEmpty() ? text : text + QLatin1Char('\n') + detail; }
};

// Why an operation did not do its job: the messages a user is shown for it,
// in order. The last one is the headline (what failed); the ones before it
// are notes that came up on the way (a compressor that timed out before its
// output was found missing). Logic returns failures; the outermost caller (a
// tab's handler, the command-line tool, a batch) shows them.
class Failure
{
public:
    Failure() = default;
    Failure(QString text, MessageIcon icon, QString detail = QString())
    {
        m_messages.append({std::move(text), icon, std::move(detail)});
    }
    explicit Failure(Message message) { m_messages.append(std::move(message)); }

    // Adds a message after the ones already held; it becomes the headline.
    Failure& Then(Message message)
    {
        m_messages.append(std::move(message));
        return *this;
    }
    Failure& Then(QString text, MessageIcon icon, QString detail = QString())
    {
        return Then(Message{std::move(text), icon, std::move(detail)});
    }
    // This failure's messages put in front of another one's.
    Failure& Then(const Failure& other)
    {
        m_messages.append(other.m_messages);
        return *this;
    }

    // The same failure told in the caller's words: the headline's text and icon
    // replaced, its reason kept.
    Failure& Retitle(QString text, MessageIcon icon)
    {
        if (m_messages.isEmpty())
            m_messages.append(Message{});
        m_messages.last().text = std::move(text);
        m_messages.last().icon = icon;
        return *this;
    }

    const QList<Message>& Messages() const { return m_messages; }
    // The last message; a default one for an empty failure.
    Message Headline() const { return m_messages.isEmpty() ? Message{} : m_messages.last(); }
    // Every message but the headline.
    QList<Message> Notes() const
    {
        return m_messages.isEmpty() ? QList<Message>{} : m_messages.first(m_messages.size() - 1);
    }
    // All messages with their reasons, one per line (for logs and the command-line tool).
    QString Text() const;
    bool IsCancel() const { return m_cancelled; }

    // What a low-level step (opening, writing, a process) found: only the
    // reason. Callers give it their own words with Retitle.
    static Failure Because(QString reason)
    {
        return Failure(QString(), MessageIcon::Exclamation, std::move(reason));
    }
    // The reason of the headline.
    QString Reason() const { return Headline().detail; }

    // The operation stopped because the user asked it to: nothing to show.
    static Failure Cancelled()
    {
        Failure f;
        f.m_cancelled = true;
        return f;
    }

private:
    QList<Message> m_messages;
    bool m_cancelled = false;
};

// The value of an operation that may fail: T, or the failure that stopped it.
template <typename T = void>
using Result = tl::expected<T, Failure>;

inline tl::unexpected<Failure> Fail(Failure failure)
{
    return tl::unexpected<Failure>(std::move(failure));
}
inline tl::unexpected<Failure> Fail(QString text, MessageIcon icon, QString detail = QString())
{
    return tl::unexpected<Failure>(Failure(std::move(text), icon, std::move(detail)));
}

// Characters below 0x20 and DEL: a setting or a file may hold them, a message must not show them raw.
bool HasControlCharacters(const QString& text);
// Text from input as a message shows it: at most max characters (then "..."),
// a NUL as \0 and other control characters as \xNN, so nothing cuts the message short.
QString ShownInMessage(const QString& text, qsizetype max);
