#include "cli/RandomizerCommands.h"

#include "app/FileAccess.h"
#include "app/FileNames.h"
#include "app/GameSettings.h"
#include "app/SettingsStore.h"
#include "cli/ConsoleBusyHost.h"
#include "cli/GamesCommand.h"
#include "image/Frames.h"
#include "image/ImageLoader.h"
#include "randomizer/GameLauncher.h"
#include "randomizer/GameShortcut.h"
#include "randomizer/Pools.h"
#include "randomizer/RandomizerSettings.h"
#include "randomizer/RunRandomizer.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {

QString ScreenWord(LoadingScreen screen)
{
    return screen == LoadingScreen::Login ? QStringLiteral("login") : QStringLiteral("character");
}

} // namespace

int RunPoolCommand(const QStringList& arguments, const CommandContext& context)
{
    QCommandLineParser parser;
    const QCommandLineOption game(QStringLiteral("game"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption frame(QStringLiteral("frame"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption compress(QStringLiteral("compress"));
    parser.addOptions({game, frame, compress});
    if (!parser.parse(QStringList{QStringLiteral("pool")} + arguments))
        return UsageError(context, parser.errorText());
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 3 || positional[0] != QLatin1String("add"))
        return UsageError(
            context, QStringLiteral("pool add needs a screen (login or character) and a picture or folder."));
    if (positional[1] != QLatin1String("login") && positional[1] != QLatin1String("character"))
        return UsageError(context,
                          QStringLiteral("Unknown screen: %1 (use login or character)").arg(positional[1]));
    const std::optional<QString> gameFolder =
        GameFolderArgument(parser.value(game), context, QStringLiteral("--game DIR is required."));
    if (!gameFolder)
        return kExitUsage;

    ConsoleBusyHost host(context.err);
    PoolTarget target;
    target.gameFolder = *gameFolder;
    target.screen = positional[1] == QLatin1String("login") ? LoadingScreen::Login : LoadingScreen::Character;
    target.frame = parser.value(frame);
    target.compress = parser.isSet(compress);
    // A frame that is given must serve.
    if (!target.frame.isEmpty()) {
        if (const Result<PixelBufferPtr> usable = LoadFrame(target.frame); !usable) {
            host.ShowFailure(usable.error());
            return kExitFailed;
        }
    }
    const QString source = positional[2];
    if (!IsFolder(source)) {
        const Result<QString> added = [&]() -> Result<QString> {
            Result<PixelBufferPtr> picture = LoadImageFile(host, source, kFrameWidth, kFrameHeight);
            if (!picture)
                return Fail(picture.error());
            return AddToPool(host, context.environment, target, QFileInfo(source).fileName(), *picture);
        }();
        if (!added) {
            host.ShowFailure(added.error());
            return kExitFailed;
        }
        std::fprintf(context.out, "%s\n", qPrintable(*added));
        return kExitOk;
    }

    const FolderPictures pictures = ListFolderPictures(source);
    if (pictures.capped)
        host.ShowMessage(kPoolLimitMessage, MessageIcon::None);
    const PassSummary summary = AddFolderToPool(host, context.environment, target, source, pictures);
    for (const QString& added : summary.added)
        std::fprintf(context.out, "%s\n", qPrintable(added));
    for (const auto& [name, failure] : summary.skipped)
        std::fprintf(context.err, "Skipped %s: %s\n", qPrintable(DisplayFileName(name)),
                     qPrintable(failure.Text().replace(QLatin1Char('\n'), QStringLiteral(" "))));
    std::fprintf(context.err, "%lld of %d pictures added to the %s pool%s.\n",
                 static_cast<long long>(summary.added.size()), summary.total,
                 qPrintable(ScreenWord(target.screen)), summary.cancelled ? " (stopped)" : "");
    return summary.skipped.isEmpty() && !summary.cancelled ? kExitOk : kExitFailed;
}

int RunRandomizeCommand(const QStringList& arguments, const CommandContext& context)
{
    QCommandLineParser parser;
    const QCommandLineOption game(QStringLiteral("game"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption noLaunch(QStringLiteral("no-launch"));
    parser.addOptions({game, noLaunch});
    if (!parser.parse(QStringList{QStringLiteral("randomize")} + arguments))
        return UsageError(context, parser.errorText());
    const std::optional<QString> gameFolder =
        GameFolderArgument(parser.value(game), context, QStringLiteral("--game DIR is required."));
    if (!gameFolder)
        return kExitUsage;

    SettingsStore store(SettingsStore::DefaultFilePath());
    WineLauncher launcher(QProcessEnvironment::systemEnvironment(), store.Read(setting::kWineProgram),
                          context.environment.winePlaces);
    RandomizerRunRequest request;
    request.gameFolder = *gameFolder;
    request.arguments = parser.positionalArguments();
    request.noRepeat = RandomizerSettings::Load(store).randomNoRepeat;
    request.launcher = parser.isSet(noLaunch) ? nullptr : &launcher;
    ConsoleBusyHost host(context.err);
    request.host = &host;
    const RandomizerRunOutcome outcome = RunRandomizer(context.environment, store, request);
    bool failed = false;
    for (const ScreenInstall& install : outcome.screens) {
        const QString screen = ScreenWord(install.screen);
        if (!install.poolFound) {
            std::fprintf(context.out, "%s: no pool\n", qPrintable(screen));
        } else if (!install.installed && install.installed.error().IsCancel()) {
            failed = true;
            std::fprintf(context.err, "%s: stopped\n", qPrintable(screen));
        } else if (install.pick.isEmpty()) {
            std::fprintf(context.out, "%s: the pool is empty\n", qPrintable(screen));
        } else if (install.installed) {
            std::fprintf(context.out, "%s: %s -> %s\n", qPrintable(screen), qPrintable(install.pick),
                         qPrintable(*install.installed));
        } else {
            failed = true;
            std::fprintf(context.err, "%s: %s could not be installed: %s\n", qPrintable(screen),
                         qPrintable(install.pick), qPrintable(install.installed.error().Text()));
        }
    }
    if (outcome.launchFailure) {
        host.ShowFailure(*outcome.launchFailure);
        failed = true;
    }
    return failed ? kExitFailed : kExitOk;
}

int RunShortcutCommand(const QStringList& arguments, const CommandContext& context)
{
    QCommandLineParser parser;
    const QCommandLineOption game(QStringLiteral("game"), QString(), QStringLiteral("DIR"));
    parser.addOption(game);
    if (!parser.parse(QStringList{QStringLiteral("shortcut")} + arguments))
        return UsageError(context, parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return UsageError(context, QStringLiteral("shortcut takes --game DIR and nothing else."));
    const std::optional<QString> gameFolder = GameFolderArgument(
        parser.value(game), context, QStringLiteral("shortcut takes --game DIR and nothing else."));
    if (!gameFolder)
        return kExitUsage;
    const SettingsStore store(SettingsStore::DefaultFilePath());
    const Result<QStringList> written =
        CreateGameShortcut(context.environment, *gameFolder, store.Read(setting::kWineProgram));
    if (!written) {
        ConsoleBusyHost(context.err).ShowFailure(written.error());
        return kExitFailed;
    }
    for (const QString& file : *written)
        std::fprintf(context.out, "%s\n", qPrintable(file));
    return kExitOk;
}
