#include "app/GameSettings.h"

#include "app/GameDiscovery.h"

GameSettings GameSettings::Load(const SettingsStore& store, const WinePrefix& prefix)
{
    GameSettings s;
    s.cohPath = StartupGameFolder(store, prefix);
    const QString keyName = store.Read(setting::kCohRegKey);
    if (!keyName.isEmpty())
        s.cohRegKey = keyName;
    s.cohWidth = store.Read(setting::kCohWidth);
    s.cohHeight = store.Read(setting::kCohHeight);
    s.cohAuto = ReadCheck(store, setting::kCohAuto);
    s.wineProgram = store.Read(setting::kWineProgram).trimmed();
    s.winePrefixes = SplitPrefixList(store.Read(setting::kWinePrefixes));
    return s;
}

void GameSettings::Save(SettingsStore& store) const
{
    WriteCheck(store, setting::kCohAuto, cohAuto);
    store.Write(setting::kCohRegKey, cohRegKey);
    store.Write(setting::kCohPath, cohPath);
    store.Write(setting::kCohWidth, cohWidth);
    store.Write(setting::kCohHeight, cohHeight);
    store.Write(setting::kWineProgram, wineProgram);
    store.Write(setting::kWinePrefixes, JoinPrefixList(winePrefixes));
}

DetectedGameSettings ReadGameSettings(const WinePrefix& prefix, const QString& keyName)
{
    // One read of user.reg for all three values.
    const RegistryText registry = prefix.ReadUserRegistry();
    const QString key = QStringLiteral("Software\\Cryptic\\") + keyName;
    DetectedGameSettings found;
    const QString installation = registry.Value(key, QStringLiteral("Installation Directory"));
    if (!installation.isEmpty())
        found.folder = prefix.ToHostPath(installation);
    found.screenX = registry.Value(key, QStringLiteral("screenX"));
    found.screenY = registry.Value(key, QStringLiteral("screenY"));
    return found;
}

QString NormalizeSizeText(const QString& text)
{
    auto isDigit = [](QChar c) { return c.unicode() >= '0' && c.unicode() <= '9'; };
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        ++i;
    QString whole;
    for (; i < text.size() && isDigit(text[i]); ++i)
        whole.append(text[i]);
    QString fraction;
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        for (++i; i < text.size() && isDigit(text[i]); ++i)
            fraction.append(text[i]);
    }
    while (whole.size() > 1 && whole.startsWith(QLatin1Char('0')))
        whole.remove(0, 1);
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (whole.isEmpty())
        whole = QStringLiteral("0");
    return fraction.isEmpty() ? whole : whole + QLatin1Char('.') + fraction;
}

QString StartupGameFolder(const SettingsStore& store, const WinePrefix& prefix)
{
    const QString stored = store.Read(setting::kCohPath);
    if (!stored.isEmpty())
        return stored;
    return ReadGameSettings(prefix, QStringLiteral("Coh")).folder;
}
