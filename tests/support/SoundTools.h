#pragma once

#include "TestTools.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

// Sound files made with FFmpeg at test time, and the independent readers the
// written Ogg files are checked with (ogginfo, ffprobe, FFmpeg's decoder).

// A test tone: each channel its own mix of two sines under a slow swell, so a
// swapped, shifted or silent channel shows in the correlation.
inline QString ToneExpression(int channels)
{
    QStringList each;
    for (int c = 0; c < channels; ++c)
        each << QStringLiteral("0.3*sin(2*PI*%1*t)+0.2*sin(2*PI*%2*t)*sin(2*PI*%3*t)")
                    .arg(220 + 110 * c)
                    .arg(1500 + 370 * c)
                    .arg(0.7 + 0.4 * c);
    return each.join(u'|');
}

// Writes seconds of the tone with ffmpeg, encoded by the given output
// arguments (codec and container), e.g. {"-c:a", "libmp3lame", "-f", "mp3"}.
inline bool MakeSound(const QString& path, double seconds, int rate, int channels, const QStringList& output)
{
    const QString source =
        QStringLiteral("aevalsrc=%1:s=%2:d=%3").arg(ToneExpression(channels)).arg(rate).arg(seconds);
    QStringList arguments = {QStringLiteral("-v"),
                             QStringLiteral("error"),
                             QStringLiteral("-y"),
                             QStringLiteral("-f"),
                             QStringLiteral("lavfi"),
                             QStringLiteral("-i"),
                             source};
    arguments << output << path;
    return RunTool(QStringLiteral("ffmpeg"), arguments).exitCode == 0;
}

// ogginfo's verdict: true when it reports neither an error nor a warning.
inline bool OggInfoClean(const QString& path, QByteArray* report = nullptr)
{
    const ProcessResult r = RunTool(QStringLiteral("ogginfo"), {path});
    if (report)
        *report = r.out + r.err;
    const QByteArray all = (r.out + r.err).toLower();
    return r.exitCode == 0 && !all.contains("warning") && !all.contains("error");
}

struct StreamFacts
{
    QString codec;
    int rate = 0;
    int channels = 0;
    double seconds = 0;
};

// What ffprobe says of the first audio stream.
inline StreamFacts Probe(const QString& path)
{
    const ProcessResult r =
        RunTool(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                 QStringLiteral("a:0"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=codec_name,sample_rate,channels:format=duration"),
                 QStringLiteral("-of"), QStringLiteral("default=noprint_wrappers=1"), path});
    StreamFacts facts;
    for (const QByteArray& line : r.out.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray key = line.left(eq), value = line.mid(eq + 1).trimmed();
        if (key == "codec_name")
            facts.codec = QString::fromLatin1(value);
        else if (key == "sample_rate")
            facts.rate = value.toInt();
        else if (key == "channels")
            facts.channels = value.toInt();
        else if (key == "duration")
            facts.seconds = value.toDouble();
    }
    return facts;
}

// The whole sound decoded by FFmpeg to interleaved 16-bit samples at its own
// rate, with the given channel count (FFmpeg's own down-mix when fewer).
inline std::vector<qint16> DecodePcm(const QString& path, int channels)
{
    const ProcessResult r = RunTool(QStringLiteral("ffmpeg"),
                                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                                     path, QStringLiteral("-f"), QStringLiteral("s16le"),
                                     QStringLiteral("-ac"), QString::number(channels), QStringLiteral("-")});
    std::vector<qint16> samples(std::size_t(r.out.size() / 2));
    std::memcpy(samples.data(), r.out.constData(), samples.size() * 2);
    return samples;
}

// The lowest correlation over the channels of two interleaved sounds, over the
// frames both have.
inline double Correlation(const std::vector<qint16>& a, const std::vector<qint16>& b, int channels)
{
    const std::size_t frames = std::min(a.size(), b.size()) / std::size_t(channels);
    double lowest = 1.0;
    for (int c = 0; c < channels; ++c) {
        double ab = 0, aa = 0, bb = 0;
        for (std::size_t f = 0; f < frames; ++f) {
            const double x = a[f * std::size_t(channels) + std::size_t(c)];
            const double y = b[f * std::size_t(channels) + std::size_t(c)];
            ab += x * y;
            aa += x * x;
            bb += y * y;
        }
        lowest = std::min(lowest, aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0);
    }
    return lowest;
}

// The written Ogg checked by the independent readers against its source:
// ogginfo clean, Vorbis, the source's rate, channels (at most two) and length
// (within 50 ms), and the same sound (correlation of the decoded samples).
// An empty text when it passes, else what failed.
inline QString CheckConverted(const QString& ogg, const QString& source)
{
    QByteArray report;
    if (!OggInfoClean(ogg, &report))
        return QStringLiteral("ogginfo: ") + QString::fromUtf8(report);
    const StreamFacts in = Probe(source), out = Probe(ogg);
    const int channels = std::min(in.channels, 2);
    if (out.codec != QLatin1String("vorbis") || out.rate != in.rate || out.channels != channels)
        return QStringLiteral("%1 %2 Hz %3 channels from %4 Hz %5 channels")
            .arg(out.codec)
            .arg(out.rate)
            .arg(out.channels)
            .arg(in.rate)
            .arg(in.channels);
    const std::vector<qint16> a = DecodePcm(source, channels), b = DecodePcm(ogg, channels);
    const double lengthA = double(a.size()) / channels / in.rate,
                 lengthB = double(b.size()) / channels / out.rate;
    if (std::abs(lengthA - lengthB) > 0.05)
        return QStringLiteral("length %1 s against %2 s").arg(lengthB).arg(lengthA);
    if (const double r = Correlation(a, b, channels); r < 0.95)
        return QStringLiteral("correlation %1").arg(r);
    return QString();
}
