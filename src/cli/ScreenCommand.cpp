#include "cli/ScreenCommand.h"

#include "app/AppPaths.h"
#include "app/HeadlessBusyHost.h"
#include "image/Frames.h"
#include "image/ImageLoader.h"
#include "image/Levels.h"
#include "texture/LoadingScreen.h"
#include "texture/TextureWriter.h"

#include <QFileInfo>

int RunScreenCommand(const ScreenRequest& request, std::FILE* err)
{
    if (!QFileInfo(request.gameFolder).isDir()) {
        std::fprintf(err, "Game folder not found: %s\n", qPrintable(request.gameFolder));
        return kExitFailed;
    }

    HeadlessBusyHost host(err);
    DibRef source;
    // LoadImage reports its own failure through the host.
    if (!LoadImage(host, request.picture, source, kFrameWidth, kFrameHeight) || !source)
        return kExitFailed;

    // The same rule as the window's Apply: only a real adjustment touches the pixels.
    if (request.white < 255 || request.black >= 1)
        AdjustLevels(*source, qint16(request.black), qint16(request.white));

    DibRef output = source;
    if (!request.frame.isEmpty()) {
        const FrameCheck check = CheckFrameFile(request.frame);
        if (check != FrameCheck::Ok)
            std::fprintf(err, "Frame not used: %s\n", qPrintable(FrameCheckMessage(check)));
        output = ApplyFrame(request.frame, source);
    }

    TextureWriterOptions options;
    options.compress = request.compress;
    options.workFolder = WorkFolder();
    options.compressorPath = FindCompressor();
    TextureWriter writer(host, options);
    if (!SaveLoadingScreen(writer, request.gameFolder,
                           request.login ? LoadingScreen::Login : LoadingScreen::Character, *output)) {
        host.ShowMessage(kWriteErrorMessage, MessageIcon::Exclamation);
        return kExitFailed;
    }
    return kExitOk;
}
