#include "cli/MusicCommand.h"

#include "cli/ConsoleBusyHost.h"
#include "cli/GamesCommand.h"
#include "music/MusicSave.h"

#include <QCommandLineParser>

namespace {

QString OneLine(const Failure& failure)
{
    return failure.Text().replace(QLatin1Char('\n'), QStringLiteral(" "));
}

int SaveTracks(const MusicSaveRequest& request, const CommandContext& context)
{
    ConsoleBusyHost host(context.err);
    const MusicSaveOutcome outcome = SaveSelectedTracks(host, context.environment, request);
    for (const QString& skipped : outcome.skipped)
        std::fprintf(context.err, "Skipped %s\n", qPrintable(skipped));
    if (outcome.failure)
        host.ShowFailure(*outcome.failure);
    bool failed = outcome.failure.has_value();
    for (const TrackWrite& track : outcome.tracks) {
        if (track.written) {
            std::fprintf(context.out, "%s\n", qPrintable(*track.written));
            continue;
        }
        failed = true;
        std::fprintf(context.err, "Not written: %s: %s\n", qPrintable(track.file),
                     qPrintable(OneLine(track.written.error())));
    }
    if (outcome.failure && outcome.failure->IsCancel())
        std::fprintf(context.err, "Stopped: no track was written.\n");
    return failed ? kExitFailed : kExitOk;
}

int RestoreTracks(const QString& gameFolder, const TargetStates& states, const CommandContext& context)
{
    ConsoleBusyHost host(context.err);
    const MusicRestoreOutcome outcome = RestoreSelectedTracks(host, gameFolder, states);
    if (outcome.failure) {
        host.ShowFailure(*outcome.failure);
        return kExitFailed;
    }
    bool failed = false;
    for (const TrackRestore& track : outcome.tracks) {
        if (!track.restored) {
            failed = true;
            std::fprintf(context.err, "%s: %s\n", qPrintable(track.file),
                         qPrintable(OneLine(track.restored.error())));
            continue;
        }
        switch (track.restored->kind) {
        case RestoreOutcome::NotThere:
            break;
        case RestoreOutcome::Deleted:
            std::fprintf(context.out, "deleted %s\n", qPrintable(track.restored->path));
            break;
        case RestoreOutcome::BackupPutBack:
            std::fprintf(context.out, "put back %s\n", qPrintable(track.restored->path));
            break;
        case RestoreOutcome::LeftAlone:
            failed = true;
            std::fprintf(context.err, "%s: %s %s\n", qPrintable(track.file),
                         qPrintable(LeftAloneMessage({track.restored->path}, QStringLiteral("track"),
                                                     QStringLiteral("tracks"))
                                        .text),
                         qPrintable(track.restored->path));
            break;
        }
    }
    return failed ? kExitFailed : kExitOk;
}

} // namespace

int RunMusicCommand(const QStringList& arguments, const CommandContext& context)
{
    QCommandLineParser parser;
    const QCommandLineOption game(QStringLiteral("game"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption random(QStringLiteral("random"));
    const QCommandLineOption boombox(QStringLiteral("boombox"), QString(), QStringLiteral("N"));
    const QCommandLineOption all(QStringLiteral("all"));
    // The switches of the other targets, in the target table's order.
    const QList<QPair<QCommandLineOption, int>> named = {
        {QCommandLineOption(QStringLiteral("hero-login")), kHeroLogin},
        {QCommandLineOption(QStringLiteral("villain-login")), kVillainLogin},
        {QCommandLineOption(QStringLiteral("praetorian-login")), kPraetorianLogin},
        {QCommandLineOption(QStringLiteral("dance-floor")), kDanceFloor},
        {QCommandLineOption(QStringLiteral("blue-side")), kBlueSide},
        {QCommandLineOption(QStringLiteral("red-side")), kRedSide},
    };
    parser.addOptions({game, random, boombox, all});
    for (const auto& [option, target] : named)
        parser.addOption(option);
    if (!parser.parse(QStringList{QStringLiteral("music")} + arguments))
        return UsageError(context, parser.errorText());
    const QStringList positional = parser.positionalArguments();
    // "music restore TARGET..." gives the tracks back; a sound file named
    // restore is given as ./restore.
    const bool restore = positional.size() == 1 && positional.first() == QLatin1String("restore");
    if (positional.size() != 1)
        return UsageError(context, QStringLiteral("music needs one sound file (or with --random a folder), "
                                                  "or restore."));
    if (restore && parser.isSet(random))
        return UsageError(context, QStringLiteral("music restore takes no --random."));
    TargetStates states{};
    states.fill(parser.isSet(all) ? TargetState::Ticked : TargetState::Unticked);
    for (const QString& value : parser.values(boombox)) {
        bool ok = false;
        const int target = BoomBoxTargetOfTrack(value.toInt(&ok));
        if (!ok || target < 0)
            return UsageError(context, QStringLiteral("--boombox takes a track number from 1 to 25."));
        states[std::size_t(target)] = TargetState::Ticked;
    }
    for (const auto& [option, target] : named) {
        if (parser.isSet(option))
            states[std::size_t(target)] = TargetState::Ticked;
    }
    if (!std::count(states.begin(), states.end(), TargetState::Ticked))
        return UsageError(context,
                          QStringLiteral("music needs at least one target (--boombox N, --hero-login, "
                                         "--villain-login, --praetorian-login, --dance-floor, --blue-side, "
                                         "--red-side, --all)."));
    const std::optional<QString> gameFolder =
        GameFolderArgument(parser.value(game), context, QStringLiteral("--game DIR is required."));
    if (!gameFolder)
        return kExitUsage;
    if (restore)
        return RestoreTracks(*gameFolder, states, context);

    MusicSaveRequest request;
    request.gameFolder = *gameFolder;
    request.source = positional.first();
    request.randomFolder = parser.isSet(random);
    request.states = states;
    return SaveTracks(request, context);
}
