// The main window's busy protocol: what 1024 progress reports (one per row of
// a 1024-row texture) cost with the real progress bar on screen.
#include "app/Environment.h"
#include "app/SettingsStore.h"
#include "app/WinePrefix.h"
#include "window/MainWindow.h"
#include "window/WidgetBusyHost.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void BM_ReportProgress1024(benchmark::State& state)
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("Lumivale.ini")));
    Environment environment = SystemEnvironment();
    environment.workFolder = dir.filePath(QStringLiteral("work"));
    MainWindow window(store, environment, WinePrefix(dir.filePath(QStringLiteral("wine"))));
    window.Startup();
    window.show();
    QApplication::processEvents();
    WidgetBusyHost& host = window.Host();
    for (auto _ : state) {
        BusyScope busy(host, false, 1024, QStringLiteral("Writing COH_LogInScreen_Background..."));
        for (int row = 1; row <= 1024; ++row)
            busy.Step(row);
    }
    state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(BM_ReportProgress1024)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
