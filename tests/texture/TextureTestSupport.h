#pragma once

#include "RecordingBusyHost.h"
#include "TestTools.h"
#include "image/PixelBuffer.h"
#include "texture/TextureWriter.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdint>

// A picture whose every pixel is distinct enough to catch swapped rows,
// columns or channels: blue = x, green = picture row from the top, red = x + y.
inline PixelBufferPtr PatternPicture(int width, int height)
{
    auto dib = std::make_shared<PixelBuffer>();
    dib->Create(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = dib->Row(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = std::uint8_t(x);
            row[3 * x + 1] = std::uint8_t(y);
            row[3 * x + 2] = std::uint8_t(x + 3 * y);
        }
    }
    return dib;
}

// Writes the request; the writer's own messages (the compressor's) are shown
// through the host as a caller shows them.
inline bool WriteShown(TextureWriter& writer, BusyHost& host, const TextureRequest& request)
{
    const Result<QString> written = writer.Write(request);
    if (!written) {
        for (const Message& note : written.error().Notes())
            host.ShowMessage(note);
    }
    return written.has_value();
}

inline PixelBufferPtr FilledPicture(int width, int height, std::uint8_t b, std::uint8_t g, std::uint8_t r)
{
    auto dib = std::make_shared<PixelBuffer>();
    dib->Create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            dib->Row(y)[3 * x] = b;
            dib->Row(y)[3 * x + 1] = g;
            dib->Row(y)[3 * x + 2] = r;
        }
    return dib;
}
