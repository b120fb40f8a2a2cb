#include "online/OnlineSlot.h"

namespace {

constexpr qint32 kLargestSide = 1024;

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

Failure ValueRefused(const QString& prefix, int slot, const QString& value, const QString& rule)
{
    return Failure::Because(
        QStringLiteral("%1 (\"%2\") %3").arg(setting::SlotValue(prefix, slot), value.left(120), rule));
}

// A side of the texture: a whole number from 1 to 1024; -1 otherwise.
qint32 SideValue(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value >= 1 && value <= kLargestSide && text.trimmed().front().isDigit() ? value : -1;
}

} // namespace

Result<QUrl> ParsePictureAddress(const QString& text)
{
    const auto refused = [](const QString& reason) -> Result<QUrl> { return Fail(Failure::Because(reason)); };
    const QString address = text.trimmed();
    if (HasControlCharacters(address))
        return refused(QStringLiteral("The address holds control characters."));
    const qsizetype separator = address.indexOf(QLatin1String("://"));
    if (separator < 0)
        return refused(QStringLiteral("The address does not start with http:// or https://."));
    const QString scheme = address.first(separator).toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return refused(QStringLiteral("Only http and https addresses can be downloaded (not %1).")
                           .arg(address.first(separator)));
    if (address.indexOf(QLatin1Char('/'), separator + 3) < 0)
        return refused(QStringLiteral("The address has no path after the host name."));
    const QUrl url(address, QUrl::TolerantMode);
    if (!url.isValid())
        return refused(QStringLiteral("The address is not valid: %1").arg(url.errorString()));
    if (url.host().isEmpty())
        return refused(QStringLiteral("The address has no host name."));
    // The fragment is the page's business, never sent.
    return url.adjusted(QUrl::RemoveFragment);
}

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

std::array<OnlineSlot, kOnlineSlots> OnlineSlots(const OnlineSettings& settings)
{
    std::array<OnlineSlot, kOnlineSlots> records;
    for (int i = 0; i < kOnlineSlots; ++i) {
        const OnlineSlotSettings& values = settings.entries[std::size_t(i)];
        OnlineSlot& slot = records[std::size_t(i)];
        slot.index = i;
        slot.inUse = !values.name.trimmed().isEmpty() && !values.link.trimmed().isEmpty();
        slot.address = ParsePictureAddress(values.link);
        slot.texture = OnlineSlotTarget(values, i);
    }
    return records;
}
