#include "app/Startup.h"

#include <QLocale>

bool IsRandomizerCommandLine(const QStringList& argumentsAfterProgram)
{
    return argumentsAfterProgram.join(QLatin1Char(' '))
        .contains(QLatin1String("-randomizer"), Qt::CaseSensitive);
}

double SecondsSinceMidnight(const QTime& time)
{
    return time.isValid() ? time.msecsSinceStartOfDay() / 1000.0 : 0.0;
}

bool QuitClickCloses(double now, double lastIdleTime)
{
    if (lastIdleTime > now)
        lastIdleTime = 0;
    return now - lastIdleTime > 0.1;
}

bool RandomizerSilenceExpired(double now, double& lastActivityTime)
{
    if (lastActivityTime > now)
        lastActivityTime = 0;
    return now - lastActivityTime > 30.0;
}

QString TodayText(const QDate& date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat);
}
