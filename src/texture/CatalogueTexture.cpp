#include "texture/CatalogueTexture.h"

#include "texture/TextureWriter.h"

#include <QFileInfo>

qint32 StoredTextureSize(qint32 declared)
{
    qint32 stored = 1;
    while (stored < declared && stored < (1 << 30))
        stored <<= 1;
    return stored;
}

QString TextureFilePath(const TextureTarget& target)
{
    return QStringLiteral("data/") + target.gamePath + QLatin1Char('/') + target.fileName +
           QStringLiteral(".texture");
}

Result<QString> WriteTextureTarget(TextureWriter& writer, const QString& gameFolder,
                                   const TextureTarget& target, const PixelBuffer& picture,
                                   const PixelBuffer* alpha)
{
    if (gameFolder.isEmpty() || !QFileInfo(gameFolder).isDir())
        return Fail(kWriteErrorMessage, MessageIcon::Exclamation,
                    gameFolder.isEmpty()
                        ? QStringLiteral("No game folder is set.")
                        : QStringLiteral("The game folder %1 does not exist.").arg(gameFolder));
    TextureRequest request;
    request.root = gameFolder;
    request.folder = QStringLiteral("data/") + target.gamePath;
    request.saveFile = target.fileName;
    request.fileName = target.fileName;
    request.picture = &picture;
    request.width = StoredTextureSize(target.width);
    request.height = StoredTextureSize(target.height);
    request.texture = true;
    request.texWidth = target.width;
    request.texHeight = target.height;
    request.texPath = target.gamePath + QLatin1Char('/');
    request.alpha = alpha;
    request.isLoginScreen = false;
    return writer.Write(request);
}
