#pragma once

#include "app/Environment.h"
#include "app/SettingsStore.h"

#include <QString>
#include <QStringList>

// The plain files of a pool folder matching "*.dds" (any case), in the order
// the folder lists them.
QStringList PoolFiles(const QString& poolFolder);

// Settings values to store together once the picks are made: one save of the
// settings file for both pools.
using SettingsChanges = QList<QPair<QString, QString>>;

// Picks the pool file to install: up to ten uniform draws over the pool's
// files, stopping at the first that differs from the last pick stored under
// lastPickName; the pick is to be stored there (an empty pool deletes the
// setting). Returns the file's name, "" for an empty pool.
QString RandomFile(const QString& poolFolder, const QString& lastPickName, const SettingsStore& store,
                   SettingsChanges& changes, const Environment& environment);

// The names of the no-repeat round of one pool.
struct RoundNames
{
    QString lastPick; // "RandomHL" / "RandomHC"
    QString order;    // "RandomOrderHL" / "RandomOrderHC"
    QString shown;    // "RandomShownHL" / "RandomShownHC"
};

// The pick that shows every pool file once before any repeats: the round's
// files in a shuffled order kept in the settings, files added to the pool
// since taking random places among those still to come, removed files
// dropped, and a new round never starting with the last file of the one
// before. The pick is to be stored as the last pick too.
QString NoRepeatFile(const QString& poolFolder, const RoundNames& names, const SettingsStore& store,
                     SettingsChanges& changes, const Environment& environment);
