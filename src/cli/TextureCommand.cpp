#include "cli/TextureCommand.h"

#include "cli/ConsoleBusyHost.h"
#include "cli/GamesCommand.h"
#include "texture/TextureReplacement.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {

QString OneLine(const Failure& failure)
{
    return failure.Text().replace(QLatin1Char('\n'), QStringLiteral(" "));
}

int ListCatalogue(const QList<CatalogueCategory>& catalogue, const CommandContext& context)
{
    for (const CatalogueCategory& category : catalogue) {
        std::fprintf(context.out, "%s\n", qPrintable(category.name));
        for (const CatalogueEntry& entry : category.entries)
            std::fprintf(context.out, "  %s\t%s\n", qPrintable(entry.DisplayText()),
                         qPrintable(entry.fileName));
    }
    return kExitOk;
}

// The entries a command acts on: the one named FILE_NAME (names are unique;
// an exact match first, else one that differs only in case), or every entry
// of the category NAME. Empty when there is none.
QList<CatalogueEntry> Select(const QList<CatalogueCategory>& catalogue, const QString& fileName,
                             const QString& category)
{
    if (!category.isNull()) {
        for (const CatalogueCategory& c : catalogue)
            if (c.name == category)
                return c.entries;
        return {};
    }
    for (Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive})
        for (const CatalogueCategory& c : catalogue)
            for (const CatalogueEntry& entry : c.entries)
                if (entry.fileName.compare(fileName, cs) == 0)
                    return {entry};
    return {};
}

int SetTextures(ConsoleBusyHost& host, const ReplacementJob& job, const QList<CatalogueEntry>& entries,
                const CommandContext& context)
{
    bool failed = false;
    ReplaceTextures(host, context.environment, job, entries,
                    [&](const CatalogueEntry& entry, const Result<QString>& written) {
                        if (written) {
                            std::fprintf(context.out, "%s\n", qPrintable(*written));
                            return;
                        }
                        failed = true;
                        if (!written.error().IsCancel())
                            std::fprintf(context.err, "%s: %s\n", qPrintable(entry.fileName),
                                         qPrintable(OneLine(written.error())));
                    });
    if (host.CancelRequested())
        std::fprintf(context.err, "Stopped.\n");
    return failed || host.CancelRequested() ? kExitFailed : kExitOk;
}

int RestoreTextures(ConsoleBusyHost& host, const QString& gameFolder, const QList<CatalogueEntry>& entries,
                    const CommandContext& context)
{
    bool failed = false;
    const QList<Result<RestoreOutcome>> outcomes = ::RestoreTextures(gameFolder, entries, &host);
    for (qsizetype i = 0; i < outcomes.size(); ++i) {
        const Result<RestoreOutcome>& outcome = outcomes[i];
        const QString name = entries[i].fileName;
        if (!outcome) {
            failed = true;
            if (!outcome.error().IsCancel())
                std::fprintf(context.err, "%s: %s\n", qPrintable(name), qPrintable(OneLine(outcome.error())));
            continue;
        }
        switch (outcome->kind) {
        case RestoreOutcome::NotThere:
            break;
        case RestoreOutcome::Deleted:
            std::fprintf(context.out, "deleted %s\n", qPrintable(outcome->path));
            break;
        case RestoreOutcome::BackupPutBack:
            std::fprintf(context.out, "put back %s\n", qPrintable(outcome->path));
            break;
        case RestoreOutcome::LeftAlone:
            failed = true;
            std::fprintf(context.err, "%s: %s %s\n", qPrintable(name),
                         qPrintable(LeftAloneMessage({outcome->path}).text), qPrintable(outcome->path));
            break;
        }
    }
    return failed ? kExitFailed : kExitOk;
}

} // namespace

int RunTextureCommand(const QStringList& arguments, const CommandContext& context)
{
    QCommandLineParser parser;
    const QCommandLineOption game(QStringLiteral("game"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption category(QStringLiteral("category"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption mask(QStringLiteral("mask"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption compress(QStringLiteral("compress"));
    parser.addOptions({game, category, mask, compress});
    if (!parser.parse(QStringList{QStringLiteral("texture")} + arguments))
        return UsageError(context, parser.errorText());
    QStringList positional = parser.positionalArguments();
    const QString action = positional.isEmpty() ? QString() : positional.takeFirst();
    const bool byCategory = parser.isSet(category);
    const qsizetype named = byCategory ? 0 : 1; // FILE_NAME before the rest
    if (action == QLatin1String("list")) {
        if (!positional.isEmpty() || byCategory || parser.isSet(game) || parser.isSet(mask) ||
            parser.isSet(compress))
            return UsageError(context, QStringLiteral("texture list takes nothing else."));
    } else if (action == QLatin1String("set")) {
        if (positional.size() != named + 1)
            return UsageError(context,
                              QStringLiteral("texture set needs a texture's file name (or --category "
                                             "NAME) and a picture."));
    } else if (action == QLatin1String("restore")) {
        if (positional.size() != named || parser.isSet(mask) || parser.isSet(compress))
            return UsageError(context, QStringLiteral("texture restore needs a texture's file name (or "
                                                      "--category NAME) and --game DIR."));
    } else {
        return UsageError(context, QStringLiteral("texture needs list, set or restore."));
    }

    ConsoleBusyHost host(context.err);
    const Result<QList<CatalogueCategory>> catalogue = ReadCatalogueFile(context.environment.dataFolder);
    if (!catalogue) {
        host.ShowFailure(catalogue.error());
        return kExitFailed;
    }
    if (action == QLatin1String("list"))
        return ListCatalogue(*catalogue, context);

    const QList<CatalogueEntry> entries = Select(*catalogue, byCategory ? QString() : positional.first(),
                                                 byCategory ? parser.value(category) : QString());
    if (entries.isEmpty())
        return UsageError(context, byCategory
                                       ? QStringLiteral("No category %1 in the catalogue (texture list shows "
                                                        "them), or it has no textures.")
                                             .arg(parser.value(category))
                                       : QStringLiteral("No texture %1 in the catalogue (texture list shows "
                                                        "the file names).")
                                             .arg(positional.first()));
    const std::optional<QString> chosen =
        GameFolderArgument(parser.value(game), context, QStringLiteral("--game DIR is required."));
    if (!chosen)
        return kExitUsage;
    const QString gameFolder = *chosen;
    if (!QFileInfo(gameFolder).isDir()) {
        host.ShowMessage(QStringLiteral("The game folder %1 does not exist.").arg(gameFolder),
                         MessageIcon::Exclamation);
        return kExitFailed;
    }
    if (action == QLatin1String("restore"))
        return RestoreTextures(host, gameFolder, entries, context);
    const ReplacementJob job{gameFolder, positional.last(), parser.value(mask), parser.isSet(compress)};
    return SetTextures(host, job, entries, context);
}
