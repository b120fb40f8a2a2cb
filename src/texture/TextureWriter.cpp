#include "texture/TextureWriter.h"

#include "app/FileAccess.h"
#include "app/GameFileWriter.h"
#include "app/ProcessRunner.h"
#include "texture/TextureFormat.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace {

// Copies go in large blocks: each write is a system call, and for game files
// each block is also handed to the hashing thread. The compressed copy reports
// progress per block, so its blocks stay small enough to move the bar.
constexpr qint64 kCompressedCopyBlock = 64 * 1024;
constexpr qint64 kWrapCopyBlock = 1024 * 1024;
constexpr qint64 kRowProgressIntervalMs = 16;
// Size of the blocks in which raw rows are written.
constexpr qint64 kRowBlockBytes = 256 * 1024;
// The compressor's time limit: a minute, and a little more for large pictures.
constexpr qint64 kCompressorBaseTimeoutMs = 60'000;
constexpr qint64 kCompressorTimeoutPerMegapixelMs = 2'000;

Result<> WriteAll(QIODevice& out, const char* data, qint64 size)
{
    return WriteFully(out, data, size);
}

Result<> WriteAll(QIODevice& out, const QByteArray& bytes)
{
    return WriteAll(out, bytes.constData(), bytes.size());
}

qint32 ClampToProgress(qint64 value)
{
    return qint32(std::clamp<qint64>(value, 0, std::numeric_limits<qint32>::max()));
}

// Copies total bytes of source into out in blocks; before each block the
// optional report gets the number of bytes copied so far. Fails on a read or
// write error or when source ends early.
Result<> CopyBlocks(QIODevice& source, QIODevice& out, qint64 total, qint64 blockSize,
                    const std::function<void(qint64)>& report)
{
    std::vector<char> block(static_cast<std::size_t>(blockSize));
    qint64 copied = 0;
    while (copied < total) {
        if (report)
            report(copied);
        const qint64 want = std::min(blockSize, total - copied);
        const qint64 got = source.read(block.data(), want);
        if (got <= 0)
            return Fail(Failure::Because(got < 0 ? source.errorString()
                                                 : QStringLiteral("The source file ended early.")));
        if (auto written = WriteAll(out, block.data(), got); !written)
            return written;
        copied += got;
    }
    return {};
}

Failure WriteFailure(const QString& reason)
{
    return Failure(kWriteErrorMessage, MessageIcon::Exclamation, reason);
}

// The compressor failed: its message, then the caller's.
Failure CompressorFailure(const QString& reason)
{
    Failure failure(kCompressorCallError, MessageIcon::Critical, reason);
    return failure.Then(kWriteErrorMessage, MessageIcon::Exclamation);
}

} // namespace

TextureWriterOptions TextureWriterOptions::From(const Environment& environment, bool compress)
{
    TextureWriterOptions options;
    options.compress = compress;
    options.workFolder = environment.workFolder;
    options.compressorPath = environment.compressorPath;
    return options;
}

bool RawImageArgumentsValid(const PixelBuffer& picture, qint32 width, qint32 height, const PixelBuffer* alpha)
{
    if (width <= 0 || height <= 0 || picture.IsEmpty())
        return false;
    if (picture.Width() > width || picture.Height() > height)
        return false;
    if (alpha && (alpha->IsEmpty() || alpha->Width() < picture.Width() || alpha->Height() < picture.Height()))
        return false;
    return true;
}

Result<> WriteRawImage(QIODevice& out, const PixelBuffer& picture, qint32 width, qint32 height,
                       const PixelBuffer* alpha, RawImageForm form, BusyHost* host, qint32 progressStep)
{
    const auto refused = [](const QString& reason) { return Fail(Failure::Because(reason)); };
    if (!RawImageArgumentsValid(picture, width, height, alpha))
        return refused(QStringLiteral("The picture does not fit a %1 x %2 image.").arg(width).arg(height));
    // A row is width x 4 bytes in one allocation and one write.
    if (qint64(width) * 4 > std::numeric_limits<qint32>::max())
        return refused(QStringLiteral("The image is too wide."));

    QByteArray header;
    if (form == RawImageForm::Targa) {
        if (width > 0xFFFF || height > 0xFFFF)
            return refused(QStringLiteral("A Targa file holds at most 65535 x 65535 pixels."));
        header = TargaHeader(quint16(width), quint16(height));
    } else {
        header = DdsHeaderUncompressed(quint32(width), quint32(height));
    }
    if (auto written = WriteAll(out, header); !written)
        return written;

    // Each report drains the event queue (and repaints the bar in the window),
    // which costs far more than a row; by default rows are reported about once
    // a frame, and the last row always.
    qint32 lastReported = 0;
    QElapsedTimer sinceReport;
    sinceReport.start();
    const auto report = [&](qint32 rowsWritten) {
        if (!host)
            return true;
        if (rowsWritten != height) {
            if (progressStep > 0 ? rowsWritten - lastReported < progressStep
                                 : sinceReport.elapsed() < kRowProgressIntervalMs)
                return true;
        }
        lastReported = rowsWritten;
        host->ReportProgress(rowsWritten);
        sinceReport.restart();
        return !host->CancelRequested();
    };

    // Rows are gathered into blocks of about 256 KB, so a 4 MB surface takes a
    // few large writes instead of hundreds of small ones.
    const qint64 rowBytes = qint64(width) * 4;
    const qint32 rowsPerBlock = qint32(std::clamp<qint64>(kRowBlockBytes / rowBytes, 1, height));
    std::vector<std::uint8_t> block(std::size_t(rowBytes) * std::size_t(rowsPerBlock), 0);
    qint32 inBlock = 0;
    const auto flush = [&]() -> Result<> {
        const qint64 bytes = rowBytes * inBlock;
        inBlock = 0;
        return WriteAll(out, reinterpret_cast<const char*>(block.data()), bytes);
    };
    const qint32 pictureWidth = picture.Width();
    const qint32 pictureHeight = picture.Height();
    const std::uint8_t* lastRow = nullptr;
    qint32 written = 0;
    for (qint32 memoryRow = pictureHeight - 1; memoryRow >= 0; --memoryRow) {
        const std::uint8_t* src = picture.Row(memoryRow);
        const std::uint8_t* mask = alpha ? alpha->Row(memoryRow) : nullptr;
        std::uint8_t* dst = block.data() + std::size_t(rowBytes) * std::size_t(inBlock);
        lastRow = dst;
        for (qint32 x = 0; x < pictureWidth; ++x) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
            dst[3] = mask ? mask[3 * x] : 255;
            src += 3;
            dst += 4;
        }
        // Columns beyond the picture stay zero: every slot of the block starts zeroed
        // and only the picture's columns are ever written.
        if (++inBlock == rowsPerBlock)
            if (auto flushed = flush(); !flushed)
                return flushed;
        if (!report(++written))
            return Fail(Failure::Cancelled());
    }
    // Below the picture the last row written is repeated.
    std::vector<std::uint8_t> repeated(lastRow, lastRow + rowBytes);
    while (written < height) {
        std::memcpy(block.data() + std::size_t(rowBytes) * std::size_t(inBlock), repeated.data(),
                    std::size_t(rowBytes));
        if (++inBlock == rowsPerBlock)
            if (auto flushed = flush(); !flushed)
                return flushed;
        if (!report(++written))
            return Fail(Failure::Cancelled());
    }
    return inBlock == 0 ? Result<>() : flush();
}

QStringList CompressorArguments(bool alpha, bool isLoginScreen)
{
    // -fast with BC1: the default BC1 search of the packaged compressor leaves
    // black specks in bright opaque pictures.
    QStringList arguments;
    if (isLoginScreen)
        arguments = {QStringLiteral("-bc1"), QStringLiteral("-fast"), QStringLiteral("-nomips")};
    else if (alpha)
        arguments = {QStringLiteral("-bc3")};
    else
        arguments = {QStringLiteral("-bc1"), QStringLiteral("-fast")};
    arguments << kTempTargaName << kTempDdsName;
    return arguments;
}

TextureWriter::TextureWriter(BusyHost& host, TextureWriterOptions options)
    : m_host(host), m_options(std::move(options))
{
}

Result<qint64> TextureWriter::Compress(BusyScope& busy, const TextureRequest& request,
                                       PrivateWorkFolder& work)
{
    if (m_options.compressorPath.isEmpty())
        return Fail(CompressorFailure(QStringLiteral(
            "nvcompress was not found in the program's folder or on PATH. Install the "
            "Debian package \"libnvtt-bin\", or untick \"Compress textures using NVIDIA's tool\" "
            "(or leave out --compress).")));
    if (!work.IsValid())
        return Fail(WriteFailure(work.Reason()));
    {
        QFile targa(work.FilePath(kTempTargaName));
        if (!targa.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            return Fail(WriteFailure(targa.errorString()));
        if (auto written = WriteRawImage(targa, *request.picture, request.width, request.height,
                                         request.alpha, RawImageForm::Targa, &m_host);
            !written)
            return Fail(written.error().IsCancel() ? written.error()
                                                   : WriteFailure(written.error().Reason()));
        targa.close();
        if (targa.error() != QFileDevice::NoError)
            return Fail(WriteFailure(targa.errorString()));
    }

    // The wait can be cancelled: a compressor that takes too long is the user's to stop.
    busy.Restart(true, 100,
                 QStringLiteral("Compressing Texture ") + request.fileName + QStringLiteral("..."));
    busy.Step(0);
    ProcessRequest run;
    run.program = m_options.compressorPath;
    run.arguments = CompressorArguments(request.alpha != nullptr, request.isLoginScreen);
    run.workingFolder = work.Path();
    run.logPath = work.FilePath(kCompressorLogName);
    const qint64 megapixels = (qint64(request.width) * request.height + 999'999) / 1'000'000;
    run.timeoutMs = m_options.compressorTimeoutMs > 0
                        ? m_options.compressorTimeoutMs
                        : kCompressorBaseTimeoutMs + kCompressorTimeoutPerMegapixelMs * megapixels;
    work.Keep(kCompressorLogName);
    const ProcessOutcome outcome = RunAndWait(m_host, run);
    switch (outcome.kind) {
    case ProcessOutcome::Cancelled:
        return Fail(Failure::Cancelled());
    case ProcessOutcome::TimedOut: {
        Failure failure(kCompressorTimeoutError, MessageIcon::Exclamation, outcome.reason);
        return Fail(failure.Then(CompressorFailure(QStringLiteral("It was stopped."))));
    }
    case ProcessOutcome::StartFailed:
        return Fail(CompressorFailure(outcome.reason));
    case ProcessOutcome::Finished:
        break;
    }
    if (!outcome.Succeeded())
        return Fail(CompressorFailure(outcome.reason));

    // Only a complete surface of the size, format and mip-map chain asked for
    // is taken, never what a failing or lying compressor left behind.
    QFile dds;
    if (auto opened = OpenRegularFile(dds, work.FilePath(kTempDdsName)); !opened)
        return Fail(CompressorFailure(QStringLiteral("It left no output: %1").arg(opened.error().Reason())));
    CompressedSurface expected;
    expected.width = quint32(request.width);
    expected.height = quint32(request.height);
    expected.format = request.isLoginScreen || !request.alpha ? BlockFormat::Bc1 : BlockFormat::Bc3;
    expected.mips = !request.isLoginScreen;
    const QString wrong = CheckCompressedSurface(dds.peek(128), dds.size(), expected);
    if (!wrong.isEmpty())
        return Fail(
            CompressorFailure(QStringLiteral("Its output is not a complete texture: %1.").arg(wrong)));
    return dds.size();
}

Result<QString> TextureWriter::Write(const TextureRequest& request)
{
    if (!request.picture ||
        !RawImageArgumentsValid(*request.picture, request.width, request.height, request.alpha))
        return Fail(WriteFailure(QStringLiteral("The picture does not fit a %1 x %2 texture.")
                                     .arg(request.width)
                                     .arg(request.height)));
    if (request.fileName.isEmpty())
        return Fail(WriteFailure(QStringLiteral("No file name was given.")));
    QByteArray recordedName;
    if (request.texture) {
        const auto encoded = EncodeTextureName(request.texPath, request.saveFile);
        if (request.texWidth < 0 || request.texHeight < 0 || !encoded)
            return Fail(WriteFailure(QStringLiteral("The texture's name or size cannot be stored.")));
        recordedName = *encoded;
    }

    BusyScope busy(m_host, false, request.height,
                   QStringLiteral("Writing ") + request.fileName + QStringLiteral("..."));
    const QString fileName =
        request.fileName + (request.texture ? QStringLiteral(".texture") : QStringLiteral(".dds"));
    const QString relative =
        request.folder.isEmpty() ? fileName : request.folder + QLatin1Char('/') + fileName;

    std::optional<PrivateWorkFolder> work;
    qint64 dataSize = qint64(request.width) * qint64(request.height) * 4 + kDdsHeaderSize;
    if (m_options.compress) {
        work.emplace(m_options.workFolder);
        Result<qint64> compressed = Compress(busy, request, *work);
        if (!compressed)
            return Fail(compressed.error());
        dataSize = *compressed;
    }
    // The .texture header holds the size in 32 bits.
    if (request.texture && dataSize > qint64(std::numeric_limits<quint32>::max()))
        return Fail(WriteFailure(QStringLiteral("The texture is larger than 4 GB.")));

    Result<QString> written = WriteGameFile(request.root, relative, [&](QIODevice& out) -> Result<> {
        if (request.texture) {
            const QByteArray header =
                TextureHeader(quint32(dataSize), quint32(request.texWidth), quint32(request.texHeight),
                              recordedName, request.alpha != nullptr);
            if (auto headerWritten = WriteAll(out, header); !headerWritten)
                return headerWritten;
        }
        if (!m_options.compress)
            return WriteRawImage(out, *request.picture, request.width, request.height, request.alpha,
                                 RawImageForm::Dds, &m_host);
        busy.Restart(false, ClampToProgress(dataSize),
                     QStringLiteral("Compressing Texture ") + fileName + QStringLiteral("..."));
        QFile compressed;
        if (auto opened = OpenRegularFile(compressed, work->FilePath(kTempDdsName)); !opened)
            return opened;
        return CopyBlocks(compressed, out, dataSize, kCompressedCopyBlock,
                          [&](qint64 copied) { busy.Step(ClampToProgress(copied)); });
    });
    if (!written) {
        Failure failure = written.error();
        if (!failure.IsCancel())
            failure.Retitle(kWriteErrorMessage, MessageIcon::Exclamation);
        return Fail(failure);
    }
    return written;
}

Result<QString> WrapDdsAsTexture(const QString& sourceFile, const QString& textureName, const QString& root,
                                 const QString& folder, const QString& texturePath)
{
    QFile source;
    if (auto opened = OpenRegularFile(source, sourceFile); !opened)
        return Fail(opened.error());
    const qint64 size = source.size();
    const auto name = EncodeTextureName(texturePath, textureName);
    if (!name || size > qint64(std::numeric_limits<quint32>::max()))
        return Fail(Failure::Because(QStringLiteral("The texture's name or size cannot be stored.")));
    const QString fileName = textureName + QStringLiteral(".texture");
    return WriteGameFile(
        root, folder.isEmpty() ? fileName : folder + QLatin1Char('/') + fileName,
        [&](QIODevice& out) -> Result<> {
            if (auto header = WriteAll(out, TextureHeader(quint32(size), 1024, 768, *name, false)); !header)
                return header;
            // Straight from the page cache where the file can be mapped; in blocks where not.
            if (const uchar* mapped = size > 0 ? source.map(0, size) : nullptr)
                return WriteFully(out, reinterpret_cast<const char*>(mapped), size);
            return CopyBlocks(source, out, size, kWrapCopyBlock, {});
        });
}
