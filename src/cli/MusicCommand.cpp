#include "cli/MusicCommand.h"

#include "cli/ConsoleBusyHost.h"
#include "music/MusicSave.h"

#include <QCommandLineParser>

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
    if (positional.size() != 1)
        return UsageError(context, QStringLiteral("music needs one sound file (or with --random a folder)."));
    if (parser.value(game).isEmpty())
        return UsageError(context, QStringLiteral("--game DIR is required."));

    MusicSaveRequest request;
    request.gameFolder = parser.value(game);
    request.source = positional.first();
    request.randomFolder = parser.isSet(random);
    request.states.fill(parser.isSet(all) ? TargetState::Ticked : TargetState::Unticked);
    for (const QString& value : parser.values(boombox)) {
        bool ok = false;
        const int target = BoomBoxTargetOfTrack(value.toInt(&ok));
        if (!ok || target < 0)
            return UsageError(context, QStringLiteral("--boombox takes a track number from 1 to 25."));
        request.states[std::size_t(target)] = TargetState::Ticked;
    }
    for (const auto& [option, target] : named) {
        if (parser.isSet(option))
            request.states[std::size_t(target)] = TargetState::Ticked;
    }
    if (!std::count(request.states.begin(), request.states.end(), TargetState::Ticked))
        return UsageError(context,
                          QStringLiteral("music needs at least one target (--boombox N, --hero-login, "
                                         "--villain-login, --dance-floor, --blue-side, --red-side, "
                                         "--all)."));

    ConsoleBusyHost host(context.err);
    const MusicSaveOutcome outcome = SaveSelectedTracks(host, context.environment, request);
    if (outcome.failure)
        host.ShowFailure(*outcome.failure);
    bool failed = outcome.failure.has_value();
    for (const TrackWrite& track : outcome.tracks) {
        if (track.written) {
            std::fprintf(context.out, "%s\n", qPrintable(*track.written));
            continue;
        }
        failed = true;
        std::fprintf(
            context.err, "Not written: %s: %s\n", qPrintable(track.file),
            qPrintable(track.written.error().Text().replace(QLatin1Char('\n'), QStringLiteral(" "))));
    }
    if (outcome.failure && outcome.failure->IsCancel())
        std::fprintf(context.err, "Stopped: no track was written.\n");
    return failed ? kExitFailed : kExitOk;
}
