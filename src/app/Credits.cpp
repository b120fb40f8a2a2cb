#include "app/Credits.h"

#include <QStringList>

QString GetVersionText(int major, int minor, int revision)
{
    return QStringLiteral("v%1.%2 build %3").arg(major).arg(minor).arg(revision);
}

QString GetVersionText()
{
    return GetVersionText(LUMIVALE_VERSION_MAJOR, LUMIVALE_VERSION_MINOR, LUMIVALE_VERSION_REVISION);
}

QString CreditsText()
{
    // Years and holders as the packages' copyright files state them.
    const QStringList lines = {
        QStringLiteral("Qt 6, 2016-2022 The Qt Company Ltd. <https://www.qt.io>"),
        QStringLiteral("FFmpeg (libavformat, libavcodec, libswresample), 2001-2019 the FFmpeg developers "
                       "<https://ffmpeg.org>"),
        QStringLiteral("libogg, 1994-2020 Xiph.Org Foundation <https://xiph.org>"),
        QStringLiteral("libvorbis, 2002-2020 Xiph.Org Foundation <https://xiph.org>"),
        QStringLiteral("NVIDIA Texture Tools 2.0, 2007 NVIDIA Corporation "
                       "<https://github.com/castano/nvidia-texture-tools>"),
        QStringLiteral("stb_image, 2014-2022 Sean Barrett <https://github.com/nothings/stb>"),
        QStringLiteral("XPFrame and XPProgressBar controls, 2026 Lumivale developers <https://lumivale.org>"),
    };
    return lines.join(QStringLiteral("\r\n"));
}

QString MaintainerMailAddress()
{
    return QStringLiteral("team@lumivale.org");
}

QString MaintainerName()
{
    return QStringLiteral("the Lumivale team");
}
