#include "randomizer/RandomPick.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace {

constexpr int kDraws = 10;

// A uniform index below n from a uniform r in [0, 1): its integer part of r x n.
qsizetype Draw(const Environment& environment, qsizetype n)
{
    return std::min<qsizetype>(qsizetype(environment.random() * double(n)), n - 1);
}

QStringList Names(const QString& stored)
{
    return stored.split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

} // namespace

QStringList PoolFiles(const QString& poolFolder)
{
    // The folder's own listing: a pool can hold thousands of files, and the
    // entry types readdir reports spare a stat of each.
    QStringList files;
    DIR* dir = ::opendir(QFile::encodeName(poolFolder).constData());
    if (!dir)
        return files;
    while (const dirent* entry = ::readdir(dir)) {
        const qsizetype length = qsizetype(std::strlen(entry->d_name));
        if (length < 4 || qstrnicmp(entry->d_name + length - 4, ".dds", 4) != 0)
            continue;
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat info = {};
            regular = ::fstatat(::dirfd(dir), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
        }
        if (regular)
            files << QFile::decodeName(entry->d_name);
    }
    ::closedir(dir);
    return files;
}

QString RandomFile(const QString& poolFolder, const QString& lastPickName, const SettingsStore& store,
                   SettingsChanges& changes, const Environment& environment)
{
    const QStringList files = PoolFiles(poolFolder);
    const QString previous = store.Read(lastPickName);
    QString candidate;
    if (!files.isEmpty()) {
        for (int draw = 0; draw < kDraws; ++draw) {
            candidate = files[Draw(environment, files.size())];
            if (candidate != previous)
                break;
        }
    }
    changes.append({lastPickName, candidate});
    return candidate;
}

QString NoRepeatFile(const QString& poolFolder, const RoundNames& names, const SettingsStore& store,
                     SettingsChanges& changes, const Environment& environment)
{
    const QStringList files = PoolFiles(poolFolder);
    const QSet<QString> pool(files.cbegin(), files.cend());
    QStringList shown;
    for (const QString& name : Names(store.Read(names.shown))) {
        if (pool.contains(name) && !shown.contains(name))
            shown << name;
    }
    QStringList order;
    for (const QString& name : Names(store.Read(names.order))) {
        if (pool.contains(name) && !shown.contains(name) && !order.contains(name))
            order << name;
    }
    // Files new to the pool join the files still to come, each at a random place.
    for (const QString& name : files) {
        if (!shown.contains(name) && !order.contains(name))
            order.insert(Draw(environment, order.size() + 1), name);
    }
    if (order.isEmpty() && !files.isEmpty()) {
        // A new round: every file again, in a fresh order that does not begin
        // with the file the last round ended with.
        order = files;
        for (qsizetype i = order.size() - 1; i > 0; --i)
            order.swapItemsAt(i, Draw(environment, i + 1));
        const QString last = store.Read(names.lastPick);
        if (order.size() > 1 && order.first() == last)
            order.swapItemsAt(0, 1 + Draw(environment, order.size() - 1));
        shown.clear();
    }
    const QString pick = order.isEmpty() ? QString() : order.takeFirst();
    if (!pick.isEmpty())
        shown << pick;
    changes.append({names.order, order.join(QLatin1Char('/'))});
    changes.append({names.shown, shown.join(QLatin1Char('/'))});
    changes.append({names.lastPick, pick});
    return pick;
}
