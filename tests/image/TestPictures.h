#pragma once

#include "image/PixelBuffer.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <random>

namespace testpics {

// A buffer filled with reproducible noise (padding included).
inline PixelBufferPtr Noise(int width, int height, unsigned seed)
{
    auto dib = std::make_shared<PixelBuffer>();
    if (!dib->Create(width, height))
        return nullptr;
    std::mt19937 rng(seed);
    std::uint8_t* p = dib->Bits();
    for (std::size_t i = 0; i < dib->ImageSize(); ++i)
        p[i] = std::uint8_t(rng() & 0xff);
    return dib;
}

// Pixel (x, y) of the picture as seen top-down, in R, G, B order.
struct Rgb
{
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

inline Rgb PixelAt(const QImage& img, int x, int y)
{
    const QRgb c = img.pixel(x, y);
    return {qRed(c), qGreen(c), qBlue(c)};
}

inline bool Near(const Rgb& a, const Rgb& b, int tolerance)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline bool HaveConvert()
{
    return !QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty();
}

// Runs ImageMagick's convert with the given arguments.
inline bool Convert(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("convert"), args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A 1024x768 picture: one solid colour per quadrant plus a gradient row, saved as PNG.
inline QImage Quadrants(int width = 1024, int height = 768)
{
    QImage img(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            img.setPixel(x, y, qRgb(right ? 200 : 30, bottom ? 180 : 60, (x + y) & 0xff));
        }
    return img;
}

} // namespace testpics
