#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

// The argument text after the program name, joined with blanks, holds
// "-randomizer" (case-sensitive, also inside a longer word).
bool IsRandomizerCommandLine(const QStringList& argumentsAfterProgram);
double SecondsSinceMidnight(const QTime& time);
// A Close click closes only more than 0.1 s after the busy state ended or a
// Cancel click; a lastIdleTime later than now (midnight passed) counts as 0.
bool QuitClickCloses(double now, double lastIdleTime);
// The randomizer run ends after more than 30 s without received data. A
// lastActivityTime later than now (midnight passed) is reset to 0 in place.
bool RandomizerSilenceExpired(double now, double& lastActivityTime);
// Today's date as stored for the daily update: the system's short date format.
QString TodayText(const QDate& date);
