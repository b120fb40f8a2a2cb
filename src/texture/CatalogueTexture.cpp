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

Result<> CheckGameFolder(const QString& gameFolder)
{
    if (!gameFolder.isEmpty() && QFileInfo(gameFolder).isDir())
        return {};
    return Fail(kWriteErrorMessage, MessageIcon::Exclamation,
                gameFolder.isEmpty() ? QStringLiteral("No game folder is set.")
                                     : QStringLiteral("The game folder %1 does not exist.").arg(gameFolder));
}

TextureRequest TextureRequestFor(const QString& gameFolder, const TextureTarget& target,
                                 const PixelBuffer& picture)
{
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
    return request;
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
    if (Result<> usable = CheckGameFolder(gameFolder); !usable)
        return Fail(usable.error());
    TextureRequest request = TextureRequestFor(gameFolder, target, picture);
    request.alpha = alpha;
    return writer.Write(request);
}
