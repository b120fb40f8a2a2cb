#include "app/GameDiscovery.h"

#include "app/FileAccess.h"
#include "app/WinePrefix.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <initializer_list>
#include <optional>
#include <utility>
#include <yaml-cpp/yaml.h>

namespace {

const QString kWine = QStringLiteral("Wine");
const QString kLutris = QStringLiteral("Lutris");
const QString kBottles = QStringLiteral("Bottles");
const QString kBottlesFlatpak = QStringLiteral("Bottles (Flatpak)");
const QString kPlayOnLinux = QStringLiteral("PlayOnLinux");
const QString kAddedByHand = QStringLiteral("Added by hand");

QString Canonical(const QString& path)
{
    return path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
}

// program when it is a file that can be run, else "" (the Wine on PATH then).
QString Runnable(const QString& program)
{
    const QFileInfo info(program);
    return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
}

// A name that stays one folder below where it is looked up (a runner, a version).
bool IsPlainName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".") &&
           name != QLatin1String("..");
}

QString ExpandHome(const QString& path, const QString& home)
{
    if (path == QLatin1String("~"))
        return home;
    if (path.startsWith(QLatin1String("~/")))
        return home + path.mid(1);
    return path;
}

// The YAML document of a small configuration file; nothing when it cannot be
// read or parsed (a manager's broken file only hides its own prefix).
std::optional<YAML::Node> ReadYaml(const QString& path)
{
    const Result<QByteArray> bytes = ReadRegularFile(path, 1024 * 1024);
    if (!bytes)
        return std::nullopt;
    try {
        YAML::Node node = YAML::Load(bytes->toStdString());
        if (!node.IsMap())
            return std::nullopt;
        return node;
    } catch (const YAML::Exception&) {
        return std::nullopt;
    }
}

// The text of a scalar reached through nested maps; "" when any step is missing.
QString YamlText(const YAML::Node& root, std::initializer_list<const char*> keys)
{
    try {
        // Node's assignment writes into the tree; reset() moves the handle.
        YAML::Node node;
        node.reset(root);
        for (const char* key : keys) {
            if (!node.IsMap())
                return QString();
            const YAML::Node child = std::as_const(node)[key]; // the const lookup adds no key
            if (!child)
                return QString();
            node.reset(child);
        }
        return node.IsScalar() ? QString::fromStdString(node.as<std::string>()).trimmed() : QString();
    } catch (const YAML::Exception&) {
        return QString();
    }
}

QStringList SubfolderPaths(const QString& folder)
{
    QStringList paths;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

class PrefixList
{
public:
    void Add(const QString& prefix, const QString& manager, const QString& wineProgram)
    {
        const QString canonical = Canonical(prefix);
        if (canonical.isEmpty() || !QFileInfo(canonical).isDir())
            return;
        if (const auto at = m_index.constFind(canonical); at != m_index.constEnd()) {
            // A plain prefix that a manager also keeps is that manager's.
            WinePrefixEntry& known = m_entries[*at];
            if (known.manager == kWine && manager != kAddedByHand) {
                known.manager = manager;
                known.wineProgram = wineProgram;
            }
            return;
        }
        m_index.insert(canonical, m_entries.size());
        m_entries.append({canonical, manager, wineProgram});
    }
    QList<WinePrefixEntry> Entries() const { return m_entries; }

private:
    QList<WinePrefixEntry> m_entries;
    QHash<QString, qsizetype> m_index;
};

// Lutris keeps one YAML file per game in <config>/games, where <config> is
// ~/.config/lutris, or ~/.local/share/lutris once the former is gone (newer
// releases). A Wine game's file holds "game: prefix:" and "wine: version:";
// the version names a runner folder ~/.local/share/lutris/runners/wine/<version>
// holding bin/wine. "system" (and a missing version) is the Wine on PATH;
// "custom" takes "wine: custom_wine_path:". The default version of the runner's
// own <config>/runners/wine.yml serves a game that names none.
void AddLutris(PrefixList& list, const DiscoveryPlaces& places)
{
    if (places.configHome.isEmpty() && places.dataHome.isEmpty())
        return;
    const QString runners = places.dataHome + QStringLiteral("/lutris/runners/wine/");
    const QStringList configs{places.configHome + QStringLiteral("/lutris"),
                              places.dataHome + QStringLiteral("/lutris")};
    for (const QString& config : configs) {
        const QDir games(config + QStringLiteral("/games"));
        if (!games.exists())
            continue;
        QString defaultVersion;
        if (const auto runner = ReadYaml(config + QStringLiteral("/runners/wine.yml")))
            defaultVersion = YamlText(*runner, {"wine", "version"});
        const QStringList files =
            games.entryList({QStringLiteral("*.yml")}, QDir::Files | QDir::Readable, QDir::Name);
        for (const QString& name : files) {
            const auto game = ReadYaml(games.filePath(name));
            if (!game)
                continue;
            const QString prefix = ExpandHome(YamlText(*game, {"game", "prefix"}), places.home);
            if (prefix.isEmpty())
                continue;
            QString version = YamlText(*game, {"wine", "version"});
            if (version.isEmpty())
                version = defaultVersion;
            QString wine;
            if (version == QLatin1String("custom"))
                wine = Runnable(ExpandHome(YamlText(*game, {"wine", "custom_wine_path"}), places.home));
            else if (IsPlainName(version) && version != QLatin1String("system"))
                wine = Runnable(runners + version + QStringLiteral("/bin/wine"));
            list.Add(prefix, kLutris, wine);
        }
    }
}

// Bottles keeps its bottles in <base>/bottles/<name>/bottle.yml, where <base>
// is ~/.local/share/bottles natively and
// ~/.var/app/com.usebottles.bottles/data/bottles under Flatpak; <base>/data.yml
// may move the bottles folder elsewhere ("custom_bottles_path"). bottle.yml's
// "Path" is the bottle's folder name below the bottles folder, or an absolute
// folder when "Custom_Path" is true; "Runner" names <base>/runners/<runner>
// holding bin/wine, and a runner "sys-…" is the system's Wine.
void AddBottles(PrefixList& list, const QString& base, const QString& manager)
{
    if (!QFileInfo(base).isDir())
        return;
    QString bottles = base + QStringLiteral("/bottles");
    if (const auto data = ReadYaml(base + QStringLiteral("/data.yml"))) {
        const QString custom = YamlText(*data, {"custom_bottles_path"});
        if (!custom.isEmpty() && QFileInfo(custom).isDir())
            bottles = custom;
    }
    for (const QString& folder : SubfolderPaths(bottles)) {
        const auto bottle = ReadYaml(folder + QStringLiteral("/bottle.yml"));
        if (!bottle)
            continue;
        const QString path = YamlText(*bottle, {"Path"});
        const bool custom =
            YamlText(*bottle, {"Custom_Path"}).compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
        QString prefix = custom ? path : bottles + QLatin1Char('/') + path;
        if (path.isEmpty() || !QFileInfo(prefix).isDir())
            prefix = folder;
        const QString runner = YamlText(*bottle, {"Runner"});
        QString wine;
        if (IsPlainName(runner) && !runner.startsWith(QLatin1String("sys-")))
            wine = Runnable(base + QStringLiteral("/runners/") + runner + QStringLiteral("/bin/wine"));
        list.Add(prefix, manager, wine);
    }
}

// PlayOnLinux keeps its prefixes in ~/.PlayOnLinux/wineprefix/<name>, each
// with a playonlinux.cfg of KEY=value lines: VERSION names the Wine build in
// ~/.PlayOnLinux/wine/linux-<ARCH>/<VERSION>/bin/wine (ARCH "x86" or "amd64",
// "x86" when missing); no VERSION is the system's Wine.
void AddPlayOnLinux(PrefixList& list, const QString& home)
{
    const QString root = home + QStringLiteral("/.PlayOnLinux");
    for (const QString& prefix : SubfolderPaths(root + QStringLiteral("/wineprefix"))) {
        QString version;
        QString arch = QStringLiteral("x86");
        if (const Result<QByteArray> config =
                ReadRegularFile(prefix + QStringLiteral("/playonlinux.cfg"), 64 * 1024)) {
            for (const QByteArray& line : config->split('\n')) {
                const QString text = QString::fromUtf8(line).trimmed();
                if (text.startsWith(QLatin1String("VERSION=")))
                    version = text.mid(8).trimmed();
                else if (text.startsWith(QLatin1String("ARCH=")) && text.size() > 5)
                    arch = text.mid(5).trimmed();
            }
        }
        QString wine;
        if (IsPlainName(version) && IsPlainName(arch))
            wine = Runnable(root + QStringLiteral("/wine/linux-") + arch + QLatin1Char('/') + version +
                            QStringLiteral("/bin/wine"));
        list.Add(prefix, kPlayOnLinux, wine);
    }
}

bool HoldsGameProgram(const QString& folder)
{
    for (const QString& name : {QStringLiteral("cityofheroes.exe"), QStringLiteral("paragonchat.exe")}) {
        const QString spelled = SpelledEntry(folder, name);
        if (!spelled.isEmpty() && QFileInfo(QDir(folder).filePath(spelled)).isFile())
            return true;
    }
    return false;
}

} // namespace

DiscoveryPlaces SystemDiscoveryPlaces()
{
    DiscoveryPlaces places;
    places.home = QDir::homePath();
    places.configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (places.configHome.isEmpty())
        places.configHome = places.home + QStringLiteral("/.config");
    places.dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (places.dataHome.isEmpty())
        places.dataHome = places.home + QStringLiteral("/.local/share");
    places.winePrefix = qEnvironmentVariable("WINEPREFIX");
    return places;
}

QList<WinePrefixEntry> ListWinePrefixes(const DiscoveryPlaces& places, const QStringList& addedByHand)
{
    PrefixList list;
    list.Add(places.winePrefix, kWine, QString());
    if (!places.home.isEmpty())
        list.Add(places.home + QStringLiteral("/.wine"), kWine, QString());
    AddLutris(list, places);
    if (!places.dataHome.isEmpty())
        AddBottles(list, places.dataHome + QStringLiteral("/bottles"), kBottles);
    if (!places.home.isEmpty()) {
        AddBottles(list, places.home + QStringLiteral("/.var/app/com.usebottles.bottles/data/bottles"),
                   kBottlesFlatpak);
        AddPlayOnLinux(list, places.home);
    }
    for (const QString& prefix : addedByHand)
        list.Add(ExpandHome(prefix.trimmed(), places.home), kAddedByHand, QString());
    return list.Entries();
}

QStringList GameFoldersInPrefix(const QString& prefix)
{
    QStringList folders;
    auto add = [&folders](const QString& folder) {
        const QString canonical = Canonical(folder);
        if (!canonical.isEmpty() && QFileInfo(canonical).isDir() && !folders.contains(canonical))
            folders << canonical;
    };

    const WinePrefix wine(prefix);
    const RegistryText registry = wine.ReadUserRegistry();
    for (const RegistryKey& key : registry.Keys()) {
        if (!key.path.startsWith(QLatin1String("Software\\Cryptic\\"), Qt::CaseInsensitive))
            continue;
        for (const RegistryValue& value : key.values) {
            if (value.isText &&
                value.name.compare(QLatin1String("Installation Directory"), Qt::CaseInsensitive) == 0)
                add(wine.ToHostPath(value.text));
        }
    }

    const QString driveC = prefix + QStringLiteral("/drive_c");
    QStringList candidates{driveC};
    for (const QString& child : SubfolderPaths(driveC)) {
        candidates << child;
        const QString name = QFileInfo(child).fileName();
        const bool deeper = name.compare(QLatin1String("Program Files"), Qt::CaseInsensitive) == 0 ||
                            name.compare(QLatin1String("Program Files (x86)"), Qt::CaseInsensitive) == 0 ||
                            name.compare(QLatin1String("Games"), Qt::CaseInsensitive) == 0;
        if (!deeper)
            continue;
        for (const QString& grandchild : SubfolderPaths(child)) {
            candidates << grandchild;
            candidates << SubfolderPaths(grandchild);
        }
    }
    for (const QString& candidate : candidates) {
        if (HoldsGameProgram(candidate))
            add(candidate);
    }
    return folders;
}

QList<FoundGame> FindGames(const DiscoveryPlaces& places, const QStringList& addedByHand)
{
    QList<FoundGame> games;
    QSet<QString> seen;
    for (const WinePrefixEntry& entry : ListWinePrefixes(places, addedByHand)) {
        for (const QString& folder : GameFoldersInPrefix(entry.prefix)) {
            if (seen.contains(folder))
                continue;
            seen.insert(folder);
            games.append({folder, entry.prefix, entry.manager, entry.wineProgram});
        }
    }
    return games;
}

QString RecordedWineProgram(const QString& prefix, const DiscoveryPlaces& places)
{
    const QString canonical = Canonical(prefix);
    if (canonical.isEmpty())
        return QString();
    for (const WinePrefixEntry& entry : ListWinePrefixes(places, {})) {
        if (entry.prefix == canonical)
            return entry.wineProgram;
    }
    return QString();
}

QStringList SplitPrefixList(const QString& text)
{
    QStringList prefixes;
    for (const QString& part : text.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (!part.trimmed().isEmpty())
            prefixes << part.trimmed();
    }
    return prefixes;
}

QString JoinPrefixList(const QStringList& prefixes)
{
    return prefixes.join(QLatin1Char(':'));
}
