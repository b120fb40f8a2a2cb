#pragma once

#include "app/BusyHost.h"
#include "app/Environment.h"
#include "app/GameFileWriter.h"
#include "image/PixelBuffer.h"
#include "texture/Catalogue.h"

#include <QImage>
#include <QList>
#include <QString>
#include <functional>

// A picture file decoded once and resampled on demand to the sizes of the
// textures it replaces; the size asked for last is kept, so a category of
// same-size textures is resampled once. The buffers are exactly what the
// loader would give for that size.
class SourcePicture
{
public:
    // Decodes file in a busy scope ("Loading <name>..."); the failure is the
    // loader's ("Image could not be loaded." with the reason). A large JPEG
    // is decoded at a reduced scale that still covers cover (see DecodePicture).
    static Result<SourcePicture> Load(BusyHost& host, const QString& file, QSize cover = QSize());

    // The picture at size ("Resampling <name>...").
    Result<PixelBufferPtr> At(BusyHost& host, QSize size);
    // The same without a busy scope (for a preview); null when it cannot be made.
    PixelBufferPtr Resampled(QSize size);
    const QString& File() const { return m_file; }
    QSize Size() const { return m_picture.size(); }

private:
    QString m_file;
    QImage m_picture;
    PixelBufferPtr m_resampled;
};

// The failure of a mask that cannot be loaded (with the loader's reason).
inline const QString kMaskLoadError = QStringLiteral("The alpha mask could not be loaded.");

// What a save writes: the source picture, an optional alpha mask (its blue
// channel becomes the alpha: black transparent, white opaque), where.
struct ReplacementJob
{
    QString gameFolder;
    QString picture;
    QString mask; // empty: no mask, every alpha 255
    bool compress = false;
};

// Writes the job's picture as the replacement of each entry in order, each
// resampled to the entry's size (the mask too, whatever its own size),
// declared at that size and stored at the next powers of two. The picture and
// the mask are decoded once (a large JPEG at a scale that covers the largest
// entry). Each entry's result is its own: the loader's failure when the picture
// cannot be loaded, "The alpha mask could not be loaded." with the reason when
// the mask cannot (nothing written for it), the writer's "Error writing image.
// Please check file permissions." with the reason; the other entries go on. The
// batch runs in a cancellable busy scope under the game folder's lock; after a
// cancel (also of the wait for another run's lock) the remaining entries are
// not written (their result is a cancel). onEntry, when given, sees each result
// as it comes.
QList<Result<QString>>
ReplaceTextures(BusyHost& host, const Environment& environment, const ReplacementJob& job,
                const QList<CatalogueEntry>& entries,
                const std::function<void(const CatalogueEntry&, const Result<QString>&)>& onEntry = {});

// The replacement of entry in the game folder: nothing there (the game shows
// its own texture), the program's, or a loose file of something else.
GameFileOwner ReplacementOwner(const QString& gameFolder, const CatalogueEntry& entry);

// A restore that could not delete or put back a file (with the reason).
inline const QString kRestoreErrorMessage = QStringLiteral("The default texture could not be restored.");

// Restores each entry: the program's replacement is deleted, or the loose file
// it replaced is put back; a file the program did not write, or one changed
// since, is left alone (RestoreOutcome::LeftAlone). Nothing is there without a game folder.
// The entries are one job under the game folder's lock; host, when given, says
// so while another run holds it and may cancel the wait (every entry a cancel).
QList<Result<RestoreOutcome>> RestoreTextures(const QString& gameFolder, const QList<CatalogueEntry>& entries,
                                              BusyHost* host = nullptr);
