#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// The argument text after the program name, joined with blanks, holds
// "-randomizer" (case-sensitive, also inside a longer word).
bool IsRandomizerCommandLine(const QStringList& argumentsAfterProgram);
// A Close click closes only more than 0.1 s after the busy state ended or a
// Cancel click (times in milliseconds of the monotonic clock).
bool QuitClickCloses(qint64 nowMs, qint64 lastIdleMs);
// The randomizer run ends after more than 30 s without received data.
bool RandomizerSilenceExpired(qint64 nowMs, qint64 lastActivityMs);
// Today's date as stored for the daily update: the system's short date format.
QString TodayText(const QDate& date);
