#include "texture/LoadingScreen.h"

#include "texture/TextureWriter.h"

#include <QDir>
#include <QFileInfo>

LoadingScreenTarget TargetFor(LoadingScreen s)
{
    switch (s) {
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

bool SaveLoadingScreen(TextureWriter& writer, const QString& gameFolder, LoadingScreen s,
                       const cDIBSection& outputImage)
{
    // An empty or mistyped game folder would otherwise put a data tree below
    // the working folder or create the game folder itself.
    if (gameFolder.isEmpty() || !QFileInfo(gameFolder).isDir())
        return false;
    const LoadingScreenTarget target = TargetFor(s);
    const QString savePath = QDir(gameFolder).filePath(target.folder) + QLatin1Char('/');
    return writer.WriteTexture(savePath, target.name, target.name, outputImage, kLoadingScreenStoredWidth,
                               kLoadingScreenStoredHeight, true, kLoadingScreenDeclaredWidth,
                               kLoadingScreenDeclaredHeight, target.texPath, false, nullptr, true);
}
