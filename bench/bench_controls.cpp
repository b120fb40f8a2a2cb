// Cost of the busy protocol's per-row progress writes on the status bar.
#include "controls/ThemedProgressBar.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

constexpr int kWrites = 1024;

QApplication& App()
{
    static int argc = 1;
    static char name[] = "bench_controls";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

// 1024 writes against Max 1024: the percentage moves about a hundred times.
void BM_ValueSweep(benchmark::State& state)
{
    App();
    ThemedProgressBar bar;
    bar.ApplyStatusLook();
    bar.resize(500, 19);
    bar.SetMax(kWrites);
    for (auto _ : state) {
        for (int v = 0; v < kWrites; ++v)
            bar.SetValue(v);
        bar.SetValue(-1000); // back to the start, outside the timed sweep's range
    }
    state.SetItemsProcessed(state.iterations() * kWrites);
}
BENCHMARK(BM_ValueSweep)->Unit(benchmark::kMillisecond);

// Every write changes the percentage: the full render each time.
void BM_ValueRedrawEveryWrite(benchmark::State& state)
{
    App();
    ThemedProgressBar bar;
    bar.ApplyStatusLook();
    bar.resize(500, 19);
    for (auto _ : state) {
        for (int v = 0; v < kWrites; ++v)
            bar.SetValue(v % 2 ? 37 : 38);
    }
    state.SetItemsProcessed(state.iterations() * kWrites);
}
BENCHMARK(BM_ValueRedrawEveryWrite)->Unit(benchmark::kMillisecond);

// The window's path: a visible bar, each write followed by letting events run (the repaint).
void BM_ValueSweepWithEvents(benchmark::State& state)
{
    App();
    ThemedProgressBar bar;
    bar.ApplyStatusLook();
    bar.resize(500, 19);
    bar.SetMax(kWrites);
    bar.show();
    QApplication::processEvents();
    for (auto _ : state) {
        for (int v = 0; v < kWrites; ++v) {
            bar.SetValue(v);
            QApplication::processEvents();
        }
        bar.SetValue(-1000);
    }
    state.SetItemsProcessed(state.iterations() * kWrites);
}
BENCHMARK(BM_ValueSweepWithEvents)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
