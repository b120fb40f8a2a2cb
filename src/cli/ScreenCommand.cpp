#include "cli/ScreenCommand.h"

#include "cli/ConsoleBusyHost.h"
#include "cli/GamesCommand.h"
#include "image/Frames.h"
#include "image/ImageLoader.h"
#include "texture/LoadingScreen.h"

#include <QCommandLineParser>
#include <optional>

namespace {

// A level given on the command line: a whole number from 0 to 255.
std::optional<int> ParseLevel(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0 || value > 255)
        return std::nullopt;
    return value;
}

} // namespace

int RunScreenCommand(const QStringList& arguments, const CommandContext& context)
{
    QCommandLineParser parser;
    const QCommandLineOption game(QStringLiteral("game"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption compress(QStringLiteral("compress"));
    const QCommandLineOption frame(QStringLiteral("frame"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption black(QStringLiteral("black"), QString(), QStringLiteral("N"),
                                   QStringLiteral("0"));
    const QCommandLineOption white(QStringLiteral("white"), QString(), QStringLiteral("N"),
                                   QStringLiteral("255"));
    parser.addOptions({game, compress, frame, black, white});
    if (!parser.parse(QStringList{QStringLiteral("screen")} + arguments))
        return UsageError(context, parser.errorText());
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2)
        return UsageError(context,
                          QStringLiteral("screen needs a screen (login or character) and a picture."));
    const QString screen = positional.at(0);
    if (screen != QLatin1String("login") && screen != QLatin1String("character"))
        return UsageError(context, QStringLiteral("Unknown screen: %1 (use login or character)").arg(screen));
    const std::optional<QString> gameFolder =
        GameFolderArgument(parser.value(game), context, QStringLiteral("--game DIR is required."));
    if (!gameFolder)
        return kExitUsage;
    const auto blackLevel = ParseLevel(parser.value(black));
    const auto whiteLevel = ParseLevel(parser.value(white));
    if (!blackLevel || !whiteLevel)
        return UsageError(context, QStringLiteral("--black and --white take whole numbers from 0 to 255."));
    if (*blackLevel >= *whiteLevel)
        return UsageError(context, QStringLiteral("--black must be below --white."));

    ConsoleBusyHost host(context.err);
    const Result<QString> written = [&]() -> Result<QString> {
        Result<PixelBufferPtr> picture = LoadImageFile(host, positional.at(1), kFrameWidth, kFrameHeight);
        if (!picture)
            return Fail(picture.error());
        LoadingScreenJob job;
        job.screen = screen == QLatin1String("login") ? LoadingScreen::Login : LoadingScreen::Character;
        job.gameFolder = *gameFolder;
        job.picture = *picture;
        job.black = *blackLevel;
        job.white = *whiteLevel;
        job.frame = parser.value(frame);
        job.frameRequired = true;
        job.compress = parser.isSet(compress);
        return SaveLoadingScreen(host, context.environment, job);
    }();
    if (!written) {
        host.ShowFailure(written.error());
        return kExitFailed;
    }
    std::fprintf(context.out, "%s\n", qPrintable(*written));
    return kExitOk;
}
