#include "online/OnlineApply.h"

#include "app/FileAccess.h"
#include "app/GameFileWriter.h"
#include "image/ImageLoader.h"
#include "texture/TextureWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <future>
#include <optional>

namespace {

// The host of a load on a worker thread: nothing to show, no events to run.
class QuietHost : public BusyHost
{
public:
    void PumpEvents() override {}
    void ShowMessage(const Message&) override {}
    bool Confirm(const QString&) override { return false; }
};

Failure NoGameFolder(const QString& gameFolder)
{
    return Failure::Because(gameFolder.isEmpty()
                                ? QStringLiteral("No game folder is set.")
                                : QStringLiteral("The game folder %1 does not exist.").arg(gameFolder));
}

// Writes the picture to the resolved file (relative to the game folder), with
// the texture's own path and name recorded inside.
Result<QString> WriteResolved(TextureWriter& writer, const QString& gameFolder, const QString& resolved,
                              const TextureTarget& target, const PixelBuffer& picture)
{
    const QString relative = QDir(QFileInfo(gameFolder).canonicalFilePath()).relativeFilePath(resolved);
    const QFileInfo file(relative);
    // The file as found on disk, the recorded name the catalogue's.
    TextureRequest request = TextureRequestFor(gameFolder, target, picture);
    request.folder = file.path();
    request.fileName = file.completeBaseName();
    return writer.Write(request);
}

} // namespace

Result<QString> ConfinedTextureFile(const QString& gameFolder, const TextureTarget& target)
{
    if (gameFolder.isEmpty() || !QFileInfo(gameFolder).isDir())
        return Fail(NoGameFolder(gameFolder));
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

QList<AppliedSlot> ApplyDownloads(BusyHost& host, TextureWriter& writer, const QString& gameFolder,
                                  const std::array<OnlineSlot, kOnlineSlots>& records,
                                  const std::array<QString, kOnlineSlots>& pictures)
{
    // Decoding and resampling, most of the work, run beside each other and
    // ahead of the writes, which stay in slot order on this thread.
    std::array<std::future<Result<PixelBufferPtr>>, kOnlineSlots> loads;
    for (int i = 0; i < kOnlineSlots; ++i) {
        const Result<TextureTarget>& target = records[std::size_t(i)].texture;
        if (const QString& picture = pictures[std::size_t(i)]; !picture.isEmpty() && target)
            loads[std::size_t(i)] = std::async(std::launch::async, [picture, target = *target] {
                QuietHost quiet;
                return LoadImageFile(quiet, picture, target.width, target.height);
            });
    }
    QList<AppliedSlot> applied;
    std::optional<Result<GameFolderLock>> lock;
    for (int i = 0; i < kOnlineSlots; ++i) {
        const QString& picture = pictures[std::size_t(i)];
        if (picture.isEmpty())
            continue;
        const Result<QString> written = [&]() -> Result<QString> {
            const Result<TextureTarget>& target = records[std::size_t(i)].texture;
            if (!target)
                return Fail(Failure(target.error())
                                .Retitle(QStringLiteral("The online texture of slot %1 was skipped: its "
                                                        "settings are not valid.")
                                             .arg(i),
                                         MessageIcon::Exclamation));
            std::future<Result<PixelBufferPtr>>& load = loads[std::size_t(i)];
            while (load.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
                host.PumpEvents();
            const Result<PixelBufferPtr> loaded = load.get();
            if (!loaded)
                return Fail(loaded.error());
            // One hold on the game folder for the whole batch, from the first check to the last write.
            if (!lock)
                lock = GameFolderLock::Acquire(gameFolder, &host);
            if (!*lock)
                return Fail(Failure(lock->error()).Retitle(kWriteErrorMessage, MessageIcon::Exclamation));
            const Result<QString> file = ConfinedTextureFile(gameFolder, *target);
            if (!file)
                return Fail(Failure(file.error()).Retitle(kWriteErrorMessage, MessageIcon::Exclamation));
            return WriteResolved(writer, gameFolder, *file, *target, **loaded);
        }();
        QFile::remove(picture);
        applied.append({i, written});
    }
    return applied;
}
