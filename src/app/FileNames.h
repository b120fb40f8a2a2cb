#pragma once

#include <QByteArray>
#include <QString>

// A file name is the file system's bytes, which need not be UTF-8 (disks filled
// from older systems hold Latin-1 names). Such a name is held in a QString with
// each byte that does not decode as UTF-8 mapped to the lone surrogate
// U+DC80 + (byte - 0x80), so that it turns back into the very same bytes.
// Qt's own file classes encode names lossily: a path that may hold such a
// name is opened through FileNameToBytes (OpenRegularFile does).
QString FileNameFromBytes(const QByteArray& bytes);
QByteArray FileNameToBytes(const QString& name);
// The name as a person reads it: each byte that is not UTF-8 shown as U+FFFD.
QString DisplayFileName(const QString& name);
