#include "texture/LoadingScreen.h"

#include "app/GameFileWriter.h"
#include "image/Frames.h"
#include "image/Levels.h"
#include "texture/TextureWriter.h"

#include <QFileInfo>

LoadingScreenTarget TargetFor(LoadingScreen screen)
{
    switch (screen) {
    case LoadingScreen::Login:
        return {QStringLiteral("data/texture_library/GUI/CREATION/HybridUI/LoginScreen"),
                QStringLiteral("COH_LogInScreen_Background"),
                QStringLiteral("texture_library/GUI/CREATION/HybridUI/LoginScreen/")};
    case LoadingScreen::Character:
        break;
    }
    return {QStringLiteral("data/texture_library/GUI/CREATION/HybridUI/CharacterCreationUI"),
            QStringLiteral("background"),
            QStringLiteral("texture_library/GUI/CREATION/HybridUI/CharacterCreationUI/")};
}

Result<QString> WriteLoadingScreen(TextureWriter& writer, const QString& gameFolder, LoadingScreen screen,
                                   const PixelBuffer& output)
{
    // An empty or mistyped game folder would otherwise put a data tree below
    // the working folder or create the game folder itself.
    if (gameFolder.isEmpty() || !QFileInfo(gameFolder).isDir())
        return Fail(kWriteErrorMessage, MessageIcon::Exclamation,
                    gameFolder.isEmpty()
                        ? QStringLiteral("No game folder is set.")
                        : QStringLiteral("The game folder %1 does not exist.").arg(gameFolder));
    const LoadingScreenTarget target = TargetFor(screen);
    TextureRequest request;
    request.root = gameFolder;
    request.folder = target.folder;
    request.saveFile = target.name;
    request.fileName = target.name;
    request.picture = &output;
    request.width = kLoadingScreenStoredWidth;
    request.height = kLoadingScreenStoredHeight;
    request.texture = true;
    request.texWidth = kLoadingScreenDeclaredWidth;
    request.texHeight = kLoadingScreenDeclaredHeight;
    request.texPath = target.texPath;
    request.isLoginScreen = true;
    return writer.Write(request);
}

Result<QString> SaveLoadingScreen(BusyHost& host, const Environment& environment, const LoadingScreenJob& job)
{
    if (!job.picture || job.picture->IsEmpty())
        return Fail(kWriteErrorMessage, MessageIcon::Exclamation, QStringLiteral("No picture is loaded."));
    PixelBufferPtr output = job.picture;
    if (LevelsChangeAnything(job.black, job.white)) {
        // The caller's picture stays as it was; the levels go into a copy.
        output = job.picture->Resampled(job.picture->Size());
        if (!output)
            return Fail(kWriteErrorMessage, MessageIcon::Exclamation,
                        QStringLiteral("There is not enough memory."));
        ApplyLevels(*output, job.black, job.white);
    }
    if (!job.frame.isEmpty()) {
        const Result<PixelBufferPtr> frame = LoadFrame(job.frame);
        if (frame)
            output = ApplyFrame(**frame, output);
        else if (job.frameRequired)
            return Fail(frame.error());
    }
    TextureWriter writer(host, TextureWriterOptions::From(environment, job.compress));
    // A missing game folder is told by the write itself.
    Result<GameFolderLock> lock = GameFolderLock::Acquire(job.gameFolder, &host);
    if (!lock && lock.error().IsCancel())
        return Fail(lock.error());
    return WriteLoadingScreen(writer, job.gameFolder, job.screen, *output);
}
