#include "music/MusicSave.h"

#include "app/FileAccess.h"
#include "app/GameFileWriter.h"
#include "music/SoundConversion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <memory>
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

// Makes a target's folder (with its parents) inside the game folder; a folder
// that cannot be made shows up when its files are written.
void MakeTargetFolder(const QString& gameFolder, const SoundTarget& target)
{
    ResolveWriteTarget(gameFolder, target.files.first());
}

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

QStringList ListSoundFiles(const QString& folder)
{
    QStringList names;
    if (folder.isEmpty())
        return names;
    // Files only: a symlink counts when it leads to a regular file.
    for (const QString& name :
         QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase)) {
        if (IsSoundFileName(name))
            names << name;
    }
    return names;
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

bool IsOggVorbis(const QString& path)
{
    // The first page opens the stream (beginning-of-stream flag) and its first
    // packet is a Vorbis identification header.
    QFile file;
    if (!OpenRegularFile(file, path))
        return false;
    const QByteArray head = file.read(27 + 255 + 7);
    if (head.size() < 28 || !head.startsWith("OggS") || head[4] != 0 || !(head[5] & 0x02))
        return false;
    const int segments = quint8(head[26]);
    return head.mid(27 + segments, 7) == QByteArray("\x01vorbis", 7);
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

MusicSaveOutcome SaveSelectedTracks(BusyHost& host, const Environment& environment,
                                    const MusicSaveRequest& request)
{
    MusicSaveOutcome outcome;
    outcome.states = request.states;
    const QList<SoundTarget>& targets = SoundTargets();
    BusyScope busy(host, true, 0,
                   QStringLiteral("Converting ") + ListedName(request.source) + QStringLiteral("..."));

    // Every file of every ticked target, in order, and the source each gets.
    struct Slot
    {
        int target;
        QString file;
        int source = 0;
    };
    QList<Slot> places;
    for (int i = 0; i < kSoundTargetCount; ++i) {
        if (request.states[std::size_t(i)] == TargetState::Ticked) {
            for (const QString& file : targets[i].files)
                places << Slot{i, file};
        }
    }

    QStringList sources;
    if (request.randomFolder) {
        const QStringList names = ListSoundFiles(request.source);
        if (names.isEmpty()) {
            outcome.failure = Failure(kConversionFailedMessage, MessageIcon::Exclamation,
                                      QFileInfo(request.source).isDir()
                                          ? QStringLiteral("%1 holds no sound files.").arg(request.source)
                                          : QStringLiteral("%1 is not a folder.").arg(request.source));
            return outcome;
        }
        const QList<int> picks = PlanRandomPicks(int(names.size()), int(places.size()), environment.random);
        for (qsizetype s = 0; s < places.size(); ++s) {
            const QString path = QDir(request.source).filePath(names[picks[s]]);
            if (!sources.contains(path))
                sources << path;
            places[s].source = int(sources.indexOf(path));
        }
    } else {
        sources << request.source;
    }

    // Each distinct source once: an Ogg Vorbis file as it is, anything else
    // converted in a work folder of its own (runs never share a temporary).
    QList<Result<QString>> prepared;
    QList<SoundConversion> conversions;
    QList<int> converting;
    std::vector<std::unique_ptr<PrivateWorkFolder>> folders;
    for (qsizetype s = 0; s < sources.size(); ++s) {
        const QString& source = sources[s];
        if (source.right(4).toLower() == QLatin1String(".ogg") && IsOggVorbis(source)) {
            prepared << source;
            continue;
        }
        auto folder = std::make_unique<PrivateWorkFolder>(environment.workFolder);
        if (!folder->IsValid()) {
            prepared << Fail(Failure::Because(folder->Reason()));
            continue;
        }
        prepared << QString();
        converting << int(s);
        conversions << SoundConversion{
            environment.pluginFolder, source, folder->FilePath(kConvertedFileName), environment.random(), {}};
        if (request.keepConverted && !request.randomFolder)
            folder->Keep(kConvertedFileName);
        folders.push_back(std::move(folder));
    }
    ConvertSounds(busy, conversions, QThread::idealThreadCount());

    QStringList failedNames;
    int failed = 0;
    for (qsizetype c = 0; c < conversions.size(); ++c) {
        const SoundConversion& conversion = conversions[c];
        if (!conversion.result && conversion.result.error().IsCancel()) {
            outcome.failure = Failure::Cancelled();
            return outcome;
        }
        prepared[converting[c]] =
            conversion.result ? Result<QString>(conversion.output) : Fail(conversion.result.error());
    }
    for (qsizetype s = 0; s < sources.size(); ++s) {
        if (prepared[s])
            continue;
        ++failed;
        const QString reason = prepared[s].error().Reason();
        failedNames << (request.randomFolder
                            ? QFileInfo(sources[s]).fileName() + QStringLiteral(": ") + reason
                            : reason);
    }
    if (failed > 0)
        outcome.failure =
            Failure(kConversionFailedMessage, MessageIcon::Exclamation, failedNames.join(QLatin1Char('\n')));
    if (failed == sources.size())
        return outcome;

    // The targets in the table's order, each file replaced atomically.
    QString madeFolder;
    qsizetype place = 0;
    for (int i = 0; i < kSoundTargetCount; ++i) {
        const SoundTarget& target = targets[i];
        const bool ticked = request.states[std::size_t(i)] == TargetState::Ticked;
        if ((target.folderAlways && target.folder != madeFolder) || (ticked && !target.folderAlways)) {
            MakeTargetFolder(request.gameFolder, target);
            madeFolder = target.folder;
        }
        if (!ticked)
            continue;
        bool all = true;
        for (const QString& file : target.files) {
            const Slot& s = places[place++];
            const Result<QString>& source = prepared[s.source];
            TrackWrite track{i, file, sources[s.source], Fail(Failure())};
            if (!source) {
                track.written = Fail(source.error());
            } else {
                track.written = WriteGameFile(request.gameFolder, file,
                                              [&](QIODevice& out) { return CopySoundFile(out, *source); });
            }
            all = all && track.written.has_value();
            outcome.tracks << track;
        }
        if (all)
            outcome.states[std::size_t(i)] = TargetState::Done;
    }
    return outcome;
}
