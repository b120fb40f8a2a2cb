#pragma once

#include "app/BusyHost.h"
#include "app/Environment.h"
#include "image/PixelBuffer.h"

#include <QString>
#include <QStringList>

class QIODevice;

// Shown by every caller of WriteTexture when it returns false.
inline const QString kWriteErrorMessage =
    QStringLiteral("Error writing image. Please check file permissions.");
// The compressor could not be started, failed or left no usable output.
inline const QString kCompressorCallError =
    QStringLiteral("Error calling the NVIDIA tool!\nPlease disable Texture Compression.");
inline const QString kCompressorTimeoutError = QStringLiteral("The NVIDIA tool has timed out.");

// File names the compressor sees in its private folder.
inline const QString kTempTargaName = QStringLiteral("temp_tga.tga");
inline const QString kTempDdsName = QStringLiteral("temp_dds.dds");
inline const QString kCompressorLogName = QStringLiteral("nvcompress.log");

struct TextureWriterOptions
{
    bool compress = false;  // "Compress textures using NVIDIA's tool"
    QString workFolder;     // each compressed write gets a private folder in here
    QString compressorPath; // full path of nvcompress, empty when none was found
    // How long the compressor may take; 0: 60 s plus 2 s per megapixel.
    qint64 compressorTimeoutMs = 0;

    static TextureWriterOptions From(const Environment& environment, bool compress);
};

enum class RawImageForm
{
    Targa,
    Dds
};

// Whether a picture (and its mask) can be stored as width x height rows:
// positive sizes, a picture no larger than that, a mask at least as large as
// the picture when alpha is taken from it.
bool RawImageArgumentsValid(const PixelBuffer& picture, qint32 width, qint32 height,
                            const PixelBuffer* alpha);

// Writes the Targa or DirectDraw Surface header and then height rows of
// width x 4 bytes (blue, green, red, alpha), the top row first. Columns beyond
// the picture are zero, alpha included; rows beyond it repeat the last row
// written; alpha is the mask's blue byte, or 255 without a mask. With a host,
// progress (rows written) is reported every progressStep rows, or with a step
// of 0 or less about every 16 ms, and always after the last row; a cancel seen
// after a report stops the write. Fails on invalid arguments, a failed or
// short write (with the device's reason), or a cancel.
Result<> WriteRawImage(QIODevice& out, const PixelBuffer& picture, qint32 width, qint32 height,
                       const PixelBuffer* alpha, RawImageForm form, BusyHost* host = nullptr,
                       qint32 progressStep = 0);

// The compressor's arguments for one write.
QStringList CompressorArguments(bool alpha, bool isLoginScreen);

// One texture file to write.
struct TextureRequest
{
    QString root;     // the write stays inside this folder (the game folder, a pool folder)
    QString folder;   // below root, '/' or '\' separated; missing levels are created
    QString saveFile; // the texture's recorded name, without ".dds"
    QString fileName; // the file's name, without ".texture" or ".dds"
    const PixelBuffer* picture = nullptr;
    qint32 width = 0; // stored size
    qint32 height = 0;
    bool texture = true; // a game .texture (header + surface), else a bare .dds
    qint32 texWidth = 0; // size declared in the .texture header
    qint32 texHeight = 0;
    QString texPath;                    // recorded path, '/' separated, ending in '/'
    const PixelBuffer* alpha = nullptr; // alpha mask (same size as the picture); none: opaque
    bool isLoginScreen = false;         // selects the compressor options for full-screen backgrounds
};

class TextureWriter
{
public:
    TextureWriter(BusyHost& host, TextureWriterOptions options);

    // Writes fileName + ".texture" (header + DirectDraw Surface) or fileName +
    // ".dds" below root/folder, uncompressed or through the compressor, in a
    // busy scope ("Writing <name>..."). Returns the file written. On failure
    // the previous file of that name is untouched; the failure's notes are the
    // compressor's messages, its headline "Error writing image. Please check
    // file permissions." with the reason.
    Result<QString> Write(const TextureRequest& request);

    const TextureWriterOptions& Options() const { return m_options; }

private:
    // Runs the compressor on the picture in work; the checked surface's size.
    Result<qint64> Compress(BusyScope& busy, const TextureRequest& request, class PrivateWorkFolder& work);

    BusyHost& m_host;
    TextureWriterOptions m_options;
};

// Wraps an existing DirectDraw Surface file (a pool file) into
// root/folder/textureName.texture, declared 1024 x 768, recorded name
// texturePath + textureName + ".dds". Nothing is written when the source is
// not a readable regular file.
Result<QString> WrapDdsAsTexture(const QString& sourceFile, const QString& textureName, const QString& root,
                                 const QString& folder, const QString& texturePath);
