#include "music/MusicSave.h"

#include "app/FileAccess.h"
#include "app/FileNames.h"
#include "app/GameFileWriter.h"
#include "music/OggVorbisCheck.h"
#include "music/SoundConversion.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace {

const QStringList kSoundEndings = {QStringLiteral("mp1"), QStringLiteral("mp2"), QStringLiteral("mp3"),
                                   QStringLiteral("mp4"), QStringLiteral("m4a"), QStringLiteral("aac"),
                                   QStringLiteral("ogg"), QStringLiteral("wav"), QStringLiteral("wma")};

constexpr qint64 kCopyBlock = 16384;

// The name of the file as the folder lists it; "" when there is none.
QString ListedName(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() ? info.fileName() : QString();
}

// Makes a folder (with its parents) inside the game folder; a folder that
// cannot be made shows up when files are written into it.
void MakeGameFolder(const QString& gameFolder, const QString& folder)
{
    // The write path makes the folders of a file, never the file itself.
    ResolveWriteTarget(gameFolder, folder + QLatin1Char('/') + kConvertedFileName);
}

// The file for a place whose pick could not be used: one not known to fail,
// preferring those no other place has; -1 when none is left.
int Redraw(int files, const QSet<int>& failed, const QList<int>& picks, const std::function<double()>& random)
{
    QList<int> unused, usable;
    for (int f = 0; f < files; ++f) {
        if (failed.contains(f))
            continue;
        usable << f;
        if (!picks.contains(f))
            unused << f;
    }
    const QList<int>& from = unused.isEmpty() ? usable : unused;
    if (from.isEmpty())
        return -1;
    return from[std::min(int(random() * double(from.size())), int(from.size()) - 1)];
}

// A source made ready to be copied into the game: the file itself when it is
// a sound Ogg Vorbis stream, else its conversion.
struct PreparedSource
{
    explicit PreparedSource(QString source) : path(std::move(source)) {}
    QString path;
    Result<QString> ready = Fail(Failure());
    QString oggProblem; // why an ".ogg" source is not copied as it is
};

} // namespace

QString NoDecoderMessage()
{
    return QStringList{QStringLiteral("No suitable decoder for this file."),
                       QString(),
                       QStringLiteral("This error is normally caused by attempting"),
                       QStringLiteral("to load copy-protected WMA files."),
                       QString(),
                       QStringLiteral("Make sure the 'Protect music' box is disabled"),
                       QStringLiteral("in Windows Media Player's Rip Music tab"),
                       QStringLiteral("before ripping music from a CD.")}
        .join(QStringLiteral("\r\n"));
}

QString SoundFileFilter()
{
    QStringList patterns;
    for (const QString& ending : kSoundEndings)
        patterns << QStringLiteral("*.") + ending;
    for (const QString& ending : kSoundEndings)
        patterns << QStringLiteral("*.") + ending.toUpper();
    return QStringLiteral("Sound files (mp1,mp2,mp3,mp4,m4a,aac,ogg,wav,wma) (%1)").arg(patterns.join(u' '));
}

bool IsSoundFileName(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 && kSoundEndings.contains(name.sliced(dot + 1).toLower());
}

SoundFolderListing ListSoundFiles(const QString& folder)
{
    SoundFolderListing listing;
    if (folder.isEmpty())
        return listing;
    DIR* dir = ::opendir(FileNameToBytes(folder).constData());
    if (!dir)
        return listing;
    QList<QPair<QString, QString>> unusable; // name, reason
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = FileNameFromBytes(QByteArray(entry->d_name));
        if (!IsSoundFileName(name))
            continue;
        // Looked at, never opened: opening a device can do things.
        struct stat info = {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, 0) != 0)
            unusable.append({name, SystemErrorText(errno)});
        else if (S_ISDIR(info.st_mode))
            unusable.append({name, QStringLiteral("a folder, not a file")});
        else if (!S_ISREG(info.st_mode))
            unusable.append({name, QStringLiteral("a FIFO, socket or device, not a regular file")});
        else
            listing.files << name;
    }
    ::closedir(dir);
    const auto byName = [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    };
    std::sort(listing.files.begin(), listing.files.end(), byName);
    std::sort(unusable.begin(), unusable.end(),
              [&](const auto& a, const auto& b) { return byName(a.first, b.first); });
    for (const auto& [name, reason] : unusable)
        listing.unusable << DisplayFileName(name) + QStringLiteral(": ") + reason;
    return listing;
}

QList<int> PlanRandomPicks(int files, int places, const std::function<double()>& random)
{
    QList<int> picks;
    if (files <= 0)
        return picks;
    // Rounds over the whole folder: each round draws every file once, in random order.
    QList<int> unused;
    for (int s = 0; s < places; ++s) {
        if (unused.isEmpty()) {
            for (int f = 0; f < files; ++f)
                unused << f;
        }
        const int at = std::min(int(random() * double(unused.size())), int(unused.size()) - 1);
        picks << unused.takeAt(at);
    }
    return picks;
}

Result<> CopySoundFile(QIODevice& out, const QString& source)
{
    QFile in;
    if (Result<> opened = OpenRegularFile(in, source); !opened)
        return opened;
    std::vector<char> block(kCopyBlock);
    for (;;) {
        const qint64 got = in.read(block.data(), kCopyBlock);
        if (got < 0)
            return Fail(Failure::Because(in.errorString()));
        if (got == 0)
            return {};
        if (Result<> written = WriteFully(out, block.data(), got); !written)
            return written;
    }
}

namespace {

// Makes each source ready (the checks here, the conversions in parallel, one
// per core); false after a cancel.
bool PrepareSources(BusyScope& busy, const Environment& environment, QList<PreparedSource>& sources,
                    bool keepConverted, std::vector<std::unique_ptr<PrivateWorkFolder>>& folders)
{
    QList<SoundConversion> conversions;
    QList<PreparedSource*> converting;
    for (PreparedSource& source : sources) {
        if (source.path.right(4).toLower() == QLatin1String(".ogg")) {
            const Result<> sound = CheckOggVorbis(source.path);
            if (sound) {
                source.ready = source.path;
                continue;
            }
            source.oggProblem = sound.error().Reason();
        }
        // Only a plain file goes to the decoder: a device or FIFO would never end.
        QFile file;
        if (Result<> opened = OpenRegularFile(file, source.path); !opened) {
            source.ready = Fail(opened.error());
            continue;
        }
        auto folder = std::make_unique<PrivateWorkFolder>(environment.workFolder);
        if (!folder->IsValid()) {
            source.ready = Fail(Failure::Because(folder->Reason()));
            continue;
        }
        converting << &source;
        conversions << SoundConversion{environment.pluginFolder,
                                       source.path,
                                       folder->FilePath(kConvertedFileName),
                                       environment.random(),
                                       {}};
        if (keepConverted)
            folder->Keep(kConvertedFileName);
        folders.push_back(std::move(folder));
    }
    ConvertSounds(busy, conversions, QThread::idealThreadCount());
    bool cancelled = false;
    for (qsizetype c = 0; c < conversions.size(); ++c) {
        const SoundConversion& conversion = conversions[c];
        PreparedSource& source = *converting[c];
        if (conversion.result) {
            source.ready = conversion.output;
            continue;
        }
        cancelled = cancelled || conversion.result.error().IsCancel();
        Failure failure = conversion.result.error();
        if (!source.oggProblem.isEmpty())
            failure = Failure::Because(source.oggProblem + QStringLiteral(" Converting it failed: ") +
                                       failure.Reason());
        source.ready = Fail(std::move(failure));
    }
    return !cancelled;
}

} // namespace

MusicSaveOutcome SaveSelectedTracks(BusyHost& host, const Environment& environment,
                                    const MusicSaveRequest& request)
{
    MusicSaveOutcome outcome;
    outcome.states = request.states;
    const QList<SoundTarget>& targets = SoundTargets();
    BusyScope busy(host, true, 0,
                   QStringLiteral("Converting ") + ListedName(request.source) + QStringLiteral("..."));

    // The places that get a sound: one per distinct file name of each ticked
    // target (the same track name in two folders plays the same sound).
    QHash<QString, int> placeOfFile;
    int places = 0;
    for (int i = 0; i < kSoundTargetCount; ++i) {
        if (request.states[std::size_t(i)] != TargetState::Ticked)
            continue;
        QHash<QString, int> byName;
        for (const QString& file : targets[i].files) {
            const QString name = QFileInfo(file).fileName().toLower();
            if (!byName.contains(name))
                byName.insert(name, places++);
            placeOfFile.insert(file, byName.value(name));
        }
    }

    QList<PreparedSource> sources;
    QList<int> sourceOfPlace(places, 0);
    std::vector<std::unique_ptr<PrivateWorkFolder>> folders;
    if (request.randomFolder) {
        const SoundFolderListing listing = ListSoundFiles(request.source);
        outcome.skipped = listing.unusable;
        if (listing.files.isEmpty()) {
            outcome.failure = Failure(kConversionFailedMessage, MessageIcon::Exclamation,
                                      QFileInfo(request.source).isDir()
                                          ? QStringLiteral("%1 holds no sound files.").arg(request.source)
                                          : QStringLiteral("%1 is not a folder.").arg(request.source));
            return outcome;
        }
        const int files = int(listing.files.size());
        QList<int> picks = PlanRandomPicks(files, places, environment.random);
        QHash<int, int> sourceOfFile;
        QSet<int> failed;
        bool exhausted = false;
        // Each round makes the new picks ready and draws again for the places
        // whose file failed, until every place has a usable file or none is left.
        while (!exhausted) {
            QList<PreparedSource> round;
            QList<int> roundFiles;
            for (const int pick : picks) {
                if (!sourceOfFile.contains(pick) && !roundFiles.contains(pick)) {
                    roundFiles << pick;
                    round << PreparedSource(request.source + QLatin1Char('/') + listing.files[pick]);
                }
            }
            if (round.isEmpty())
                break;
            if (!PrepareSources(busy, environment, round, false, folders)) {
                outcome.failure = Failure::Cancelled();
                return outcome;
            }
            for (qsizetype r = 0; r < round.size(); ++r) {
                sourceOfFile.insert(roundFiles[r], int(sources.size()));
                if (!round[r].ready) {
                    failed.insert(roundFiles[r]);
                    outcome.skipped << DisplayFileName(listing.files[roundFiles[r]]) + QStringLiteral(": ") +
                                           round[r].ready.error().Reason();
                }
                sources << round[r];
            }
            for (int& pick : picks) {
                if (failed.contains(pick) && (pick = Redraw(files, failed, picks, environment.random)) < 0)
                    exhausted = true;
            }
        }
        if (exhausted) {
            // The files it tried are named with the skipped ones.
            outcome.failure =
                Failure(kConversionFailedMessage, MessageIcon::Exclamation,
                        QStringLiteral("No sound file of %1 could be used.").arg(request.source));
            return outcome;
        }
        for (int p = 0; p < places; ++p)
            sourceOfPlace[p] = sourceOfFile.value(picks[p]);
    } else {
        sources << PreparedSource(request.source);
        if (!PrepareSources(busy, environment, sources, request.keepConverted, folders)) {
            outcome.failure = Failure::Cancelled();
            return outcome;
        }
        if (!sources.first().ready) {
            outcome.failure = Failure(kConversionFailedMessage, MessageIcon::Exclamation,
                                      sources.first().ready.error().Reason());
            return outcome;
        }
    }

    // One job's writes: the lock from the first folder to the last record.
    std::optional<GameFolderLock> lock;
    if (QFileInfo(request.gameFolder).isDir()) {
        Result<GameFolderLock> acquired = GameFolderLock::Acquire(request.gameFolder, &host);
        if (!acquired) {
            outcome.failure = acquired.error();
            return outcome;
        }
        lock.emplace(std::move(*acquired));
    }

    // The targets in the table's order, each one's files as a unit.
    QString madeFolder;
    for (int i = 0; i < kSoundTargetCount; ++i) {
        const SoundTarget& target = targets[i];
        if (!target.madeAlways.isEmpty() && target.madeAlways != madeFolder) {
            MakeGameFolder(request.gameFolder, target.madeAlways);
            madeFolder = target.madeAlways;
        }
        if (request.states[std::size_t(i)] != TargetState::Ticked)
            continue;
        std::vector<GameFileWrite> writes;
        for (const QString& file : target.files) {
            const QString ready = *sources[sourceOfPlace[placeOfFile.value(file)]].ready;
            writes.push_back({file, [ready](QIODevice& out) { return CopySoundFile(out, ready); }});
        }
        const Result<QStringList> written = WriteGameFiles(request.gameFolder, writes);
        for (qsizetype f = 0; f < target.files.size(); ++f) {
            const QString& file = target.files[f];
            TrackWrite track{i, file, sources[sourceOfPlace[placeOfFile.value(file)]].path, Fail(Failure())};
            track.written = written ? Result<QString>(written->value(f)) : Fail(written.error());
            outcome.tracks << track;
        }
        if (written)
            outcome.states[std::size_t(i)] = TargetState::Done;
    }
    return outcome;
}

Failure SkippedSoundsMessage(const QStringList& skipped)
{
    if (skipped.isEmpty())
        return Failure();
    return Failure(skipped.size() == 1
                       ? QStringLiteral("This sound file could not be used; another one was drawn instead.")
                       : QStringLiteral("These sound files could not be used; others were drawn instead."),
                   MessageIcon::Exclamation, skipped.join(QLatin1Char('\n')));
}

QStringList MusicRestoreOutcome::LeftAlone() const
{
    QStringList paths;
    for (const TrackRestore& track : tracks) {
        if (track.restored && track.restored->kind == RestoreOutcome::LeftAlone)
            paths << track.restored->path;
    }
    return paths;
}

MusicRestoreOutcome RestoreSelectedTracks(BusyHost& host, const QString& gameFolder,
                                          const TargetStates& states)
{
    MusicRestoreOutcome outcome;
    outcome.states = states;
    if (gameFolder.isEmpty() || !QFileInfo(gameFolder).isDir()) {
        outcome.failure = Failure(kMusicRestoreErrorMessage, MessageIcon::Exclamation,
                                  gameFolder.isEmpty()
                                      ? QStringLiteral("No game folder is set.")
                                      : QStringLiteral("The game folder %1 does not exist.").arg(gameFolder));
        return outcome;
    }
    Result<GameFolderLock> lock = GameFolderLock::Acquire(gameFolder, &host);
    if (!lock) {
        outcome.failure = lock.error();
        return outcome;
    }
    const QList<SoundTarget>& targets = SoundTargets();
    for (int i = 0; i < kSoundTargetCount; ++i) {
        if (states[std::size_t(i)] != TargetState::Ticked)
            continue;
        bool back = true;
        for (const QString& file : targets[i].files) {
            Result<RestoreOutcome> restored = RestoreGameFile(gameFolder, file);
            if (!restored)
                restored.error().Retitle(kMusicRestoreErrorMessage, MessageIcon::Exclamation);
            back = back && restored && restored->kind != RestoreOutcome::LeftAlone;
            outcome.tracks << TrackRestore{i, file, std::move(restored)};
        }
        if (back)
            outcome.states[std::size_t(i)] = TargetState::Unticked;
    }
    return outcome;
}
