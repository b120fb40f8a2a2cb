#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <memory>

class QFile;

// Folder part of a path without the trailing separator; both '\' and '/' count.
// A bare name, or a path whose only separator leads it, gives "".
QString ReturnPath(const QString& FileName);
// Each existing component replaced by its spelling on disk (an exact match
// preferred, else one that differs only in case); from the first component that
// does not exist on, the path is kept as given.
QString MatchPathCase(const QString& path);
// Makes sure a folder exists: one trailing separator dropped, existing levels
// matched as MatchPathCase does, only the missing levels created with the given
// spelling. Silent on failure (a later file write reports it). Returns the
// folder as it is spelled on disk.
QString EnsureFolder(const QString& path);
// gameFolder + relative ('/' or '\' separated), existing components below the
// game folder matched in case. "." and ".." are dropped so the result never
// leaves the game folder. An empty game folder gives "".
QString GameFilePath(const QString& gameFolder, const QString& relative);

// Access, share and disposition numbers as the callers pass them.
inline constexpr quint32 kGenericRead = 0x80000000u;
inline constexpr quint32 kGenericWrite = 0x40000000u;
inline constexpr quint32 kShareRead = 1;
inline constexpr quint32 kShareWrite = 2;
inline constexpr quint32 kCreateNew = 1;
inline constexpr quint32 kCreateAlways = 2;
inline constexpr quint32 kOpenExisting = 3;
inline constexpr quint32 kOpenAlways = 4;
inline constexpr quint32 kTruncateExisting = 5;

// A file opened for one operation. handle is -1 while no file is open.
struct FileRecord
{
    qint32 handle = -1;
    QString path;

private:
    std::shared_ptr<QFile> file;
    friend FileRecord OpenFileHandle(const QString&, quint32, quint32, quint32);
    friend void CloseFileHandle(FileRecord&);
    friend qint64 ReadFileBlock(FileRecord&, void*, qint64);
    friend qint64 WriteFileBlock(FileRecord&, const void*, qint64);
};

// Opens path; a failed open gives handle -1 (and the path). share is not
// enforced here: this platform has no mandatory file sharing modes.
FileRecord OpenFileHandle(const QString& path, quint32 access, quint32 share, quint32 disposition);
void CloseFileHandle(FileRecord& record);
// Bytes transferred; 0 for a closed record (nothing touched), -1 on failure.
qint64 ReadFileBlock(FileRecord& record, void* address, qint64 count);
qint64 WriteFileBlock(FileRecord& record, const void* address, qint64 count);

// The four bytes of value, least significant first.
QByteArray LongToBytes(quint32 value);
// Every '/' turned into '\'.
QString SlashToBackslash(const QString& path);
