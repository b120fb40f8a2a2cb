#include "app/GameDiscovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class MadeUpHome
{
public:
    MadeUpHome() { home = QFileInfo(dir.path()).canonicalFilePath(); }

    QString Path(const QString& relative) const { return home + QLatin1Char('/') + relative; }

    void Write(const QString& relative, const QByteArray& bytes, bool executable = false) const
    {
        const QString path = Path(relative);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        if (executable)
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }

    // A prefix with drive_c and its dosdevices/c: link.
    void Prefix(const QString& relative) const
    {
        ASSERT_TRUE(QDir().mkpath(Path(relative + QStringLiteral("/drive_c/windows"))));
        ASSERT_TRUE(QDir().mkpath(Path(relative + QStringLiteral("/dosdevices"))));
        QFile::link(QStringLiteral("../drive_c"), Path(relative + QStringLiteral("/dosdevices/c:")));
    }

    QTemporaryDir dir;
    QString home;
};

TEST(GameDiscovery, FindsTheGamesOfEveryManagersPrefixesWithTheirWine)
{
    MadeUpHome h;
    // Lutris, old configuration folder: the game's key and the launcher in one
    // folder (found once); its runner. $WINEPREFIX names the same prefix.
    h.Prefix("Games/coh");
    h.Write("Games/coh/user.reg", "WINE REGISTRY Version 2\n\n[Software\\\\Cryptic\\\\Coh] 1\n"
                                  "\"Installation Directory\"=\"C:\\\\Games\\\\Homecoming\"\n");
    h.Write("Games/coh/drive_c/Games/Homecoming/paragonchat.exe", "");
    h.Write(".config/lutris/games/city-of-heroes-1.yml",
            "game:\n  exe: drive_c/Games/Homecoming/paragonchat.exe\n  prefix: " +
                h.Path("Games/coh").toUtf8() + "\nwine:\n  version: lutris-7.2-x86_64\n");
    h.Write(".local/share/lutris/runners/wine/lutris-7.2-x86_64/bin/wine", "#!/bin/sh\n", true);
    // Lutris, newer configuration folder: the system's Wine, a prefix under ~,
    // the program's name in other letters; a broken file beside it.
    h.Prefix("Games/other");
    h.Write("Games/other/drive_c/CoH/CityOfHeroes.EXE", "");
    h.Write(".local/share/lutris/games/other-2.yml",
            "game:\n  prefix: ~/Games/other\nwine:\n  version: system\n");
    h.Write(".local/share/lutris/games/broken.yml", "game: [unclosed\n");
    // Bottles, native: one bottle holding two games.
    h.Prefix(".local/share/bottles/bottles/coh");
    h.Write(".local/share/bottles/bottles/coh/bottle.yml",
            "Name: coh\nPath: coh\nCustom_Path: false\nRunner: soda-7.0-9\n");
    h.Write(".local/share/bottles/bottles/coh/drive_c/Games/City of Heroes/cityofheroes.exe", "");
    h.Write(".local/share/bottles/bottles/coh/drive_c/Program Files/Paragon Chat/ParagonChat.exe", "");
    h.Write(".local/share/bottles/runners/soda-7.0-9/bin/wine", "#!/bin/sh\n", true);
    // Bottles, Flatpak: a system-Wine bottle, and one kept in a folder of its own.
    const QString flatpak = QStringLiteral(".var/app/com.usebottles.bottles/data/bottles/");
    h.Prefix(flatpak + "bottles/flat");
    h.Write(flatpak + "bottles/flat/bottle.yml", "Path: flat\nRunner: sys-wine-9.0\n");
    h.Write(flatpak + "bottles/flat/drive_c/coh/cityofheroes.exe", "");
    h.Prefix("elsewhere");
    h.Write("elsewhere/drive_c/paragonchat.exe", "");
    h.Write(flatpak + "bottles/custom/bottle.yml",
            "Path: " + h.Path("elsewhere").toUtf8() + "\nCustom_Path: true\nRunner: caffe-9.7\n");
    // PlayOnLinux, 64-bit build named by VERSION.
    h.Prefix(".PlayOnLinux/wineprefix/CoH");
    h.Write(".PlayOnLinux/wineprefix/CoH/playonlinux.cfg", "ARCH=amd64\nVERSION=8.0\n");
    h.Write(".PlayOnLinux/wineprefix/CoH/drive_c/Games/Homecoming/cityofheroes.exe", "");
    h.Write(".PlayOnLinux/wine/linux-amd64/8.0/bin/wine", "#!/bin/sh\n", true);
    // Added by hand; and ~/.wine, whose only copy of the game lies deeper than the look goes.
    h.Prefix("prefixes/manual");
    h.Write("prefixes/manual/drive_c/paragonchat.exe", "");
    h.Prefix(".wine");
    h.Write(".wine/drive_c/users/me/Desktop/coh/cityofheroes.exe", "");

    DiscoveryPlaces places;
    places.home = h.home;
    places.configHome = h.Path(".config");
    places.dataHome = h.Path(".local/share");
    places.winePrefix = h.Path("Games/coh");

    struct Expected
    {
        const char* folder;
        const char* prefix;
        const char* manager;
        const char* wine;
    };
    const Expected expected[] = {
        {"Games/coh/drive_c/Games/Homecoming", "Games/coh", "Lutris",
         ".local/share/lutris/runners/wine/lutris-7.2-x86_64/bin/wine"},
        {"Games/other/drive_c/CoH", "Games/other", "Lutris", ""},
        {".local/share/bottles/bottles/coh/drive_c/Games/City of Heroes", ".local/share/bottles/bottles/coh",
         "Bottles", ".local/share/bottles/runners/soda-7.0-9/bin/wine"},
        {".local/share/bottles/bottles/coh/drive_c/Program Files/Paragon Chat",
         ".local/share/bottles/bottles/coh", "Bottles", ".local/share/bottles/runners/soda-7.0-9/bin/wine"},
        {"elsewhere/drive_c", "elsewhere", "Bottles (Flatpak)", ""},
        {".var/app/com.usebottles.bottles/data/bottles/bottles/flat/drive_c/coh",
         ".var/app/com.usebottles.bottles/data/bottles/bottles/flat", "Bottles (Flatpak)", ""},
        {".PlayOnLinux/wineprefix/CoH/drive_c/Games/Homecoming", ".PlayOnLinux/wineprefix/CoH", "PlayOnLinux",
         ".PlayOnLinux/wine/linux-amd64/8.0/bin/wine"},
        {"prefixes/manual/drive_c", "prefixes/manual", "Added by hand", ""},
    };
    auto full = [&h](const char* relative) {
        return *relative ? h.Path(QString::fromUtf8(relative)) : QString();
    };

    const QList<FoundGame> found = FindGames(places, {QStringLiteral("~/prefixes/manual")});
    ASSERT_EQ(found.size(), static_cast<qsizetype>(std::size(expected)));
    for (qsizetype i = 0; i < found.size(); ++i) {
        const Expected& row = expected[i];
        SCOPED_TRACE(row.folder);
        EXPECT_EQ(found[i].folder, full(row.folder));
        EXPECT_EQ(found[i].prefix, full(row.prefix));
        EXPECT_EQ(found[i].manager, QString::fromUtf8(row.manager));
        EXPECT_EQ(found[i].wineProgram, full(row.wine));
        if (QString::fromUtf8(row.manager) != QLatin1String("Added by hand")) {
            EXPECT_EQ(RecordedWineProgram(found[i].prefix, places), full(row.wine));
        }
    }
    EXPECT_TRUE(GameFoldersInPrefix(h.Path(".wine")).isEmpty());
    EXPECT_EQ(ListWinePrefixes(places, {}).size(), 7) << "~/.wine is listed though it holds no game";
}

} // namespace
