#include "cli/OnlineCommand.h"

#include "app/SettingsStore.h"
#include "cli/ConsoleBusyHost.h"
#include "cli/GamesCommand.h"
#include "online/DownloadBatch.h"
#include "online/OnlineApply.h"
#include "online/OnlineExport.h"
#include "texture/TextureWriter.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace {

void Line(std::FILE* stream, int slot, const QString& text)
{
    std::fprintf(stream, "slot %d: %s\n", slot,
                 qPrintable(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
}

int RunUpdate(const QStringList& arguments, const CommandContext& context)
{
    QCommandLineParser parser;
    const QCommandLineOption game(QStringLiteral("game"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption compress(QStringLiteral("compress"));
    parser.addOptions({game, compress});
    if (!parser.parse(QStringList{QStringLiteral("online")} + arguments))
        return UsageError(context, parser.errorText());
    if (parser.positionalArguments().size() != 1)
        return UsageError(context, QStringLiteral("online update takes --game DIR [--compress]."));
    const std::optional<QString> gameFolder = GameFolderArgument(
        parser.value(game), context, QStringLiteral("online update takes --game DIR [--compress]."));
    if (!gameFolder)
        return kExitUsage;

    const SettingsStore store(SettingsStore::DefaultFilePath());
    ConsoleBusyHost host(context.err);
    DownloadBatch batch(context.environment.workFolder);
    QElapsedTimer clock;
    clock.start();
    const std::array<OnlineSlot, kOnlineSlots> records = OnlineSlots(OnlineSettings::Load(store));
    std::array<SlotStart, kOnlineSlots> starts{};
    for (const OnlineSlot& slot : records)
        starts[std::size_t(slot.index)] = batch.StartDownload(slot);
    bool cancelled = false;
    if (batch.AnyDownloading()) {
        // Downloads run in the event loop; Ctrl-C stops them.
        BusyScope busy(host, true, 0, QStringLiteral("Downloading..."));
        QEventLoop loop;
        QObject::connect(&batch, &DownloadBatch::finished, &loop, &QEventLoop::quit);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            host.PumpEvents();
            if (host.CancelRequested()) {
                cancelled = true;
                batch.Abort();
                loop.quit();
            }
        });
        poll.start(100);
        loop.exec();
    }
    const qint64 downloadMs = clock.restart();
    if (cancelled) {
        std::fprintf(context.err, "Stopped; nothing was applied.\n");
        return kExitFailed;
    }

    TextureWriter writer(host, TextureWriterOptions::From(context.environment, parser.isSet(compress)));
    const QList<AppliedSlot> applied = ApplyDownloads(host, writer, *gameFolder, records, batch.TakeStored());
    const qint64 applyMs = clock.elapsed();

    std::array<const AppliedSlot*, kOnlineSlots> appliedBySlot{};
    for (const AppliedSlot& slot : applied)
        appliedBySlot[std::size_t(slot.slot)] = &slot;
    bool allApplied = true;
    for (int i = 0; i < kOnlineSlots; ++i) {
        const DownloadSlot& slot = batch.Slot(i);
        switch (starts[std::size_t(i)]) {
        case SlotStart::NotInUse:
            Line(context.out, i, QStringLiteral("not in use"));
            continue;
        case SlotStart::Refused:
            allApplied = false;
            if (const OnlineSlot& record = records[std::size_t(i)]; !record.texture)
                Line(context.out, i, QStringLiteral("not applied: ") + record.texture.error().Reason());
            else
                Line(context.out, i, QStringLiteral("not started: ") + slot.Reason());
            continue;
        case SlotStart::Started:
            break;
        }
        if (slot.CurrentState() == DownloadSlot::State::Failed) {
            allApplied = false;
            Line(context.out, i, QStringLiteral("download failed: ") + slot.Reason());
            continue;
        }
        const AppliedSlot* result = appliedBySlot[std::size_t(i)];
        if (result && result->written) {
            Line(context.out, i, QStringLiteral("applied -> ") + *result->written);
        } else {
            allApplied = false;
            Line(context.out, i,
                 QStringLiteral("not applied: ") +
                     (result ? result->written.error().Text() : QStringLiteral("nothing was stored.")));
        }
    }
    std::fprintf(context.err, "Downloads took %.3f s, applying them %.3f s.\n", double(downloadMs) / 1000.0,
                 double(applyMs) / 1000.0);
    return allApplied ? kExitOk : kExitFailed;
}

int RunExport(const QStringList& arguments, const CommandContext& context)
{
    if (arguments.size() != 2)
        return UsageError(context, QStringLiteral("online export takes the file to write."));
    const SettingsStore store(SettingsStore::DefaultFilePath());
    const OnlineSettings settings = OnlineSettings::Load(store);
    std::array<QString, kOnlineSlots> links;
    for (int i = 0; i < kOnlineSlots; ++i)
        links[std::size_t(i)] = settings.entries[std::size_t(i)].link;
    if (const Result<> written = WriteOnlineExport(arguments[1], OnlineExportText(settings, links));
        !written) {
        std::fprintf(context.err, "%s could not be written: %s\n", qPrintable(arguments[1]),
                     qPrintable(written.error().Reason()));
        return kExitFailed;
    }
    std::fprintf(context.out, "%s\n", qPrintable(arguments[1]));
    return kExitOk;
}

int RunImport(const QStringList& arguments, const CommandContext& context)
{
    if (arguments.size() != 2)
        return UsageError(context, QStringLiteral("online import takes the file to read."));
    SettingsStore store(SettingsStore::DefaultFilePath());
    const Result<OnlineImport> imported = ImportOnlineFile(arguments[1], store);
    if (!imported) {
        std::fprintf(context.err, "%s could not be imported: %s\n", qPrintable(arguments[1]),
                     qPrintable(imported.error().Reason()));
        return kExitFailed;
    }
    for (const auto& [name, value] : imported->values)
        std::fprintf(context.out, "%s=%s\n", qPrintable(name), qPrintable(value));
    for (const QString& refused : imported->refused)
        std::fprintf(context.err, "Refused: %s\n", qPrintable(refused));
    return imported->refused.isEmpty() ? kExitOk : kExitFailed;
}

} // namespace

int RunOnlineCommand(const QStringList& arguments, const CommandContext& context)
{
    const QString action = arguments.value(0);
    if (action == QLatin1String("update"))
        return RunUpdate(arguments, context);
    if (action == QLatin1String("export"))
        return RunExport(arguments, context);
    if (action == QLatin1String("import"))
        return RunImport(arguments, context);
    return UsageError(context, QStringLiteral("online needs update, export or import."));
}
