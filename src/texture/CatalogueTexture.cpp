#include "texture/CatalogueTexture.h"

#include "app/FileAccess.h"
#include "app/GameFileWriter.h"
#include "texture/TextureWriter.h"

#include <QDir>
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

Result<QString> ConfinedTextureFile(const QString& gameFolder, const TextureTarget& target)
{
    if (Result<> usable = CheckGameFolder(gameFolder); !usable)
        return Fail(usable.error());
    // The data folder as it is spelled in the game folder; made when the game has none yet.
    const QString spelled = SpelledEntry(gameFolder, QStringLiteral("data"));
    const QString dataFolder =
        QDir(gameFolder).filePath(spelled.isEmpty() ? QStringLiteral("data") : spelled);
    if (!QFileInfo(dataFolder).isDir() && !QDir().mkdir(dataFolder))
        return Fail(Failure::Because(QStringLiteral("The folder %1 cannot be created.").arg(dataFolder)));
    // Resolved with the data folder as the root: no symlink below it may lead out.
    return ResolveWriteTarget(dataFolder, target.gamePath + QLatin1Char('/') + target.fileName +
                                              QStringLiteral(".texture"));
}

Result<QString> WriteTextureTargetTo(TextureWriter& writer, const QString& gameFolder, const QString& file,
                                     const TextureTarget& target, const PixelBuffer& picture)
{
    // The file as found on disk, the recorded name the catalogue's.
    const QFileInfo relative(QDir(QFileInfo(gameFolder).canonicalFilePath()).relativeFilePath(file));
    TextureRequest request = TextureRequestFor(gameFolder, target, picture);
    request.folder = relative.path();
    request.fileName = relative.completeBaseName();
    return writer.Write(request);
}
