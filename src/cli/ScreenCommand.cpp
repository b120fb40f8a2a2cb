#include "cli/ScreenCommand.h"

#include "cli/ConsoleBusyHost.h"
#include "image/Frames.h"
#include "image/ImageLoader.h"
#include "texture/LoadingScreen.h"

int RunScreenCommand(const ScreenRequest& request, const Environment& environment, std::FILE* err)
{
    ConsoleBusyHost host(err);
    const Result<QString> written = [&]() -> Result<QString> {
        Result<DibRef> picture = LoadImageFile(host, request.picture, kFrameWidth, kFrameHeight);
        if (!picture)
            return Fail(picture.error());
        LoadingScreenJob job;
        job.screen = request.login ? LoadingScreen::Login : LoadingScreen::Character;
        job.gameFolder = request.gameFolder;
        job.picture = *picture;
        job.black = request.black;
        job.white = request.white;
        job.frame = request.frame;
        job.frameRequired = true;
        job.compress = request.compress;
        return SaveLoadingScreen(host, environment, job);
    }();
    if (!written) {
        host.ShowFailure(written.error());
        return kExitFailed;
    }
    std::printf("%s\n", qPrintable(*written));
    return kExitOk;
}
