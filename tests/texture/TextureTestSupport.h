#pragma once

#include "app/HeadlessBusyHost.h"
#include "image/cDIBSection.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdint>

// A picture whose every pixel is distinct enough to catch swapped rows,
// columns or channels: blue = x, green = picture row from the top, red = x + y.
inline DibRef PatternPicture(int width, int height)
{
    auto dib = std::make_shared<cDIBSection>();
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

inline DibRef FilledPicture(int width, int height, std::uint8_t b, std::uint8_t g, std::uint8_t r)
{
    auto dib = std::make_shared<cDIBSection>();
    dib->Create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            dib->Row(y)[3 * x] = b;
            dib->Row(y)[3 * x + 1] = g;
            dib->Row(y)[3 * x + 2] = r;
        }
    return dib;
}

inline QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline quint32 U32At(const QByteArray& bytes, qsizetype offset)
{
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | std::uint8_t(bytes[offset + i]);
    return v;
}

struct ProcessResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline ProcessResult
RunTool(const QString& program, const QStringList& arguments, int timeoutMs = 60000,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(program, arguments);
    ProcessResult r;
    if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// Decodes a DDS (or any picture) with ImageMagick, an independent reader, into
// top-down RGBA bytes. Empty when it refuses the file.
inline QByteArray DecodeRgba(const QString& path)
{
    if (RunTool(QStringLiteral("identify"), {QStringLiteral("-regard-warnings"), path}).exitCode != 0)
        return {};
    const ProcessResult r =
        RunTool(QStringLiteral("convert"),
                {path, QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("rgba:-")});
    return r.exitCode == 0 ? r.out : QByteArray();
}
