#pragma once

#include "app/Failure.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class QFile;
class QIODevice;

// Folder part of a path without the trailing separator; both '\' and '/' count.
// A bare name, or a path whose only separator leads it, gives "".
QString ReturnPath(const QString& fileName);
// Each existing component replaced by its spelling on disk (an exact match
// preferred, else one that differs only in case); from the first component that
// does not exist on, the path is kept as given.
QString MatchPathCase(const QString& path);
// The on-disk spelling of name inside folder (an exact match preferred, else
// one that differs only in case), or "" when nothing matches.
QString SpelledEntry(const QString& folder, const QString& name);
// gameFolder + relative ('/' or '\' separated), existing components below the
// game folder matched in case. "." and ".." are dropped so the result never
// leaves the game folder. An empty game folder gives "".
QString GameFilePath(const QString& gameFolder, const QString& relative);

// Opens path for reading only when it is a regular file after symlinks.
// FIFOs, devices, sockets and folders are refused without blocking on them.
// The failure holds only the reason (a FIFO, the system's error).
Result<> OpenRegularFile(QFile& file, const QString& path);
// Whether path is a folder after symlinks, checked on the name's bytes.
bool IsFolder(const QString& path);
// The names of a folder's regular files (after symlinks; hidden ones too), read
// as the file system's bytes (FileNameFromBytes), in no particular order.
// FIFOs, devices, sockets and folders are left out. The failure holds the
// system's reason.
Result<QStringList> ListRegularFiles(const QString& folder);
// The whole of a regular file of at most maxBytes bytes.
Result<QByteArray> ReadRegularFile(const QString& path, qint64 maxBytes);
// Writes all of data, retrying after a short write, so that a failure carries
// the device's reason (a full disk shows first as a short write).
Result<> WriteFully(QIODevice& out, const char* data, qint64 size);
// The system's text for an errno value ("No space left on device").
QString SystemErrorText(int error);
