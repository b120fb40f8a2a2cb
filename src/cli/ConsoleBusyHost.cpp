#include "cli/ConsoleBusyHost.h"

#include <atomic>
#include <csignal>
#include <unistd.h>

namespace {

std::atomic<int> g_interrupts{0};

extern "C" void OnInterrupt(int)
{
    if (g_interrupts.fetch_add(1) >= 1)
        ::_exit(130);
}

} // namespace

ConsoleBusyHost::ConsoleBusyHost(std::FILE* stream)
    : m_stream(stream), m_terminal(::isatty(::fileno(stream)) == 1)
{
    std::signal(SIGINT, OnInterrupt);
}

ConsoleBusyHost::~ConsoleBusyHost()
{
    EndStatusLine();
    std::signal(SIGINT, SIG_DFL);
}

void ConsoleBusyHost::PumpEvents()
{
    if (g_interrupts.load() > 0 && !CancelRequested())
        RequestCancel();
    BusyHost::PumpEvents();
}

void ConsoleBusyHost::OnBusyChanged(bool busy)
{
    if (!busy) {
        EndStatusLine();
        m_printed.clear();
    }
}

void ConsoleBusyHost::OnProgressChanged()
{
    const QString text = StatusText().trimmed();
    if (text.isEmpty())
        return;
    if (!m_terminal) {
        // Each status once: not again when an inner step hands the outer one back.
        if (!m_printed.contains(text))
            std::fprintf(m_stream, "%s\n", qPrintable(text));
        m_printed.insert(text);
        return;
    }
    const qint64 maximum = Maximum() > 0 ? Maximum() : 1;
    const int percent = int(qBound(qint64(0), qint64(Value()) * 100 / maximum, qint64(100)));
    if (text == m_shownText && percent == m_shownPercent)
        return;
    m_shownText = text;
    m_shownPercent = percent;
    // Back to the start of the line, the status, then clear what an older one left.
    std::fprintf(m_stream, "\r%s %3d %%\x1b[K", qPrintable(text), percent);
    std::fflush(m_stream);
    m_lineOpen = true;
}

void ConsoleBusyHost::EndStatusLine()
{
    if (m_lineOpen)
        std::fputc('\n', m_stream);
    m_lineOpen = false;
    m_shownText.clear();
    m_shownPercent = -1;
}

void ConsoleBusyHost::ShowMessage(const Message& message)
{
    EndStatusLine();
    std::fprintf(m_stream, "%s\n", qPrintable(message.FullText()));
    std::fflush(m_stream);
}

bool ConsoleBusyHost::Confirm(const QString& text)
{
    EndStatusLine();
    std::fprintf(m_stream, "%s %s\n", qPrintable(text), m_confirmAnswer ? "yes" : "no");
    return m_confirmAnswer;
}
