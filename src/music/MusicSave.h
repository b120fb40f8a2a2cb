#pragma once

#include "app/BusyHost.h"
#include "app/Environment.h"
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
// The sound files of a folder for the random mode: plain files (after
// symlinks) with the dialog's endings, in name order (case ignored).
QStringList ListSoundFiles(const QString& folder);
// For each of the given number of places, the index of a file out of files, drawn with
// random (uniform in [0, 1)): no file comes twice while unused ones remain.
QList<int> PlanRandomPicks(int files, int places, const std::function<double()>& random);

// Whether the file is an Ogg stream of Vorbis audio (the only kind the game
// plays); an ".ogg" holding Opus, FLAC or anything else is not.
bool IsOggVorbis(const QString& path);
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
    // Set when a conversion failed (or the save was cancelled: nothing was written then).
    std::optional<Failure> failure;
};

// Converts the source (or, in the random mode, every distinct pick; in
// parallel, one per core) to Ogg Vorbis and writes it over each file of each
// ticked target, in the order of the target table, in one cancellable busy
// state. A source that already is Ogg Vorbis is copied unchanged. Every file
// goes through WriteGameFile: a failed copy leaves the old track whole and its
// target ticked; the other targets are still written.
MusicSaveOutcome SaveSelectedTracks(BusyHost& host, const Environment& environment,
                                    const MusicSaveRequest& request);
