#include "texture/LoadingScreen.h"

#include "app/GameFileWriter.h"
#include "image/Frames.h"
#include "image/Levels.h"
#include "texture/CatalogueTexture.h"
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
    if (Result<> usable = CheckGameFolder(gameFolder); !usable)
        return Fail(usable.error());
    const LoadingScreenTarget screenTarget = TargetFor(screen);
    // A loading screen is a game texture like a catalogued one (1024 x 768
    // stored at 1024 x 1024) with the compressor options of full-screen backgrounds.
    const TextureTarget target{screenTarget.texPath.chopped(1), screenTarget.name,
                               kLoadingScreenDeclaredWidth, kLoadingScreenDeclaredHeight};
    TextureRequest request = TextureRequestFor(gameFolder, target, output);
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
