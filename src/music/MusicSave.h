#pragma once

#include "app/BusyHost.h"
#include "app/Environment.h"
#include "app/GameFileWriter.h"
#include "music/SoundTargets.h"

#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

inline const QString kNoPluginsMessage = QStringLiteral("No sound input plugins found.");
inline const QString kEncoderMessage = QStringLiteral("Unable to initialize OGG encoder.");
inline const QString kConversionFailedMessage = QStringLiteral("Sound file conversion failed.");
// The intermediate file of a conversion.
inline const QString kConvertedFileName = QStringLiteral("converted.ogg");

// The message for a file no decoder takes, its lines joined by CR LF.
QString NoDecoderMessage();
// The sound files the open dialog offers (name endings, any case).
QString SoundFileFilter();
bool IsSoundFileName(const QString& name);
// The sound files of a folder for the random mode, listed through the file
// system's bytes (names need not be UTF-8): files are the plain files (after
// symlinks) with the dialog's endings, in name order (case ignored); unusable
// names, with the reason, the other entries with those endings (folders,
// devices, FIFOs, links that lead nowhere), which are never drawn.
struct SoundFolderListing
{
    QStringList files;
    QStringList unusable; // "name: reason", the name as a person reads it
};
SoundFolderListing ListSoundFiles(const QString& folder);
// For each of the given number of places, the index of a file out of files, drawn with
// random (uniform in [0, 1)): no file comes twice while unused ones remain.
QList<int> PlanRandomPicks(int files, int places, const std::function<double()>& random);

// Copies a whole file into out in 16384-byte blocks; every read and write
// checked (a read error is a failure, never a short copy).
Result<> CopySoundFile(QIODevice& out, const QString& source);

struct MusicSaveRequest
{
    QString gameFolder;
    QString source;            // a sound file; in the random mode a folder of them
    bool randomFolder = false; // each file of each ticked target gets its own pick from source
    TargetStates states{};     // the targets' check boxes
    // The window leaves the last converted.ogg in the work folder until it
    // closes; the command-line tool leaves nothing behind.
    bool keepConverted = false;
};

// One game file a save wrote or tried to write.
struct TrackWrite
{
    int target = 0;
    QString file;   // below the game folder, as the target table names it
    QString source; // the sound file it came from
    Result<QString> written;
};

struct MusicSaveOutcome
{
    TargetStates states{}; // Done for every target whose files were all written
    QList<TrackWrite> tracks;
    // Random mode: the files of the folder that could not be used ("name:
    // reason"); each place they were drawn for got another file.
    QStringList skipped;
    // Set when a conversion failed (or the save was cancelled: nothing was written then).
    std::optional<Failure> failure;
};

// Converts the source (or, in the random mode, every distinct pick; in
// parallel, one per core) to Ogg Vorbis and writes it over each file of each
// ticked target, in the order of the target table, in one cancellable busy
// state. An ".ogg" source that is one whole, sound Ogg Vorbis stream is copied
// unchanged; any other is converted, or refused with the reason. In the random
// mode a file that cannot be used is skipped and its places drawn again. The
// files of one target share a random pick where they share a name. The writes
// hold the game folder's lock; each target's files are written as a unit
// (WriteGameFiles): a failure leaves the target's old tracks as they were and
// the target ticked, and the other targets are still written.
MusicSaveOutcome SaveSelectedTracks(BusyHost& host, const Environment& environment,
                                    const MusicSaveRequest& request);

// What the random mode says of the files it skipped; an empty failure for none.
Failure SkippedSoundsMessage(const QStringList& skipped);

// A restore that could not delete or put back a track (with the reason).
inline const QString kMusicRestoreErrorMessage = QStringLiteral("The game's music could not be restored.");

// One game file a restore looked at.
struct TrackRestore
{
    int target = 0;
    QString file; // below the game folder, as the target table names it
    Result<RestoreOutcome> restored;
};

struct MusicRestoreOutcome
{
    // Unticked for every target whose tracks are all the game's again; the
    // others as they were.
    TargetStates states{};
    QList<TrackRestore> tracks;
    std::optional<Failure> failure; // no game folder, or its lock not had
    // The paths of the tracks left as they were (not Lumivale's, or changed since).
    QStringList LeftAlone() const;
};

// Gives every ticked target its game tracks back, under the game folder's
// lock: a track Lumivale wrote is deleted (the packed one plays again), or the
// loose track it replaced is put back; a track Lumivale did not write, or one
// changed since, is left alone.
MusicRestoreOutcome RestoreSelectedTracks(BusyHost& host, const QString& gameFolder,
                                          const TargetStates& states);
