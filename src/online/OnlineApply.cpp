#include "online/OnlineApply.h"

#include "app/GameFileWriter.h"
#include "image/ImageLoader.h"
#include "texture/TextureWriter.h"

#include <QFile>
#include <QThreadPool>
#include <algorithm>
#include <optional>
#include <thread>

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
    QList<int> waiting; // the slots with a picture, in slot order
    for (int i = 0; i < kOnlineSlots; ++i) {
        const Result<TextureTarget>& target = records[std::size_t(i)].texture;
        StoredPicture& picture = pictures[std::size_t(i)];
        if (picture.file.isEmpty())
            continue;
        waiting << i;
        const QSize size = target ? QSize(target->width, target->height) : QSize();
        if (target && (!picture.load.valid() || picture.size != size))
            picture = StartPictureLoad(picture.file, size);
    }
    // A picture is written as soon as it is loaded, after any earlier slot that names the same texture.
    const auto ready = [&](int i) {
        const Result<TextureTarget>& t = records[std::size_t(i)].texture;
        const std::shared_future<Result<PixelBufferPtr>>& load = pictures[std::size_t(i)].load;
        return (!load.valid() || load.wait_for(std::chrono::seconds(0)) == std::future_status::ready) &&
               std::none_of(waiting.cbegin(), std::find(waiting.cbegin(), waiting.cend(), i), [&](int j) {
                   const Result<TextureTarget>& o = records[std::size_t(j)].texture;
                   return t && o &&
                          TextureFilePath(*t).compare(TextureFilePath(*o), Qt::CaseInsensitive) == 0;
               });
    };
    QList<AppliedSlot> applied;
    std::optional<Result<GameFolderLock>> lock;
    while (!waiting.isEmpty()) {
        const auto next = std::find_if(waiting.cbegin(), waiting.cend(), ready);
        if (next == waiting.cend()) {
            host.PumpEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        const int i = *next;
        waiting.erase(next);
        const QString& picture = pictures[std::size_t(i)].file;
        const Result<QString> written = [&]() -> Result<QString> {
            const Result<TextureTarget>& target = records[std::size_t(i)].texture;
            if (!target)
                return Fail(Failure(target.error())
                                .Retitle(QStringLiteral("The online texture of slot %1 was skipped: its "
                                                        "settings are not valid.")
                                             .arg(i),
                                         MessageIcon::Exclamation));
            const Result<PixelBufferPtr>& loaded = pictures[std::size_t(i)].load.get();
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
    std::sort(applied.begin(), applied.end(),
              [](const AppliedSlot& a, const AppliedSlot& b) { return a.slot < b.slot; });
    return applied;
}
