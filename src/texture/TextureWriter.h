#pragma once

#include "app/BusyHost.h"
#include "image/cDIBSection.h"

#include <QString>
#include <QStringList>
#include <functional>

class QIODevice;

// Shown by every caller of WriteTexture when it returns false.
inline const QString kWriteErrorMessage =
    QStringLiteral("Error writing image. Please check file permissions.");
// The compressor could not be started or left no output.
inline const QString kCompressorCallError =
    QStringLiteral("Error calling the NVIDIA tool!\nPlease disable Texture Compression.");
inline const QString kCompressorTimeoutError = QStringLiteral("The NVIDIA tool has timed out.");

// File names in the work folder used by a compressed write.
inline const QString kTempTargaName = QStringLiteral("temp_tga.tga");
inline const QString kTempDdsName = QStringLiteral("temp_dds.dds");
inline const QString kCompressorLogName = QStringLiteral("nvcompress.log");

struct TextureWriterOptions
{
    bool compress = false;  // "Compress textures using NVIDIA's tool"
    QString workFolder;     // temp_tga.tga, temp_dds.dds and nvcompress.log live here
    QString compressorPath; // full path of nvcompress, empty when none was found
    qint64 compressorTimeoutMs = 2'000'000'000;
};

enum class RawImageForm
{
    Targa,
    Dds
};

// Whether a picture (and its mask) can be stored as Width x Height rows:
// positive sizes, a picture no larger than that, a mask at least as large as
// the picture when alpha is taken from it.
bool RawImageArgumentsValid(const cDIBSection& cDib, qint32 Width, qint32 Height, bool Alpha,
                            const cDIBSection* cDibAlpha);

// Writes the Targa or DirectDraw Surface header and then Height rows of
// Width x 4 bytes (blue, green, red, alpha), the top row first. Columns beyond
// the picture are zero, alpha included; rows beyond it repeat the last row
// written; alpha is the mask's blue byte or 255. With a host, progress (rows
// written) is reported every progressStep rows, or with a step of 0 or less
// about every 16 ms, and always after the last row. A cancel request seen after
// a report stops the write. False on invalid arguments, a failed or short
// write, or a cancel.
bool WriteRawImage(QIODevice& out, const cDIBSection& cDib, qint32 Width, qint32 Height, bool Alpha,
                   const cDIBSection* cDibAlpha, RawImageForm form, BusyHost* host = nullptr,
                   qint32 progressStep = 0);

// Writes a file through QSaveFile: the previous file at path stays as it was
// unless body succeeds and the new file is committed.
bool WriteFileAtomically(const QString& path, const std::function<bool(QIODevice&)>& body);

enum class RunResult
{
    Finished,
    StartFailed,
    TimedOut
};

// Starts program directly (no shell) in workingFolder with its standard output
// and error going to logPath, and waits for it with events pumped through the
// host. On failure errorText holds the message to show. The exit code is not
// looked at: the caller judges the program by its output file.
RunResult RunAndWait(BusyHost& host, const QString& program, const QStringList& arguments,
                     const QString& workingFolder, const QString& logPath, qint64 timeoutMs,
                     QString& errorText);

// The compressor's arguments for one write.
QStringList CompressorArguments(bool Alpha, bool IsLoginScreen);

class TextureWriter
{
public:
    TextureWriter(BusyHost& host, TextureWriterOptions options);

    // Writes FileName + ".texture" (Texture true: header + DirectDraw Surface)
    // or FileName + ".dds" (Texture false) into SavePath, uncompressed or
    // through the compressor. True when the file was written; the previous file
    // of that name stays untouched otherwise.
    bool WriteTexture(const QString& SavePath, const QString& SaveFile, const QString& FileName,
                      const cDIBSection& cDib, qint32 Width, qint32 Height, bool Texture, qint32 texWidth,
                      qint32 texHeight, const QString& texPath, bool Alpha, const cDIBSection* cDibAlpha,
                      bool IsLoginScreen);

    const TextureWriterOptions& Options() const { return m_options; }

private:
    bool Compress(const QString& FileName, const cDIBSection& cDib, qint32 Width, qint32 Height, bool Alpha,
                  const cDIBSection* cDibAlpha, bool IsLoginScreen);

    BusyHost& m_host;
    TextureWriterOptions m_options;
};

// Wraps an existing DirectDraw Surface file into targetFolder/textureName.texture
// (declared 1024 x 768, recorded name texturePath + textureName + ".dds").
// Nothing is written when the source cannot be read.
bool WrapDdsAsTexture(const QString& sourceFile, const QString& textureName, const QString& targetFolder,
                      const QString& texturePath);
