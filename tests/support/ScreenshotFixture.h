#pragma once

#include "WindowFixture.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

// Pictures of the window for looking at, not assertions: the tests of this
// fixture run only when LUMIVALE_SCREENSHOTS names a folder, and Shoot writes
// the window there as <name>.png.
class ScreenshotFixture : public WindowFixture
{
protected:
    void SetUp() override
    {
        m_folder = qEnvironmentVariable("LUMIVALE_SCREENSHOTS");
        if (m_folder.isEmpty())
            GTEST_SKIP() << "LUMIVALE_SCREENSHOTS is not set";
        WindowFixture::SetUp();
        QDir().mkpath(m_folder);
    }

    void Shoot(const char* name)
    {
        QApplication::processEvents();
        m_window->grab().toImage().save(QDir(m_folder).filePath(QString::fromLatin1(name) + ".png"));
    }

    QString m_folder;
};

// A sunset with a bright disc, saved at path.
inline QString MakePicture(const QString& path, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(20, 30, 90));
    sky.setColorAt(0.6, QColor(230, 120, 60));
    sky.setColorAt(1, QColor(40, 20, 20));
    p.fillRect(image.rect(), sky);
    p.setBrush(QColor(250, 220, 120));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPoint(size.width() * 2 / 3, size.height() * 3 / 5), size.height() / 8, size.height() / 8);
    p.end();
    image.save(path);
    return path;
}
