// Linked into every test program: before main() runs, the program gets its own
// home, XDG folders and Wine prefix below the build tree, so no test ever reads
// or writes the user's real settings, cache or Wine registry. Widgets draw
// offscreen.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QtGlobal>

namespace {

struct TestHome
{
    TestHome()
    {
        const QByteArray home = LUMIVALE_TEST_HOME;
        const struct
        {
            const char* name;
            const char* relative;
        } folders[] = {
            {"HOME", ""},
            {"XDG_CONFIG_HOME", "/config"},
            {"XDG_CACHE_HOME", "/cache"},
            {"XDG_DATA_HOME", "/share"},
            {"XDG_RUNTIME_DIR", "/runtime"},
            {"WINEPREFIX", "/wine"},
        };
        for (const auto& f : folders) {
            const QByteArray path = home + f.relative;
            QDir().mkpath(QString::fromLocal8Bit(path));
            qputenv(f.name, path);
        }
        QFile::setPermissions(QString::fromLocal8Bit(home + "/runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
};

const TestHome kTestHome;

} // namespace
