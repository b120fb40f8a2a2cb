#include "randomizer/RunRandomizer.h"

#include "app/FileAccess.h"
#include "randomizer/Pools.h"
#include "randomizer/RandomPick.h"
#include "randomizer/RandomizerSettings.h"
#include "texture/TextureWriter.h"

#include <QDir>
#include <QFileInfo>
#include <future>
#include <vector>

namespace {

RoundNames RoundNamesFor(LoadingScreen screen)
{
    if (screen == LoadingScreen::Login)
        return {setting::kRandomHL, setting::kRandomOrderHL, setting::kRandomShownHL};
    return {setting::kRandomHC, setting::kRandomOrderHC, setting::kRandomShownHC};
}

} // namespace

RandomizerRunOutcome RunRandomizer(const Environment& environment, SettingsStore& store,
                                   const RandomizerRunRequest& request)
{
    RandomizerRunOutcome outcome;
    // The picks first (they read and write the settings), then both wraps at
    // once: each is a 4 MB copy, a hash and a sync to disk, and there are two cores.
    std::vector<std::future<Result<QString>>> wraps;
    SettingsChanges changes;
    for (const LoadingScreen screen : {LoadingScreen::Login, LoadingScreen::Character}) {
        ScreenInstall install;
        install.screen = screen;
        const QString poolFolder =
            request.gameFolder.isEmpty() ? QString() : GameFilePath(request.gameFolder, PoolFolder(screen));
        install.poolFound = !poolFolder.isEmpty() && QFileInfo(poolFolder).isDir();
        if (install.poolFound) {
            const RoundNames names = RoundNamesFor(screen);
            install.pick = request.noRepeat ? NoRepeatFile(poolFolder, names, store, changes, environment)
                                            : RandomFile(poolFolder, names.lastPick, store, changes, environment);
        }
        if (!install.pick.isEmpty()) {
            const LoadingScreenTarget target = TargetFor(screen);
            wraps.push_back(std::async(std::launch::async, [=, &request] {
                return WrapDdsAsTexture(QDir(poolFolder).filePath(install.pick), target.name, request.gameFolder,
                                        target.folder, target.texPath);
            }));
        } else {
            install.installed = Fail(Failure::Because(install.poolFound ? QStringLiteral("The pool is empty.")
                                                                        : QStringLiteral("There is no pool.")));
            wraps.emplace_back();
        }
        outcome.screens << install;
    }
    // The picks are stored whatever becomes of the wraps.
    store.WriteValues(changes);
    for (qsizetype i = 0; i < outcome.screens.size(); ++i) {
        if (wraps[std::size_t(i)].valid())
            outcome.screens[i].installed = wraps[std::size_t(i)].get();
    }
    if (request.launcher) {
        const Result<> started =
            request.launcher->Start(request.gameFolder, ForwardedArguments(request.argumentText));
        if (!started)
            outcome.launchFailure = started.error();
    }
    return outcome;
}
