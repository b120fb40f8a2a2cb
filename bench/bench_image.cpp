// Image processing timings: resampling, the live level preview, the frame
// overlay and a whole browse-to-preview load. Anchors in the same run: Qt's
// own smooth scaling and ImageMagick's resize of the same picture.
#include "RecordingBusyHost.h"
#include "image/Frames.h"
#include "image/PictureDecoder.h"
#include "image/PixelBuffer.h"
#include "image/ScreenPictures.h"

#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>
#include <random>

namespace {

// A photo-like picture: smooth gradients with fine noise, so JPEG sizes are realistic.
QImage Photo(int width, int height)
{
    QImage img(width, height, QImage::Format_RGB888);
    std::mt19937 rng(7);
    for (int y = 0; y < height; ++y) {
        uchar* p = img.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const int n = int(rng() % 24);
            p[3 * x] = uchar((x * 255 / width + n) & 0xff);
            p[3 * x + 1] = uchar((y * 255 / height + n) & 0xff);
            p[3 * x + 2] = uchar(((x + y) / 8 + n) & 0xff);
        }
    }
    return img;
}

struct Inputs
{
    QTemporaryDir dir;
    QString jpeg, frame;
    Inputs()
    {
        jpeg = dir.filePath(QStringLiteral("photo.jpg"));
        frame = dir.filePath(QStringLiteral("frame.png"));
        Photo(1920, 1080).save(jpeg, "JPEG", 90);
        // A frame that is mostly transparent key with an opaque border.
        QImage f(kFrameWidth, kFrameHeight, QImage::Format_RGB888);
        f.fill(qRgb(255, 0, 255));
        for (int y = 0; y < kFrameHeight; ++y)
            for (int x = 0; x < kFrameWidth; ++x)
                if (x < 40 || y < 40 || x >= kFrameWidth - 40 || y >= kFrameHeight - 40)
                    f.setPixel(x, y, qRgb(40, 30, 20));
        f.save(frame);
    }
};

Inputs& Files()
{
    static Inputs inputs;
    return inputs;
}

PixelBufferPtr FromImage(const QImage& img)
{
    auto dib = std::make_shared<PixelBuffer>();
    dib->CreateFromPicture(img);
    return dib;
}

void BM_Resample_1920x1080_to_1024x768(benchmark::State& state)
{
    const PixelBufferPtr src = FromImage(Photo(1920, 1080));
    for (auto _ : state)
        benchmark::DoNotOptimize(src->Resampled(QSize(1024, 768)));
}
BENCHMARK(BM_Resample_1920x1080_to_1024x768)->Unit(benchmark::kMillisecond);

void BM_Anchor_QtSmoothScale_1920x1080_to_1024x768(benchmark::State& state)
{
    const QImage src = Photo(1920, 1080);
    for (auto _ : state)
        benchmark::DoNotOptimize(src.scaled(1024, 768, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}
BENCHMARK(BM_Anchor_QtSmoothScale_1920x1080_to_1024x768)->Unit(benchmark::kMillisecond);

void BM_LiveLevelChange_320x180(benchmark::State& state)
{
    ScreenPictures pics;
    pics.PreviewImage = FromImage(Photo(320, 180));
    pics.ResetDisplayedPreview();
    int black = 0;
    for (auto _ : state) {
        black = (black + 1) % 100; // a different level each step, as when dragging
        pics.PreviewLevels(black, 230);
        benchmark::DoNotOptimize(pics.DisplayedPreview->Bits());
    }
}
BENCHMARK(BM_LiveLevelChange_320x180)->Unit(benchmark::kMicrosecond);

void BM_ApplyFrame_WithDecode(benchmark::State& state)
{
    const PixelBufferPtr src = FromImage(Photo(kFrameWidth, kFrameHeight));
    for (auto _ : state)
        benchmark::DoNotOptimize(ApplyFrame(Files().frame, src));
}
BENCHMARK(BM_ApplyFrame_WithDecode)->Unit(benchmark::kMillisecond);

void BM_ApplyFrame_Decoded(benchmark::State& state)
{
    const PixelBufferPtr src = FromImage(Photo(kFrameWidth, kFrameHeight));
    const PixelBufferPtr frame = FromImage(DecodePicture(Files().frame).value_or(QImage()));
    for (auto _ : state)
        benchmark::DoNotOptimize(ApplyFrame(*frame, src));
}
BENCHMARK(BM_ApplyFrame_Decoded)->Unit(benchmark::kMillisecond);

void BM_DecodeJpeg_1920x1080(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(DecodePicture(Files().jpeg));
}
BENCHMARK(BM_DecodeJpeg_1920x1080)->Unit(benchmark::kMillisecond);

void BM_BrowseToPreview_Jpeg1920x1080(benchmark::State& state)
{
    RecordingBusyHost host;
    for (auto _ : state) {
        ScreenPictures pics;
        if (!pics.Load(host, Files().jpeg, 1920, 1080, 480))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(pics.DisplayedPreview);
    }
}
BENCHMARK(BM_BrowseToPreview_Jpeg1920x1080)->Unit(benchmark::kMillisecond);

// Whole ImageMagick command (process start included): decode the JPEG, resize, write a BMP.
void BM_Anchor_ImageMagickResizeCommand(benchmark::State& state)
{
    if (QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty()) {
        state.SkipWithError("ImageMagick convert not installed");
        return;
    }
    const QString out = Files().dir.filePath(QStringLiteral("im.bmp"));
    for (auto _ : state) {
        QProcess p;
        p.start(QStringLiteral("convert"),
                {Files().jpeg, QStringLiteral("-resize"), QStringLiteral("1024x768!"), out});
        p.waitForFinished(30000);
    }
}
BENCHMARK(BM_Anchor_ImageMagickResizeCommand)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
