#include "image/ImageLoader.h"

#include "image/PictureDecoder.h"

#include <QFileInfo>

QString BareFileName(const QString& FileName)
{
    return QFileInfo(FileName).fileName();
}

bool LoadImageSteps(BusyHost& host, const QString& FileName, DibRef& dibDest, qint32 ImageWidth,
                    qint32 ImageHeight)
{
    const QString name = BareFileName(FileName);
    host.SetBusy(true, false, 10, QStringLiteral("Loading ") + name + QStringLiteral("..."));

    const QImage picture = DecodePicture(FileName);
    if (picture.isNull()) {
        host.ShowMessage(QStringLiteral("Image could not be loaded."), MessageIcon::Exclamation);
        return false;
    }
    host.ReportProgress(4, QStringLiteral("Resampling ") + name + QStringLiteral("..."));
    DibRef loaded = cDIBSection::ResamplePicture(picture, ImageHeight, ImageWidth);
    if (!loaded) {
        host.ShowMessage(QStringLiteral("Image could not be loaded."), MessageIcon::Exclamation);
        return false;
    }
    dibDest = std::move(loaded);
    return true;
}

bool LoadImage(BusyHost& host, const QString& FileName, DibRef& dibDest, qint32 ImageWidth,
               qint32 ImageHeight)
{
    struct LeaveBusy
    {
        BusyHost& host;
        ~LeaveBusy() { host.SetBusy(false, false, 0, QString()); }
    } leave{host};
    return LoadImageSteps(host, FileName, dibDest, ImageWidth, ImageHeight);
}
