// The texture writer's hot path: streaming a 1024 x 768 picture as a
// 1024 x 1024 uncompressed surface, with and without per-row progress, and
// the whole path-level write of a loading screen (atomic file, sync included).
#include "RecordingBusyHost.h"
#include "image/ImageLoader.h"
#include "texture/LoadingScreen.h"
#include "texture/TextureWriter.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <optional>

namespace {

PixelBufferPtr Picture()
{
    auto dib = std::make_shared<PixelBuffer>();
    dib->Create(1024, 768);
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024 * 3; ++x)
            dib->Row(y)[x] = std::uint8_t(x ^ y);
    return dib;
}

void WriteToMemory(benchmark::State& state, BusyHost* host, qint32 step)
{
    const PixelBufferPtr picture = Picture();
    QByteArray storage;
    storage.reserve(4194432);
    for (auto _ : state) {
        storage.resize(0);
        QBuffer buffer(&storage);
        buffer.open(QIODevice::WriteOnly);
        std::optional<BusyScope> busy;
        if (host)
            busy.emplace(*host, false, 1024, QStringLiteral("Writing x..."));
        const bool ok =
            WriteRawImage(buffer, *picture, 1024, 1024, nullptr, RawImageForm::Dds, host, step).has_value();
        if (!ok)
            state.SkipWithError("write failed");
        benchmark::DoNotOptimize(storage.data());
    }
    state.SetBytesProcessed(state.iterations() * 4194432);
}

void BM_WriteRawImage_NoProgress(benchmark::State& state)
{
    WriteToMemory(state, nullptr, 0);
}
BENCHMARK(BM_WriteRawImage_NoProgress)->Unit(benchmark::kMillisecond);

void BM_WriteRawImage_ProgressEveryRow(benchmark::State& state)
{
    RecordingBusyHost host;
    WriteToMemory(state, &host, 1);
}
BENCHMARK(BM_WriteRawImage_ProgressEveryRow)->Unit(benchmark::kMillisecond);

void BM_WriteRawImage_DefaultProgress(benchmark::State& state)
{
    RecordingBusyHost host;
    WriteToMemory(state, &host, 0);
}
BENCHMARK(BM_WriteRawImage_DefaultProgress)->Unit(benchmark::kMillisecond);

void BM_SaveLoadingScreen_File(benchmark::State& state)
{
    const PixelBufferPtr picture = Picture();
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("game")));
    RecordingBusyHost host;
    TextureWriter writer(host, {false, dir.filePath(QStringLiteral("work")), QString()});
    for (auto _ : state) {
        if (!WriteLoadingScreen(writer, dir.filePath(QStringLiteral("game")), LoadingScreen::Login, *picture))
            state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(state.iterations() * 4194545);
}
BENCHMARK(BM_SaveLoadingScreen_File)->Unit(benchmark::kMillisecond);

// For comparison: the picture loading that precedes every loading-screen save.
void BM_LoadImage_1920x1080Jpeg(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.jpg"));
    QImage source(1920, 1080, QImage::Format_RGB888);
    for (int y = 0; y < 1080; ++y)
        for (int x = 0; x < 1920; ++x)
            source.setPixel(x, y, qRgb(x & 255, y & 255, (x + y) & 255));
    source.save(path, "JPEG", 90);
    RecordingBusyHost host;
    for (auto _ : state) {
        PixelBufferPtr dib;
        if (!LoadImage(host, path, dib, 1024, 768))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(dib.get());
    }
}
BENCHMARK(BM_LoadImage_1920x1080Jpeg)->Unit(benchmark::kMillisecond);

} // namespace

// An application object makes every progress report drain a real event queue,
// as it does in the window and the command-line tool.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
