#include "texture/TextureWriter.h"

#include "app/FileAccess.h"
#include "texture/TextureFormat.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr qint64 kCompressedCopyBlock = 1024;
constexpr qint64 kWrapCopyBlock = 16384;
constexpr int kPollMs = 100;
constexpr qint64 kRowProgressIntervalMs = 16;

bool WriteAll(QIODevice& out, const char* data, qint64 size)
{
    return out.write(data, size) == size;
}

bool WriteAll(QIODevice& out, const QByteArray& bytes)
{
    return WriteAll(out, bytes.constData(), bytes.size());
}

qint32 ClampToProgress(qint64 value)
{
    return qint32(std::clamp<qint64>(value, 0, std::numeric_limits<qint32>::max()));
}

// Copies all of source into out in blocks; before each block the optional
// report gets the number of bytes copied so far. False on a read or write
// error or when source ends early.
bool CopyBlocks(QIODevice& source, QIODevice& out, qint64 total, qint64 blockSize,
                const std::function<void(qint64)>& report)
{
    std::vector<char> block(static_cast<std::size_t>(blockSize));
    qint64 copied = 0;
    while (copied < total) {
        if (report)
            report(copied);
        const qint64 want = std::min(blockSize, total - copied);
        const qint64 got = source.read(block.data(), want);
        if (got <= 0 || !WriteAll(out, block.data(), got))
            return false;
        copied += got;
    }
    return true;
}

} // namespace

bool RawImageArgumentsValid(const cDIBSection& cDib, qint32 Width, qint32 Height, bool Alpha,
                            const cDIBSection* cDibAlpha)
{
    if (Width <= 0 || Height <= 0 || cDib.IsEmpty())
        return false;
    if (cDib.Width() > Width || cDib.Height() > Height)
        return false;
    if (Alpha && (!cDibAlpha || cDibAlpha->IsEmpty() || cDibAlpha->Width() < cDib.Width() ||
                  cDibAlpha->Height() < cDib.Height()))
        return false;
    return true;
}

// Size of the blocks in which raw rows are written.
constexpr qint64 kRowBlockBytes = 256 * 1024;

bool WriteRawImage(QIODevice& out, const cDIBSection& cDib, qint32 Width, qint32 Height, bool Alpha,
                   const cDIBSection* cDibAlpha, RawImageForm form, BusyHost* host, qint32 progressStep)
{
    if (!RawImageArgumentsValid(cDib, Width, Height, Alpha, cDibAlpha))
        return false;
    // A row is Width x 4 bytes in one allocation and one write.
    if (qint64(Width) * 4 > std::numeric_limits<qint32>::max())
        return false;

    QByteArray header;
    if (form == RawImageForm::Targa) {
        if (Width > 0xFFFF || Height > 0xFFFF)
            return false;
        header = TargaHeader(quint16(Width), quint16(Height));
    } else {
        header = DdsHeaderUncompressed(quint32(Width), quint32(Height));
    }
    if (!WriteAll(out, header))
        return false;

    // Each report drains the event queue (and repaints the bar in the window),
    // which costs far more than a row; by default rows are reported about once
    // a frame, and the last row always.
    qint32 lastReported = 0;
    QElapsedTimer sinceReport;
    sinceReport.start();
    const auto report = [&](qint32 rowsWritten) {
        if (!host)
            return true;
        if (rowsWritten != Height) {
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
    const qint64 rowBytes = qint64(Width) * 4;
    const qint32 rowsPerBlock = qint32(std::clamp<qint64>(kRowBlockBytes / rowBytes, 1, Height));
    std::vector<std::uint8_t> block(std::size_t(rowBytes) * std::size_t(rowsPerBlock), 0);
    qint32 inBlock = 0;
    const auto flush = [&] {
        const bool ok = WriteAll(out, reinterpret_cast<const char*>(block.data()), rowBytes * inBlock);
        inBlock = 0;
        return ok;
    };
    const qint32 pictureWidth = cDib.Width();
    const qint32 pictureHeight = cDib.Height();
    const std::uint8_t* lastRow = nullptr;
    qint32 written = 0;
    for (qint32 memoryRow = pictureHeight - 1; memoryRow >= 0; --memoryRow) {
        const std::uint8_t* src = cDib.Row(memoryRow);
        const std::uint8_t* mask = Alpha ? cDibAlpha->Row(memoryRow) : nullptr;
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
        if (++inBlock == rowsPerBlock && !flush())
            return false;
        if (!report(++written))
            return false;
    }
    // Below the picture the last row written is repeated.
    std::vector<std::uint8_t> repeated(lastRow, lastRow + rowBytes);
    while (written < Height) {
        std::memcpy(block.data() + std::size_t(rowBytes) * std::size_t(inBlock), repeated.data(),
                    std::size_t(rowBytes));
        if (++inBlock == rowsPerBlock && !flush())
            return false;
        if (!report(++written))
            return false;
    }
    return inBlock == 0 || flush();
}

bool WriteFileAtomically(const QString& path, const std::function<bool(QIODevice&)>& body)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!body(file)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

RunResult RunAndWait(BusyHost& host, const QString& program, const QStringList& arguments,
                     const QString& workingFolder, const QString& logPath, qint64 timeoutMs,
                     QString& errorText)
{
    errorText.clear();
    if (program.isEmpty()) {
        errorText = kCompressorCallError;
        return RunResult::StartFailed;
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(workingFolder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(logPath, QIODevice::Truncate);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted()) {
        errorText = kCompressorCallError;
        return RunResult::StartFailed;
    }
    QElapsedTimer timer;
    timer.start();
    // waitForFinished returns as soon as the program ends, so the poll adds no delay.
    while (!process.waitForFinished(kPollMs)) {
        if (process.state() == QProcess::NotRunning)
            break;
        host.PumpEvents();
        if (timer.elapsed() > timeoutMs) {
            process.kill();
            process.waitForFinished();
            errorText = kCompressorTimeoutError;
            return RunResult::TimedOut;
        }
    }
    return RunResult::Finished;
}

QStringList CompressorArguments(bool Alpha, bool IsLoginScreen)
{
    // -fast with BC1: the default BC1 search of the packaged compressor leaves
    // black specks in bright opaque pictures.
    QStringList arguments;
    if (IsLoginScreen)
        arguments = {QStringLiteral("-bc1"), QStringLiteral("-fast"), QStringLiteral("-nomips")};
    else if (Alpha)
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

bool TextureWriter::Compress(const QString& FileName, const cDIBSection& cDib, qint32 Width, qint32 Height,
                             bool Alpha, const cDIBSection* cDibAlpha, bool IsLoginScreen)
{
    const QDir work(m_options.workFolder);
    if (m_options.workFolder.isEmpty() || !work.mkpath(QStringLiteral(".")))
        return false;
    const QString targaPath = work.filePath(kTempTargaName);
    const QString ddsPath = work.filePath(kTempDdsName);

    {
        QFile targa(targaPath);
        if (!targa.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        const bool written =
            WriteRawImage(targa, cDib, Width, Height, Alpha, cDibAlpha, RawImageForm::Targa, &m_host);
        targa.close();
        if (!written || targa.error() != QFileDevice::NoError)
            return false;
    }

    m_host.SetBusy(true, false, 100,
                   QStringLiteral("Compressing Texture ") + FileName + QStringLiteral("..."));
    m_host.ReportProgress(0);

    // An output left by an earlier run must never pass for this run's result.
    if (QFile::exists(ddsPath) && !QFile::remove(ddsPath))
        return false;

    QString errorText;
    const RunResult run = RunAndWait(
        m_host, m_options.compressorPath, CompressorArguments(Alpha, IsLoginScreen), m_options.workFolder,
        work.filePath(kCompressorLogName), m_options.compressorTimeoutMs, errorText);
    // A start failure is reported once, by the missing-output check below.
    if (run == RunResult::TimedOut)
        m_host.ShowMessage(errorText, MessageIcon::Exclamation);
    return true;
}

bool TextureWriter::WriteTexture(const QString& SavePath, const QString& SaveFile, const QString& FileName,
                                 const cDIBSection& cDib, qint32 Width, qint32 Height, bool Texture,
                                 qint32 texWidth, qint32 texHeight, const QString& texPath, bool Alpha,
                                 const cDIBSection* cDibAlpha, bool IsLoginScreen)
{
    if (!RawImageArgumentsValid(cDib, Width, Height, Alpha, cDibAlpha) || FileName.isEmpty())
        return false;
    QByteArray recordedName;
    if (Texture) {
        if (texWidth < 0 || texHeight < 0)
            return false;
        const auto encoded = EncodeTextureName(texPath, SaveFile);
        if (!encoded)
            return false;
        recordedName = *encoded;
    }

    const QString folder = EnsureFolder(SavePath);
    BusyScope busy(m_host, false, Height, QStringLiteral("Writing ") + FileName + QStringLiteral("..."));

    const QDir work(m_options.workFolder);
    const QString ddsPath = work.filePath(kTempDdsName);
    QFile compressed(ddsPath);
    qint64 dataSize = 0;
    if (m_options.compress) {
        if (!Compress(FileName, cDib, Width, Height, Alpha, cDibAlpha, IsLoginScreen))
            return false;
        // Anything that is not at least a DirectDraw Surface header is not the
        // compressor's output.
        char magic[4] = {};
        if (!compressed.open(QIODevice::ReadOnly) || compressed.size() < kDdsHeaderSize ||
            compressed.peek(magic, 4) != 4 || std::memcmp(magic, "DDS ", 4) != 0) {
            m_host.ShowMessage(kCompressorCallError, MessageIcon::Critical);
            return false;
        }
        dataSize = compressed.size();
    } else {
        dataSize = qint64(Width) * qint64(Height) * 4 + kDdsHeaderSize;
    }
    // The .texture header holds the size in 32 bits.
    if (Texture && dataSize > qint64(std::numeric_limits<quint32>::max()))
        return false;

    const QString fileName = FileName + (Texture ? QStringLiteral(".texture") : QStringLiteral(".dds"));
    const QString outputPath = GameFilePath(folder, fileName);

    const bool written = WriteFileAtomically(outputPath, [&](QIODevice& out) {
        if (Texture && !WriteAll(out, TextureHeader(quint32(dataSize), quint32(texWidth), quint32(texHeight),
                                                    recordedName, Alpha)))
            return false;
        if (!m_options.compress)
            return WriteRawImage(out, cDib, Width, Height, Alpha, cDibAlpha, RawImageForm::Dds, &m_host);
        m_host.SetBusy(true, false, ClampToProgress(dataSize),
                       QStringLiteral("Compressing Texture ") + fileName + QStringLiteral("..."));
        return CopyBlocks(compressed, out, dataSize, kCompressedCopyBlock,
                          [&](qint64 copied) { m_host.ReportProgress(ClampToProgress(copied)); });
    });
    if (!written)
        return false;
    if (m_options.compress) {
        compressed.close();
        QFile::remove(work.filePath(kTempTargaName));
        QFile::remove(ddsPath);
    }
    return true;
}

bool WrapDdsAsTexture(const QString& sourceFile, const QString& textureName, const QString& targetFolder,
                      const QString& texturePath)
{
    QFile source(sourceFile);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = source.size();
    const auto name = EncodeTextureName(texturePath, textureName);
    if (!name || size > qint64(std::numeric_limits<quint32>::max()))
        return false;
    const QString folder = EnsureFolder(targetFolder);
    const QString target = GameFilePath(folder, textureName + QStringLiteral(".texture"));
    return WriteFileAtomically(target, [&](QIODevice& out) {
        return WriteAll(out, TextureHeader(quint32(size), 1024, 768, *name, false)) &&
               CopyBlocks(source, out, size, kWrapCopyBlock, {});
    });
}
