#pragma once

#include "app/BusyHost.h"
#include "app/Failure.h"

#include <QList>
#include <QString>
#include <atomic>
#include <functional>

// How far one conversion has come, shared between the thread that converts
// and the one that shows the progress.
struct ConversionProgress
{
    std::atomic<qint64> readBytes{0};
    // The expected PCM length once the source is open; -1 before.
    std::atomic<qint64> totalBytes{-1};
    std::atomic<bool> finished{false};
};

// Decodes source and encodes it to output as Ogg Vorbis, on the calling
// thread and without a busy host (the decoding runs ahead on a second
// thread), with the sound decoder module in pluginFolder. serialDraw is the
// uniform number in [0, 1) the stream's serial number comes from. Stops when
// cancel is set (the output is still completed, short). onChunks runs on this
// thread after every 50th chunk. Failures hold the reason only (callers
// retitle them); a cancel is Failure::Cancelled().
Result<> ConvertSoundFile(const QString& pluginFolder, const QString& source, const QString& output,
                          double serialDraw, const std::atomic<bool>& cancel, ConversionProgress& progress,
                          const std::function<void()>& onChunks = {});

// One conversion of a batch.
struct SoundConversion
{
    QString pluginFolder; // holds the sound decoder module
    QString source;
    QString output;
    double serialDraw = 0;
    Result<> result;
};

// Runs every conversion, at most parallel of them at once, each on a worker
// thread of its own. This thread keeps the busy state: one progress over all
// of them in 9000-byte units (each source's expected length, counted in once
// it is open), reported after every 50th chunk of any conversion and at least
// every tenth of a second (the window stays live); a cancel request stops
// them all. Each result is set; a cancelled one is Failure::Cancelled().
void ConvertSounds(BusyScope& busy, QList<SoundConversion>& conversions, int parallel);
