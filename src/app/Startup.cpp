#include "app/Startup.h"

#include <QLocale>

bool IsRandomizerCommandLine(const QStringList& argumentsAfterProgram)
{
    return argumentsAfterProgram.join(QLatin1Char(' '))
        .contains(QLatin1String("-randomizer"), Qt::CaseSensitive);
}

bool QuitClickCloses(qint64 nowMs, qint64 lastIdleMs)
{
    return nowMs - lastIdleMs > 100;
}

bool RandomizerSilenceExpired(qint64 nowMs, qint64 lastActivityMs)
{
    return nowMs - lastActivityMs > 30'000;
}

QString TodayText(const QDate& date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat);
}
