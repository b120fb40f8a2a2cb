#include "texture/CatalogueTexture.h"

#include "app/FileAccess.h"
#include "app/GameFileWriter.h"
#include "texture/TextureWriter.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

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

namespace {

// Why nothing can be written into the game folder; nullopt when it can.
std::optional<QString> GameFolderProblem(const QString& gameFolder)
{
    if (!gameFolder.isEmpty() && QFileInfo(gameFolder).isDir())
        return std::nullopt;
    return gameFolder.isEmpty() ? QStringLiteral("No game folder is set.")
                                : QStringLiteral("The game folder %1 does not exist.").arg(gameFolder);
}

// The opaque write of picture as the target's replacement below data/.
TextureRequest TargetRequest(const QString& gameFolder, const TextureTarget& target,
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
    request.isLoginScreen = false;
    return request;
}

} // namespace

Result<QString> WriteTextureTarget(TextureWriter& writer, const QString& gameFolder,
                                   const TextureTarget& target, const PixelBuffer& picture,
                                   const PixelBuffer* alpha)
{
    if (const std::optional<QString> problem = GameFolderProblem(gameFolder))
        return Fail(kWriteErrorMessage, MessageIcon::Exclamation, *problem);
    TextureRequest request = TargetRequest(gameFolder, target, picture);
    request.alpha = alpha;
    return writer.Write(request);
}

Result<QString> ConfinedTextureFile(const QString& gameFolder, const TextureTarget& target)
{
    if (const std::optional<QString> problem = GameFolderProblem(gameFolder))
        return Fail(Failure::Because(*problem));
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
    const QFileInfo relative(QDir(QFileInfo(gameFolder).canonicalFilePath()).relativeFilePath(file));
    TextureRequest request = TargetRequest(gameFolder, target, picture);
    request.folder = relative.path();
    request.fileName = relative.completeBaseName();
    return writer.Write(request);
}
