#include "RecordingBusyHost.h"
#include "app/Credits.h"
#include "app/LinkOpener.h"
#include "app/Startup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(StartupTest, RandomizerSwitchIsCaseSensitiveAndMatchesInsideWords)
{
    EXPECT_TRUE(IsRandomizerCommandLine({QStringLiteral("-randomizer")}));
    EXPECT_TRUE(IsRandomizerCommandLine({QStringLiteral("-skipupdate"), QStringLiteral("-randomizer")}));
    EXPECT_TRUE(IsRandomizerCommandLine({QStringLiteral("x-randomizerx")}));
    EXPECT_FALSE(IsRandomizerCommandLine({QStringLiteral("-Randomizer")}));
    EXPECT_FALSE(IsRandomizerCommandLine({}));
    // The arguments are searched as one text, as they were typed.
    EXPECT_TRUE(IsRandomizerCommandLine({QStringLiteral("a"), QStringLiteral("-randomizer-b")}));
}

// Both waits count strictly more than their limit: 0.1 s after the busy end
// for a Close click, 30 s of silence for the randomizer run.
TEST(StartupTest, TimersNeedMoreThanTheirLimit)
{
    const struct
    {
        qint64 since;
        bool closes;
        bool silent;
    } cases[] = {{0, false, false},  {50, false, false},    {100, false, false},
                 {101, true, false}, {30'000, true, false}, {30'001, true, true}};
    for (const auto& c : cases) {
        EXPECT_EQ(QuitClickCloses(5'000 + c.since, 5'000), c.closes) << c.since;
        EXPECT_EQ(RandomizerSilenceExpired(5'000 + c.since, 5'000), c.silent) << c.since;
    }
}

TEST(StartupTest, DateTexts)
{
    const QDate day(2026, 12, 8);
    EXPECT_EQ(TodayText(day), TodayText(day));
    EXPECT_NE(TodayText(day), TodayText(day.addDays(1)));
}

TEST(CreditsTest, VersionAndCreditsTexts)
{
    EXPECT_EQ(GetVersionText(2, 5, 17), QStringLiteral("v2.5 build 17"));
    EXPECT_EQ(GetVersionText(1, 30, 0), QStringLiteral("v1.30 build 0"));
    EXPECT_EQ(GetVersionText(),
              GetVersionText(LUMIVALE_VERSION_MAJOR, LUMIVALE_VERSION_MINOR, LUMIVALE_VERSION_REVISION));
    const QString credits = CreditsText();
    EXPECT_FALSE(credits.endsWith(QStringLiteral("\r\n")));
    const QStringList lines = credits.split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines.size(), 7);
    for (const QString& line : lines) {
        EXPECT_FALSE(line.contains(QLatin1Char('\n'))) << qPrintable(line);
        EXPECT_TRUE(line.endsWith(QLatin1Char('>')) && line.contains(QStringLiteral("<http")))
            << qPrintable(line);
    }
    EXPECT_EQ(MaintainerMailAddress(), QStringLiteral("team@lumivale.org"));
}

TEST(LinkCommandTest, FieldCodesTakeTheLinkAsOneArgument)
{
    const QString link = QStringLiteral("mailto:team@lumivale.org?subject=Lumivale v2.5 build 17");
    const auto command =
        BuildLinkCommand(QStringLiteral("[Desktop Entry]\nName=Mail\nExec=mailer --compose %u\n"), link);
    ASSERT_TRUE(command);
    EXPECT_EQ(command->program, QStringLiteral("mailer"));
    EXPECT_EQ(command->arguments, (QStringList{QStringLiteral("--compose"), link}));

    // Only the first link code takes the link; %% is a percent; other codes vanish.
    const auto several = BuildLinkCommand(
        QStringLiteral("[Desktop Entry]\nExec=\"/opt/My Mail/mail\" %U %F --name=%c 100%% %i --url=%u\n"),
        QStringLiteral("x:\"quoted\" arg"));
    ASSERT_TRUE(several);
    EXPECT_EQ(several->program, QStringLiteral("/opt/My Mail/mail"));
    EXPECT_EQ(several->arguments, (QStringList{QStringLiteral("x:\"quoted\" arg"), QStringLiteral("--name="),
                                               QStringLiteral("100%"), QStringLiteral("--url=")}));
}

TEST(LinkCommandTest, LinkIsAppendedWithoutFieldCodeAndBadEntriesAreRefused)
{
    const auto appended = BuildLinkCommand(
        QStringLiteral(
            "[Desktop Entry]\nExec=sh -c \"echo \\\\\"hi\\\\\"\"\n[Desktop Action New]\nExec=other %u\n"),
        QStringLiteral("mailto:a@b"));
    ASSERT_TRUE(appended);
    EXPECT_EQ(appended->program, QStringLiteral("sh"));
    EXPECT_EQ(appended->arguments, (QStringList{QStringLiteral("-c"), QStringLiteral("echo \"hi\""),
                                                QStringLiteral("mailto:a@b")}));

    EXPECT_FALSE(BuildLinkCommand(QStringLiteral("[Desktop Entry]\nName=x\n"), QStringLiteral("l")));
    EXPECT_FALSE(BuildLinkCommand(QStringLiteral("[Desktop Entry]\nExec=\n"), QStringLiteral("l")));
    EXPECT_FALSE(
        BuildLinkCommand(QStringLiteral("[Desktop Entry]\nExec=\"unclosed %u\n"), QStringLiteral("l")));
    EXPECT_FALSE(BuildLinkCommand(QStringLiteral("[Desktop Entry]\nExec=%i\n"), QStringLiteral("l")));
    EXPECT_FALSE(BuildLinkCommand(QStringLiteral("[Other]\nExec=prog %u\n"), QStringLiteral("l")));
    EXPECT_FALSE(BuildLinkCommand(QString(), QStringLiteral("l")));
}

TEST(OpenLinkTest, WithoutHandlerShowsTheMessage)
{
    RecordingBusyHost host;
    LinkOpenerHooks hooks;
    bool started = false;
    hooks.resolve = [](const QString&, const QString&) { return std::optional<LinkCommand>(); };
    hooks.start = [&](const LinkCommand&) { return started = true; };
    EXPECT_FALSE(OpenLink(host, QStringLiteral("mailto"), QStringLiteral("mailto:a@b"), hooks));
    EXPECT_FALSE(started);
    ASSERT_EQ(host.Messages().size(), 1);
    EXPECT_EQ(host.Messages()[0].text, QStringLiteral("Unable to find a program for mailto links."));
    EXPECT_EQ(host.Messages()[0].icon, MessageIcon::Exclamation);
}

TEST(OpenLinkTest, WithHandlerStartsItsCommand)
{
    RecordingBusyHost host;
    LinkOpenerHooks hooks;
    QString askedProtocol;
    std::optional<LinkCommand> startedCommand;
    hooks.resolve = [&](const QString& protocol, const QString& link) {
        askedProtocol = protocol;
        return BuildLinkCommand(QStringLiteral("[Desktop Entry]\nExec=mailer %u\n"), link);
    };
    hooks.start = [&](const LinkCommand& command) {
        startedCommand = command;
        return true;
    };
    EXPECT_TRUE(OpenLink(host, QStringLiteral("mailto"), QStringLiteral("mailto:a@b"), hooks));
    EXPECT_EQ(askedProtocol, QStringLiteral("mailto"));
    ASSERT_TRUE(startedCommand);
    EXPECT_EQ(startedCommand->program, QStringLiteral("mailer"));
    EXPECT_EQ(startedCommand->arguments, QStringList{QStringLiteral("mailto:a@b")});
    EXPECT_TRUE(host.Messages().isEmpty());

    // A handler that cannot be started is reported, not silently ignored.
    hooks.start = [](const LinkCommand&) { return false; };
    EXPECT_FALSE(OpenLink(host, QStringLiteral("mailto"), QStringLiteral("mailto:a@b"), hooks));
    ASSERT_EQ(host.Messages().size(), 1);
    EXPECT_TRUE(host.Messages()[0].text.contains(QStringLiteral("mailer")));
}

// The real desktop lookup against a fake xdg-mime and a fake applications folder.
TEST(DesktopLookupTest, FindsTheHandlerThroughXdgMime)
{
    QTemporaryDir dir;
    const QString bin = dir.filePath(QStringLiteral("bin"));
    const QString apps = dir.filePath(QStringLiteral("data/applications/vendor"));
    ASSERT_TRUE(QDir().mkpath(bin));
    ASSERT_TRUE(QDir().mkpath(apps));
    QFile script(bin + QStringLiteral("/xdg-mime"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n"
                 "[ \"$3\" = x-scheme-handler/mailto ] && echo vendor-mailer.desktop && exit 0\n"
                 "exit 1\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile entry(apps + QStringLiteral("/mailer.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nExec=fake-mailer %u\n");
    entry.close();

    const QByteArray savedPath = qgetenv("PATH");
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    const QByteArray savedDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("PATH", bin.toUtf8());
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_DATA_DIRS", dir.filePath(QStringLiteral("none")).toUtf8());

    EXPECT_EQ(QueryDefaultHandler(QStringLiteral("mailto")), QStringLiteral("vendor-mailer.desktop"));
    EXPECT_EQ(QueryDefaultHandler(QStringLiteral("gopher")), QString());
    EXPECT_EQ(QueryDefaultHandler(QStringLiteral("bad protocol;")), QString());
    EXPECT_EQ(FindDesktopFile(QStringLiteral("vendor-mailer.desktop")),
              apps + QStringLiteral("/mailer.desktop"));
    EXPECT_EQ(FindDesktopFile(QStringLiteral("../x.desktop")), QString());
    const auto command = DesktopLinkCommand(QStringLiteral("mailto"), QStringLiteral("mailto:a@b"));
    ASSERT_TRUE(command);
    EXPECT_EQ(command->program, QStringLiteral("fake-mailer"));
    EXPECT_FALSE(DesktopLinkCommand(QStringLiteral("gopher"), QStringLiteral("gopher://x")));

    // Without xdg-mime there is no handler.
    qputenv("PATH", dir.filePath(QStringLiteral("empty")).toUtf8());
    EXPECT_EQ(QueryDefaultHandler(QStringLiteral("mailto")), QString());

    qputenv("PATH", savedPath);
    qputenv("XDG_DATA_HOME", savedData);
    qputenv("XDG_DATA_DIRS", savedDirs);
}

} // namespace
