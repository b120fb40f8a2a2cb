#include "app/Environment.h"
#include "app/GameFileWriter.h"
#include "app/GameSettings.h"
#include "app/SettingsStore.h"
#include "app/Startup.h"
#include "app/WinePrefix.h"
#include "randomizer/GameLauncher.h"
#include "window/CommandLineHelp.h"
#include "window/MainWindow.h"
#include "window/RandomizerStart.h"
#include "window/WidgetBusyHost.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

namespace {

class ExitOnFirstPaint : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char* argv[])
{
    // The arguments as they came, before QApplication takes its own options
    // (-reverse, -style ...) out of argv: the randomizer passes them all on.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    // Before QApplication, which needs a display.
    if (const std::optional<int> status = AnswerHelpOrVersion(arguments, stdout))
        return *status;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumivale"));
    QApplication::setApplicationVersion(QStringLiteral(LUMIVALE_VERSION_TEXT));
    // The desktop entry and icon that the package installs.
    QApplication::setDesktopFileName(QStringLiteral("io.github.lumivale.Lumivale"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("io.github.lumivale.Lumivale")));

    const Environment environment = SystemEnvironment();
    // Temporary folders of runs that were killed.
    PrivateWorkFolder::RemoveStale(environment.workFolder);
    SettingsStore store(SettingsStore::DefaultFilePath());
    const WinePrefix prefix(WinePrefix::DefaultPath());

    if (IsRandomizerCommandLine(arguments)) {
        MessageBoxHost host;
        WineLauncher launcher(QProcessEnvironment::systemEnvironment(), store.Read(setting::kWineProgram),
                              environment.winePlaces);
        RandomizerStart run(store, environment, prefix, host, &launcher);
        // The process ends once the daily update is applied or has gone silent.
        run.SetEndCallback(
            [] { QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection); });
        if (!run.Run(arguments))
            return 0;
        return app.exec();
    }

    MainWindow window(store, environment, prefix);
    window.Startup();
    window.show();
    // For start-up timing: end as soon as the window has been painted once.
    if (qEnvironmentVariableIsSet("LUMIVALE_EXIT_WHEN_SHOWN"))
        window.installEventFilter(new ExitOnFirstPaint(&window));
    app.setQuitOnLastWindowClosed(true);
    return app.exec();
}
