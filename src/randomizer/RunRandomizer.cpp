#include "randomizer/RunRandomizer.h"

#include "app/FileAccess.h"
#include "app/GameFileWriter.h"
#include "randomizer/Pools.h"
#include "randomizer/RandomPick.h"
#include "randomizer/RandomizerSettings.h"
#include "texture/TextureWriter.h"

#include <QDir>
#include <QFileInfo>
#include <future>
#include <optional>
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
    std::optional<GameFolderLock> lock;
    bool cancelled = false;
    if (!request.gameFolder.isEmpty()) {
        // Without a game folder to lock the installs find out for themselves.
        Result<GameFolderLock> held = GameFolderLock::Acquire(request.gameFolder, request.host);
        if (held)
            lock.emplace(std::move(*held));
        cancelled = !held && held.error().IsCancel();
    }
    // The picks first, stored in one write of the settings before any texture
    // is written: a sync of the small settings file while 8 MB of textures wait
    // to go to disk would wait for those too. Then both wraps at once: each is
    // a 4 MB copy, a hash and a sync to disk, and there are two cores.
    SettingsChanges changes;
    QStringList poolFolders;
    for (const LoadingScreen screen : {LoadingScreen::Login, LoadingScreen::Character}) {
        ScreenInstall install;
        install.screen = screen;
        const QString poolFolder =
            request.gameFolder.isEmpty() ? QString() : GameFilePath(request.gameFolder, PoolFolder(screen));
        install.poolFound = !poolFolder.isEmpty() && QFileInfo(poolFolder).isDir();
        if (install.poolFound && cancelled) {
            install.installed = Fail(Failure::Cancelled());
            outcome.screens << install;
            poolFolders << poolFolder;
            continue;
        }
        if (install.poolFound) {
            const RoundNames names = RoundNamesFor(screen);
            install.pick = request.noRepeat
                               ? NoRepeatFile(poolFolder, names, store, changes, environment)
                               : RandomFile(poolFolder, names.lastPick, store, changes, environment);
        }
        if (install.pick.isEmpty())
            install.installed =
                Fail(Failure::Because(install.poolFound ? QStringLiteral("The pool is empty.")
                                                        : QStringLiteral("There is no pool.")));
        outcome.screens << install;
        poolFolders << poolFolder;
    }
    // The picks are stored whatever becomes of the wraps.
    store.WriteValues(changes);
    std::vector<std::future<Result<QString>>> wraps;
    for (qsizetype i = 0; i < outcome.screens.size(); ++i) {
        const ScreenInstall& install = outcome.screens[i];
        if (install.pick.isEmpty()) {
            wraps.emplace_back();
            continue;
        }
        const LoadingScreenTarget target = TargetFor(install.screen);
        const QString source = QDir(poolFolders[i]).filePath(install.pick);
        wraps.push_back(std::async(std::launch::async, [=, &request] {
            return WrapDdsAsTexture(source, target.name, request.gameFolder, target.folder, target.texPath);
        }));
    }
    for (qsizetype i = 0; i < outcome.screens.size(); ++i) {
        if (wraps[std::size_t(i)].valid())
            outcome.screens[i].installed = wraps[std::size_t(i)].get();
    }
    lock.reset();
    if (request.launcher) {
        const Result<> started =
            request.launcher->Start(request.gameFolder, ForwardedArguments(request.arguments));
        if (!started)
            outcome.launchFailure = started.error();
    }
    return outcome;
}
