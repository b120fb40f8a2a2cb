#include "online/OnlineApply.h"

#include "app/GameFileWriter.h"
#include "image/ImageLoader.h"
#include "texture/TextureWriter.h"

#include <QFile>
#include <QThreadPool>
#include <optional>

StoredPicture StartPictureLoad(const QString& file, QSize size)
{
    // Decoding and resampling are most of the work: one picture a core, the writes on the caller's thread.
    static QThreadPool pool;
    auto task = std::make_shared<std::packaged_task<Result<PixelBufferPtr>()>>([file, size] {
        SilentBusyHost quiet;
        return LoadImageFile(quiet, file, size.width(), size.height());
    });
    StoredPicture picture{file, size, task->get_future().share()};
    pool.start([task] { (*task)(); });
    return picture;
}

QList<AppliedSlot> ApplyDownloads(BusyHost& host, TextureWriter& writer, const QString& gameFolder,
                                  const std::array<OnlineSlot, kOnlineSlots>& records,
                                  StoredPictures pictures)
{
    for (int i = 0; i < kOnlineSlots; ++i) {
        const Result<TextureTarget>& target = records[std::size_t(i)].texture;
        StoredPicture& picture = pictures[std::size_t(i)];
        const QSize size = target ? QSize(target->width, target->height) : QSize();
        if (!picture.file.isEmpty() && target && (!picture.load.valid() || picture.size != size))
            picture = StartPictureLoad(picture.file, size);
    }
    QList<AppliedSlot> applied;
    std::optional<Result<GameFolderLock>> lock;
    for (int i = 0; i < kOnlineSlots; ++i) {
        const QString& picture = pictures[std::size_t(i)].file;
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
            const std::shared_future<Result<PixelBufferPtr>>& load = pictures[std::size_t(i)].load;
            while (load.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
                host.PumpEvents();
            const Result<PixelBufferPtr>& loaded = load.get();
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
            return WriteTextureTargetTo(writer, gameFolder, *file, *target, **loaded);
        }();
        QFile::remove(picture);
        applied.append({i, written});
    }
    return applied;
}
