#pragma once

#include "app/Failure.h"

#include <QByteArray>
#include <QString>

// Writes a file the user names (an export, a shortcut) whole or not at all,
// never replacing anything but a regular file:
// - none there, or a regular file (a symlink to one is followed, so the link
//   stays): the bytes go to a temporary file beside it, are synced and renamed
//   over it; an existing file keeps its permissions;
// - a character device (a terminal, /dev/null): written into as it is;
// - a FIFO, socket, folder or block device: refused, left as it is.
// executable: a new file gets the execute bits the umask allows, an existing
// one its owner's. Failures carry the system's reason ("No space
// left on device") or why the path was refused.
Result<> WriteUserFile(const QString& path, const QByteArray& bytes, bool executable = false);
