#include "randomizer/Pools.h"

#include "app/FileAccess.h"
#include "app/FileNames.h"
#include "app/GameFileWriter.h"
#include "image/Frames.h"
#include "image/PictureDecoder.h"
#include "texture/TextureWriter.h"

#include <QFileInfo>
#include <chrono>
#include <deque>
#include <future>

namespace {

// Pictures decoded ahead of the one being written.
constexpr int kDecodeAhead = 2;

Result<PixelBufferPtr> DecodeForPool(const QString& path)
{
    const Result<QImage> picture = DecodePicture(path, QSize(kFrameWidth, kFrameHeight));
    if (!picture)
        return Fail(picture.error());
    PixelBufferPtr resampled = PixelBuffer::ResampledPicture(*picture, QSize(kFrameWidth, kFrameHeight));
    if (!resampled)
        return Fail(kImageLoadError, MessageIcon::Exclamation, QStringLiteral("There is not enough memory."));
    return resampled;
}

// A file manager's order: runs of digits compare by their value ("img2" before
// "img10"), everything else by character without regard to case; names equal
// that way fall back to plain order so the sort is total.
bool NameOrderLess(const QString& a, const QString& b)
{
    const auto isDigit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && isDigit(a[ei]))
                ++ei;
            while (ej < b.size() && isDigit(b[ej]))
                ++ej;
            // Leading zeros aside, the longer run is the larger number.
            QStringView x = QStringView(a).sliced(i, ei - i), y = QStringView(b).sliced(j, ej - j);
            while (x.size() > 1 && x.front() == QLatin1Char('0'))
                x = x.sliced(1);
            while (y.size() > 1 && y.front() == QLatin1Char('0'))
                y = y.sliced(1);
            if (x.size() != y.size())
                return x.size() < y.size();
            if (const int order = x.compare(y); order != 0)
                return order < 0;
            i = ei;
            j = ej;
            continue;
        }
        const QChar ca = a[i].toCaseFolded(), cb = b[j].toCaseFolded();
        if (ca != cb)
            return ca < cb;
        ++i;
        ++j;
    }
    if ((i < a.size()) != (j < b.size()))
        return j < b.size();
    return a < b;
}

} // namespace

QString PoolFolder(LoadingScreen screen)
{
    return screen == LoadingScreen::Login ? QStringLiteral("Lumivale/RandomHL")
                                          : QStringLiteral("Lumivale/RandomHC");
}

QString PoolButtonCaption(LoadingScreen screen)
{
    return screen == LoadingScreen::Login ? QStringLiteral("Add to login screen")
                                          : QStringLiteral("Add to character selection screen");
}

bool IsPoolPicture(const QString& fileName)
{
    static const QStringList kEndings = {QStringLiteral(".jpg"), QStringLiteral("jpeg"),
                                         QStringLiteral(".png"), QStringLiteral(".gif"),
                                         QStringLiteral(".bmp"), QStringLiteral(".tga")};
    return kEndings.contains(fileName.right(4).toLower());
}

FolderPictures ListFolderPictures(const QString& folder)
{
    FolderPictures pictures;
    if (folder.isEmpty())
        return pictures;
    // Listed through the names' bytes, so a name that is not UTF-8 is taken too.
    for (const QString& name : ListRegularFiles(folder).value_or(QStringList())) {
        if (IsPoolPicture(name))
            pictures.names << name;
    }
    std::sort(pictures.names.begin(), pictures.names.end(), NameOrderLess);
    if (pictures.names.size() >= kPoolPassLimit) {
        pictures.capped = true;
        pictures.names = pictures.names.first(kPoolPassLimit);
    }
    return pictures;
}

Result<QString> AddToPool(BusyHost& host, const Environment& environment, const PoolTarget& target,
                          const QString& name, const PixelBufferPtr& picture)
{
    PixelBufferPtr frame;
    if (!target.frame.isEmpty())
        frame = LoadFrame(target.frame).value_or(PixelBufferPtr());
    return AddToPool(host, environment, target, name, picture, frame.get());
}

Result<QString> AddToPool(BusyHost& host, const Environment& environment, const PoolTarget& target,
                          const QString& name, const PixelBufferPtr& picture, const PixelBuffer* frame)
{
    if (target.gameFolder.isEmpty() || !QFileInfo(target.gameFolder).isDir())
        return Fail(kWriteErrorMessage, MessageIcon::Exclamation,
                    target.gameFolder.isEmpty()
                        ? QStringLiteral("No game folder is set.")
                        : QStringLiteral("The game folder %1 does not exist.").arg(target.gameFolder));
    if (!picture || picture->IsEmpty())
        return Fail(kWriteErrorMessage, MessageIcon::Exclamation, QStringLiteral("No picture is loaded."));
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return Fail(kWriteErrorMessage, MessageIcon::Exclamation,
                    QStringLiteral("%1 is not a plain file name.").arg(name));
    // The pool folder is made inside the game folder; the pool file stays inside the pool folder.
    // Its name is the picture's as shown, so the pool holds only UTF-8 names.
    const Result<QString> poolFile =
        ResolveWriteTarget(target.gameFolder, PoolFolder(target.screen) + QLatin1Char('/') +
                                                  DisplayFileName(name) + QStringLiteral(".dds"));
    if (!poolFile)
        return Fail(Failure(poolFile.error()).Retitle(kWriteErrorMessage, MessageIcon::Exclamation));
    const PixelBufferPtr output = frame ? ApplyFrame(*frame, picture) : picture;
    // Shared with the pass around it, if any; a randomizer run reading the pool waits.
    const Result<GameFolderLock> lock = GameFolderLock::Acquire(target.gameFolder, &host);
    if (!lock)
        return Fail(lock.error().IsCancel()
                        ? lock.error()
                        : Failure(lock.error()).Retitle(kWriteErrorMessage, MessageIcon::Exclamation));

    TextureRequest request;
    request.root = QFileInfo(*poolFile).path();
    request.saveFile = QStringLiteral("coh");
    request.fileName = DisplayFileName(name);
    request.picture = output.get();
    request.width = 1024;
    request.height = 1024;
    request.texture = false;
    request.isLoginScreen = true;
    TextureWriter writer(host, TextureWriterOptions::From(environment, target.compress));
    return writer.Write(request);
}

PassSummary AddFolderToPool(BusyHost& host, const Environment& environment, const PoolTarget& target,
                            const QString& folder, const FolderPictures& pictures,
                            const std::function<void(int, int)>& onPicture)
{
    PassSummary summary;
    summary.total = int(pictures.names.size());
    if (pictures.names.isEmpty())
        return summary;
    const int n = summary.total;
    BusyScope busy(host, true, n, QStringLiteral("Image 1 of %1").arg(n));
    // The pass is one job: held across every picture (a missing game folder is each picture's failure).
    Result<GameFolderLock> lock = GameFolderLock::Acquire(target.gameFolder, &host);
    if (!lock && lock.error().IsCancel()) {
        summary.cancelled = true;
        return summary;
    }
    // The frame is decoded once for the whole pass.
    PixelBufferPtr frame;
    if (!target.frame.isEmpty())
        frame = LoadFrame(target.frame).value_or(PixelBufferPtr());

    // Joined as text: the names may hold bytes that are not UTF-8 (see FileNames.h).
    const QString base = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    const auto pathOf = [&](int i) { return base + pictures.names[i]; };
    std::deque<std::future<Result<PixelBufferPtr>>> ahead;
    int launched = 0;
    const auto launch = [&] {
        while (launched < n && int(ahead.size()) < kDecodeAhead + 1) {
            ahead.push_back(std::async(std::launch::async, DecodeForPool, pathOf(launched)));
            ++launched;
        }
    };
    for (int i = 0; i < n; ++i) {
        launch();
        std::future<Result<PixelBufferPtr>> next = std::move(ahead.front());
        ahead.pop_front();
        // The window stays live while the picture is decoded.
        while (next.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
            host.PumpEvents();
        if (busy.Cancelled()) {
            summary.cancelled = true;
            break;
        }
        Result<PixelBufferPtr> decoded = next.get();
        busy.Step(i, QStringLiteral("Image %1 of %2").arg(i + 1).arg(n));
        if (onPicture)
            onPicture(i + 1, n);
        summary.lastPicture = pathOf(i);
        if (!decoded) {
            summary.skipped.append({pictures.names[i], decoded.error()});
            continue;
        }
        const Result<QString> written =
            AddToPool(host, environment, target, pictures.names[i], *decoded, frame.get());
        if (written) {
            summary.added << *written;
        } else if (written.error().IsCancel()) {
            summary.cancelled = true;
            break;
        } else {
            summary.skipped.append({pictures.names[i], written.error()});
        }
        if (busy.Cancelled()) {
            summary.cancelled = true;
            break;
        }
    }
    // Decodes still running finish before the pass returns (their futures wait).
    ahead.clear();
    if (!summary.cancelled)
        summary.lastPicture = pathOf(n - 1);
    return summary;
}

Failure SkippedPicturesMessage(const PassSummary& summary)
{
    // One block per headline ("Image could not be loaded.", "Error writing
    // image..."), in the order they first came up, each naming its pictures
    // (the first few, so the box stays readable); the messages that came up on
    // the way (the compressor's) once each, before them.
    constexpr int kNamesShown = 20;
    QStringList notes;
    QStringList headlines;
    QMap<QString, QStringList> names;
    MessageIcon icon = MessageIcon::Exclamation;
    for (const auto& [name, failure] : summary.skipped) {
        for (const Message& note : failure.Notes()) {
            if (!notes.contains(note.FullText()))
                notes << note.FullText();
            if (note.icon == MessageIcon::Critical)
                icon = MessageIcon::Critical;
        }
        const Message headline = failure.Headline();
        if (!headlines.contains(headline.text))
            headlines << headline.text;
        const QString shownName = DisplayFileName(name);
        names[headline.text] << (headline.detail.isEmpty()
                                     ? shownName
                                     : shownName + QStringLiteral(": ") + headline.detail);
    }
    if (headlines.isEmpty())
        return Failure();
    QStringList blocks = notes;
    for (const QString& headline : headlines) {
        const QStringList& all = names[headline];
        QStringList shown = all.first(std::min<qsizetype>(all.size(), kNamesShown));
        if (all.size() > kNamesShown)
            shown << QStringLiteral("... and %1 more").arg(all.size() - kNamesShown);
        blocks << headline + QLatin1Char('\n') + shown.join(QLatin1Char('\n'));
    }
    return Failure(blocks.join(QStringLiteral("\n\n")), icon);
}
