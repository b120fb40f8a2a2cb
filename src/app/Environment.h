#pragma once

#include "app/GameDiscovery.h"

#include <QDateTime>
#include <QString>
#include <functional>

// What the program takes from the machine it runs on. Each main builds one and
// passes it down; nothing below main looks these up itself, so tests inject
// every part of it.
struct Environment
{
    // Per-user folder for temporary and work files ($XDG_CACHE_HOME/Lumivale,
    // ~/.cache/Lumivale by default). Not created here: writers make it on demand.
    QString workFolder;
    // Folder of the shipped data (catalogue, frames, an optional compressor).
    QString dataFolder;
    // Folder of the program's plug-in modules (the sound decoders).
    QString pluginFolder;
    // Full path of nvcompress; empty when there is none.
    QString compressorPath;
    // The local date and time now.
    std::function<QDateTime()> now;
    // Milliseconds on a monotonic clock (since the process started): what the
    // program's own timers measure, unaffected by midnight or clock changes.
    std::function<qint64()> elapsedMs;
    // A fresh uniform random number with 0 <= r < 1.
    std::function<double()> random;
    // The window program ("lumivale" beside this executable), which shortcuts start.
    QString windowProgram;
    // Where desktop entries go ($XDG_DATA_HOME/applications) and the user's
    // desktop folder ("" when there is none); the latter asked for when needed.
    QString applicationsFolder;
    std::function<QString()> desktopFolder;
    // Where the Wine prefixes that may hold the game are looked for.
    DiscoveryPlaces winePlaces;

    QDate Today() const;
};

// The environment of this process: the folders from the XDG variables and the
// executable's place, the Wine prefixes' places from $HOME, XDG and $WINEPREFIX, the compressor from the data
// folder or PATH, the system clock and a generator seeded afresh at every start.
Environment SystemEnvironment();
// The parts of SystemEnvironment, for the environment's own tests.
QString WorkFolder();
QString DataFolder();
QString PluginFolder();
// The data and plug-in folders of an executable in executableFolder: the
// folder itself in the build tree, else the installed layout relative to it
// (bin/../share/lumivale, bin/../lib/<multiarch>/lumivale), so that an
// unpacked copy of the package works wherever it lies.
QString DataFolderBeside(const QString& executableFolder);
QString PluginFolderBeside(const QString& executableFolder);
QString FindCompressor(const QString& dataFolder);
