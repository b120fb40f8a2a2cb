#pragma once

#include "app/BusyHost.h"
#include "app/Environment.h"
#include "app/SettingsStore.h"
#include "app/WinePrefix.h"
#include "window/MainWindow.h"
#include "window/WidgetBusyHost.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

// A main window over a settings file, a Wine prefix and a game folder in a
// temporary folder, with messages and dialogs answered by the test.
class WindowFixture : public ::testing::Test
{
protected:
    using Shown = Message;

    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_store = std::make_unique<SettingsStore>(Path(QStringLiteral("config/Lumivale.ini")));
        QDir().mkpath(Path(QStringLiteral("wine")));
        QDir().mkpath(Path(QStringLiteral("game")));
    }

    QString Path(const QString& relative) const { return QDir(m_dir.path()).filePath(relative); }

    // A control of the window by its object name, or a tab by its class.
    template <typename T>
    T* Find(const char* name = nullptr) const
    {
        T* found = m_window->findChild<T*>(name ? QString::fromLatin1(name) : QString());
        EXPECT_NE(found, nullptr) << (name ? name : "a tab");
        return found;
    }

    // The machine as the window sees it: the test's folders and its clock (m_now,
    // seconds since midnight of a fixed day).
    Environment TestEnvironment()
    {
        Environment environment = SystemEnvironment();
        // Games are looked for below the test's own home, never the real one.
        environment.winePlaces =
            DiscoveryPlaces{Path(QStringLiteral("home")), Path(QStringLiteral("home/.config")),
                            Path(QStringLiteral("home/.local/share")), QString()};
        environment.now = [this] {
            return QDateTime(QDate(2026, 12, 8), QTime::fromMSecsSinceStartOfDay(int(m_now * 1000)));
        };
        environment.elapsedMs = [this] { return qint64(m_now * 1000); };
        return environment;
    }

    // Makes the window (after the test has prepared the settings) and runs its start-up.
    void Start()
    {
        m_environment = TestEnvironment();
        m_window =
            std::make_unique<MainWindow>(*m_store, m_environment, WinePrefix(Path(QStringLiteral("wine"))));
        m_window->Host().SetMessageSink([this](const Message& message) { m_messages.push_back(message); });
        m_window->SetOpenFileFunction([this](QWidget*, const OpenFileRequest& request) {
            m_lastRequest = request;
            return m_nextFile;
        });
        m_window->Startup();
    }

    // Writes a user.reg with the game's key in the way Wine writes it.
    void WriteGameKey(const QString& keyName, const QString& windowsFolder, const QString& width,
                      const QString& height)
    {
        QDir().mkpath(Path(QStringLiteral("wine/drive_c")));
        QDir().mkpath(Path(QStringLiteral("wine/dosdevices")));
        QFile::link(QStringLiteral("../drive_c"), Path(QStringLiteral("wine/dosdevices/c:")));
        QString text = QStringLiteral("WINE REGISTRY Version 2\n;; All keys relative to "
                                      "\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n\n");
        text +=
            QStringLiteral("[Software\\\\Cryptic\\\\%1] 1796715068\n#time=1d9c0a1b2c3d4e5\n").arg(keyName);
        if (!windowsFolder.isNull())
            text += QStringLiteral("\"Installation Directory\"=\"%1\"\n")
                        .arg(QString(windowsFolder).replace(QStringLiteral("\\"), QStringLiteral("\\\\")));
        if (!width.isNull())
            text += QStringLiteral("\"screenX\"=\"%1\"\n").arg(width);
        if (!height.isNull())
            text += QStringLiteral("\"screenY\"=\"%1\"\n").arg(height);
        QFile file(Path(QStringLiteral("wine/user.reg")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }

    QTemporaryDir m_dir;
    std::unique_ptr<SettingsStore> m_store;
    Environment m_environment;
    std::unique_ptr<MainWindow> m_window;
    std::vector<Shown> m_messages;
    double m_now = 36000.0;
    QString m_nextFile;
    OpenFileRequest m_lastRequest;
};
