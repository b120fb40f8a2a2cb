#include "image/ImageLoader.h"

#include "app/FileNames.h"
#include "image/PictureDecoder.h"

#include <QFileInfo>

QString BareFileName(const QString& fileName)
{
    return DisplayFileName(QFileInfo(fileName).fileName());
}

Result<PixelBufferPtr> LoadImageFile(BusyHost& host, const QString& fileName, qint32 width, qint32 height)
{
    const QString name = BareFileName(fileName);
    BusyScope busy(host, false, 10, QStringLiteral("Loading ") + name + QStringLiteral("..."));
    const Result<QImage> picture = DecodePicture(fileName, QSize(width, height));
    if (!picture)
        return Fail(picture.error());
    busy.Step(4, QStringLiteral("Resampling ") + name + QStringLiteral("..."));
    PixelBufferPtr loaded = PixelBuffer::ResampledPicture(*picture, QSize(width, height));
    if (!loaded)
        return Fail(kImageLoadError, MessageIcon::Exclamation,
                    QStringLiteral("A %1 x %2 picture cannot be made.").arg(width).arg(height));
    return loaded;
}

bool LoadImage(BusyHost& host, const QString& fileName, PixelBufferPtr& dibDest, qint32 width, qint32 height)
{
    Result<PixelBufferPtr> loaded = LoadImageFile(host, fileName, width, height);
    if (!loaded) {
        host.ShowFailure(loaded.error());
        return false;
    }
    dibDest = std::move(*loaded);
    return true;
}
