#include "randomizer/RunRandomizer.h"

#include "app/FileAccess.h"
#include "randomizer/Pools.h"
#include "randomizer/RandomPick.h"
#include "randomizer/RandomizerSettings.h"
#include "texture/TextureWriter.h"

#include <QDir>
#include <QFileInfo>

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
    for (const LoadingScreen screen : {LoadingScreen::Login, LoadingScreen::Character}) {
        ScreenInstall install;
        install.screen = screen;
        const QString poolFolder =
            request.gameFolder.isEmpty() ? QString() : GameFilePath(request.gameFolder, PoolFolder(screen));
        install.poolFound = !poolFolder.isEmpty() && QFileInfo(poolFolder).isDir();
        if (!install.poolFound) {
            outcome.screens << install;
            continue;
        }
        const RoundNames names = RoundNamesFor(screen);
        install.pick = request.noRepeat ? NoRepeatFile(poolFolder, names, store, environment)
                                        : RandomFile(poolFolder, names.lastPick, store, environment);
        if (!install.pick.isEmpty()) {
            const LoadingScreenTarget target = TargetFor(screen);
            install.installed = WrapDdsAsTexture(QDir(poolFolder).filePath(install.pick), target.name,
                                                 request.gameFolder, target.folder, target.texPath);
        } else {
            install.installed = Fail(Failure::Because(QStringLiteral("The pool is empty.")));
        }
        outcome.screens << install;
    }
    if (request.launcher) {
        const Result<> started =
            request.launcher->Start(request.gameFolder, ForwardedArguments(request.argumentText));
        if (!started)
            outcome.launchFailure = started.error();
    }
    return outcome;
}
