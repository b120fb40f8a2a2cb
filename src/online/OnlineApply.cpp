#include "online/OnlineApply.h"

#include "app/FileAccess.h"
#include "app/GameFileWriter.h"
#include "image/ImageLoader.h"
#include "texture/TextureWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr qint32 kLargestSide = 1024;

bool HasControlCharacters(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
    }
    return false;
}

// Why a name cannot be one folder or file name of a game path; "" when it can.
QString NameProblem(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("an empty name");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("\"%1\"").arg(name);
    if (name.contains(QLatin1Char('\\')))
        return QStringLiteral("a backslash");
    if (name.contains(QLatin1Char(':')))
        return QStringLiteral("a drive or stream (\":\")");
    if (HasControlCharacters(name))
        return QStringLiteral("control characters");
    return QString();
}

QString Quoted(const QString& text)
{
    return QLatin1Char('"') + text.left(120) + QLatin1Char('"');
}

Failure ValueRefused(const QString& prefix, int slot, const QString& value, const QString& rule)
{
    return Failure::Because(
        QStringLiteral("%1 (%2) %3").arg(setting::SlotValue(prefix, slot), Quoted(value), rule));
}

// A side of the texture: a whole number from 1 to 1024; -1 otherwise.
qint32 SideValue(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 4)
        return -1;
    qint32 value = 0;
    for (QChar c : trimmed) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value >= 1 && value <= kLargestSide ? value : -1;
}

} // namespace

Result<TextureTarget> OnlineSlotTarget(const OnlineSlotSettings& slot, int slotIndex)
{
    TextureTarget target;
    const QStringList folders = slot.path.split(QLatin1Char('/'));
    if (folders.first().compare(QLatin1String("texture_library"), Qt::CaseInsensitive) != 0)
        return Fail(ValueRefused(setting::kWebPath, slotIndex, slot.path,
                                 QStringLiteral("must be a folder below texture_library.")));
    for (const QString& folder : folders) {
        if (const QString problem = NameProblem(folder); !problem.isEmpty())
            return Fail(ValueRefused(
                setting::kWebPath, slotIndex, slot.path,
                QStringLiteral("must hold only plain folder names (it holds %1).").arg(problem)));
    }
    if (const QString problem = NameProblem(slot.file);
        !problem.isEmpty() || slot.file.contains(QLatin1Char('/')))
        return Fail(ValueRefused(setting::kWebFile, slotIndex, slot.file,
                                 QStringLiteral("must be a plain file name (it holds %1).")
                                     .arg(problem.isEmpty() ? QStringLiteral("a \"/\"") : problem)));
    target.gamePath = slot.path;
    target.fileName = slot.file;
    target.width = SideValue(slot.width);
    target.height = SideValue(slot.height);
    const QString sizeRule = QStringLiteral("must be a whole number from 1 to %1.").arg(kLargestSide);
    if (target.width < 0)
        return Fail(ValueRefused(setting::kWebWidth, slotIndex, slot.width, sizeRule));
    if (target.height < 0)
        return Fail(ValueRefused(setting::kWebHeight, slotIndex, slot.height, sizeRule));
    return target;
}

Result<QString> ConfinedTextureFile(const QString& gameFolder, const TextureTarget& target)
{
    if (gameFolder.isEmpty() || !QFileInfo(gameFolder).isDir())
        return Fail(Failure::Because(
            gameFolder.isEmpty() ? QStringLiteral("No game folder is set.")
                                 : QStringLiteral("The game folder %1 does not exist.").arg(gameFolder)));
    // The data folder as it is spelled in the game folder; made when the game has none yet.
    const QString spelled = SpelledEntry(gameFolder, QStringLiteral("data"));
    const QString dataFolder =
        QDir(gameFolder).filePath(spelled.isEmpty() ? QStringLiteral("data") : spelled);
    if (!QFileInfo(dataFolder).isDir() && !QDir().mkdir(dataFolder))
        return Fail(Failure::Because(QStringLiteral("The folder %1 cannot be created.").arg(dataFolder)));
    // Resolved with the data folder as the root: no symlink below it may lead out.
    return ResolveWriteTarget(dataFolder, target.gamePath + QLatin1Char('/') + target.fileName +
                                              QStringLiteral(".texture"));
}

QList<AppliedSlot> ApplyDownloads(BusyHost& host, TextureWriter& writer, const QString& gameFolder,
                                  const OnlineSettings& settings,
                                  const std::array<QString, kOnlineSlots>& pictures)
{
    QList<AppliedSlot> applied;
    for (int i = 0; i < kOnlineSlots; ++i) {
        const QString& picture = pictures[std::size_t(i)];
        if (picture.isEmpty())
            continue;
        const Result<QString> written = [&]() -> Result<QString> {
            const Result<TextureTarget> target = OnlineSlotTarget(settings.entries[std::size_t(i)], i);
            if (!target)
                return Fail(Failure(target.error())
                                .Retitle(QStringLiteral("The online texture of slot %1 was skipped: its "
                                                        "settings are not valid.")
                                             .arg(i),
                                         MessageIcon::Exclamation));
            if (const Result<QString> file = ConfinedTextureFile(gameFolder, *target); !file)
                return Fail(Failure(file.error()).Retitle(kWriteErrorMessage, MessageIcon::Exclamation));
            const Result<DibRef> loaded = LoadImageFile(host, picture, target->width, target->height);
            if (!loaded)
                return Fail(loaded.error());
            return WriteTextureTarget(writer, gameFolder, *target, **loaded, nullptr);
        }();
        QFile::remove(picture);
        applied.append({i, written});
    }
    return applied;
}
