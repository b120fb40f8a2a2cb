#include "texture/TextureReplacement.h"

#include "image/ImageLoader.h"
#include "image/PictureDecoder.h"
#include "texture/TextureWriter.h"

#include <optional>

Result<SourcePicture> SourcePicture::Load(BusyHost& host, const QString& file, QSize cover)
{
    BusyScope busy(host, false, 10, QStringLiteral("Loading ") + BareFileName(file) + QStringLiteral("..."));
    Result<QImage> decoded = DecodePicture(file, cover);
    if (!decoded)
        return Fail(decoded.error());
    SourcePicture source;
    source.m_file = file;
    source.m_picture = std::move(*decoded);
    return source;
}

PixelBufferPtr SourcePicture::Resampled(QSize size)
{
    if (!m_resampled || m_resampled->Size() != size)
        m_resampled = PixelBuffer::ResampledPicture(m_picture, size);
    return m_resampled;
}

Result<PixelBufferPtr> SourcePicture::At(BusyHost& host, QSize size)
{
    std::optional<BusyScope> busy;
    if (!m_resampled || m_resampled->Size() != size)
        busy.emplace(host, false, 10,
                     QStringLiteral("Resampling ") + BareFileName(m_file) + QStringLiteral("..."));
    PixelBufferPtr resampled = Resampled(size);
    if (!resampled)
        return Fail(kImageLoadError, MessageIcon::Exclamation,
                    QStringLiteral("A %1 x %2 picture cannot be made.").arg(size.width()).arg(size.height()));
    return resampled;
}

QList<Result<QString>>
ReplaceTextures(BusyHost& host, const Environment& environment, const ReplacementJob& job,
                const QList<CatalogueEntry>& entries,
                const std::function<void(const CatalogueEntry&, const Result<QString>&)>& onEntry)
{
    QList<Result<QString>> results;
    if (entries.isEmpty())
        return results;
    BusyScope batch(host, true, qint32(entries.size()), QString());
    QSize cover;
    for (const CatalogueEntry& entry : entries)
        cover = cover.expandedTo(QSize(entry.width, entry.height));
    Result<SourcePicture> picture = SourcePicture::Load(host, job.picture, cover);
    std::optional<Result<SourcePicture>> mask;
    if (!job.mask.isEmpty() && picture) {
        mask = SourcePicture::Load(host, job.mask, cover);
        if (!*mask)
            mask->error().Retitle(kMaskLoadError, MessageIcon::Exclamation);
    }
    // The whole batch is one job in the game folder (held once the pictures are decoded); a missing folder is
    // each write's failure.
    Result<GameFolderLock> lock = GameFolderLock::Acquire(job.gameFolder, &host);
    if (!lock && lock.error().IsCancel()) {
        for (qsizetype i = 0; i < entries.size(); ++i)
            results.append(Fail(Failure::Cancelled()));
        return results;
    }
    TextureWriter writer(host, TextureWriterOptions::From(environment, job.compress));

    for (const CatalogueEntry& entry : entries) {
        const Result<QString> result = [&]() -> Result<QString> {
            if (batch.Cancelled())
                return Fail(Failure::Cancelled());
            if (!picture)
                return Fail(picture.error());
            const Result<PixelBufferPtr> sized = picture->At(host, QSize(entry.width, entry.height));
            if (!sized)
                return Fail(sized.error());
            PixelBufferPtr alpha;
            if (mask) {
                if (!*mask)
                    return Fail(mask->error());
                const Result<PixelBufferPtr> sizedMask = (*mask)->At(host, QSize(entry.width, entry.height));
                if (!sizedMask)
                    return Fail(sizedMask.error());
                alpha = *sizedMask;
            }
            return WriteTextureTarget(writer, job.gameFolder, entry.Target(), **sized, alpha.get());
        }();
        results.append(result);
        if (onEntry)
            onEntry(entry, result);
        batch.Step(qint32(results.size()));
    }
    return results;
}

GameFileOwner ReplacementOwner(const QString& gameFolder, const CatalogueEntry& entry)
{
    if (gameFolder.isEmpty())
        return GameFileOwner::None;
    return OwnerOfGameFile(gameFolder, TextureFilePath(entry.Target()));
}

QList<Result<RestoreOutcome>> RestoreTextures(const QString& gameFolder, const QList<CatalogueEntry>& entries,
                                              BusyHost* host)
{
    QList<Result<RestoreOutcome>> outcomes;
    std::optional<Result<GameFolderLock>> lock;
    if (!gameFolder.isEmpty() && !entries.isEmpty()) {
        lock = GameFolderLock::Acquire(gameFolder, host);
        if (!*lock && (*lock).error().IsCancel()) {
            for (qsizetype i = 0; i < entries.size(); ++i)
                outcomes.append(Fail(Failure::Cancelled()));
            return outcomes;
        }
    }
    for (const CatalogueEntry& entry : entries) {
        if (gameFolder.isEmpty()) {
            outcomes.append(RestoreOutcome{});
            continue;
        }
        Result<RestoreOutcome> outcome = RestoreGameFile(gameFolder, TextureFilePath(entry.Target()));
        if (!outcome)
            outcome.error().Retitle(kRestoreErrorMessage, MessageIcon::Exclamation);
        outcomes.append(std::move(outcome));
    }
    return outcomes;
}
