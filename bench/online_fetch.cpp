// The download client alone, for the benchmarks (never a test):
//   bench_online_fetch [--no-splice] URL
// fetches URL through one download slot into a private work folder (with
// --no-splice the body is read and written by the program), prints
// the time and throughput from the start of the slot to the stored file on
// stderr, deletes the file, and exits 0 when the picture was stored.
#include "online/DownloadBatch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const bool splice = !(argc == 3 && qstrcmp(argv[1], "--no-splice") == 0);
    if (argc != (splice ? 2 : 3)) {
        std::fprintf(stderr, "usage: bench_online_fetch [--no-splice] URL\n");
        return 2;
    }
    QTemporaryDir work;
    DownloadOptions options;
    options.spliceBodies = splice;
    DownloadBatch batch(work.path(), options);
    QElapsedTimer clock;
    QObject::connect(&batch, &DownloadBatch::finished, &app, &QCoreApplication::quit);
    clock.start();
    if (batch.StartDownload(0, QStringLiteral("bench"), QString::fromLocal8Bit(argv[argc - 1])) !=
        SlotStart::Started) {
        std::fprintf(stderr, "%s\n", qPrintable(batch.Slot(0).Reason()));
        return 1;
    }
    app.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const QString stored = batch.Slot(0).StoredFile();
    if (stored.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(batch.Slot(0).Reason()));
        return 1;
    }
    const double mib = double(QFileInfo(stored).size()) / (1024.0 * 1024.0);
    std::fprintf(stderr, "%.1f MiB in %.2f ms: %.0f MiB/s\n", mib, seconds * 1000.0, mib / seconds);
    return 0;
}
