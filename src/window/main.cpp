#include "app/SettingsStore.h"
#include "app/WinePrefix.h"
#include "window/Form1.h"

#include <QApplication>
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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumivale"));
    QApplication::setApplicationVersion(QStringLiteral(LUMIVALE_VERSION_TEXT));

    SettingsStore store(SettingsStore::DefaultFilePath());
    Form1 window(store, WinePrefix(WinePrefix::DefaultPath()));
    // The switch is looked for in the raw command line, before Qt takes its own options out.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    switch (window.Startup(arguments)) {
    case Form1::StartResult::RandomizerDone:
        return 0;
    case Form1::StartResult::RandomizerWaiting:
        break;
    case Form1::StartResult::Interactive:
        window.show();
        // For start-up timing: end as soon as the window has been painted once.
        if (qEnvironmentVariableIsSet("LUMIVALE_EXIT_WHEN_SHOWN"))
            window.installEventFilter(new ExitOnFirstPaint(&window));
        break;
    }
    app.setQuitOnLastWindowClosed(true);
    return app.exec();
}
