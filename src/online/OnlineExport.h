#pragma once

#include "app/Failure.h"
#include "app/SettingsStore.h"
#include "online/OnlineSettings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <array>

inline const QString kExportFileName = QStringLiteral("Lumivale Textures.reg");
inline const QString kExportFilter = QStringLiteral("Windows Registry files (*.reg *.REG)");
// The key the export names and the import reads.
inline const QString kExportKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\CohLumivale");

// The export file: "REGEDIT4", the key line, then for each slot its webName,
// webPath, webFile, webWidth, webHeight (as stored) and webLink (links[n]),
// 32 lines, each ended by CR LF. Inside values a backslash is written as two
// and a double quote as a backslash and the quote (control characters, which
// the format cannot carry, as blanks). ASCII while every value is; otherwise
// the same lines under "Windows Registry Editor Version 5.00", in UTF-16LE
// with a byte order mark.
QByteArray OnlineExportText(const OnlineSettings& stored, const std::array<QString, kOnlineSlots>& links);
// Writes the export to file as WriteUserFile does (never over a FIFO or a folder).
Result<> WriteOnlineExport(const QString& file, const QByteArray& text);

// What an import takes and what it leaves.
struct OnlineImport
{
    QList<QPair<QString, QString>> values; // value name -> text (empty deletes)
    QStringList refused;                   // one line per thing refused, saying why
};

// Reads a registry editor file (REGEDIT4 or "Windows Registry Editor Version
// 5.00"; ANSI, UTF-8 or UTF-16LE with its byte order mark; CR LF or LF) and
// takes only the 30 online texture values, as text, under the program's key.
// A slot's texture values are taken together, and only when the slot they
// leave (current values overridden by the file's) passes the apply step's
// checks or names no texture at all; an address must be http or https. Fails
// only when the file is no registry editor file.
Result<OnlineImport> ReadOnlineImport(QByteArrayView bytes, const OnlineSettings& current);

// Reads file and stores what it takes in one save of the settings.
Result<OnlineImport> ImportOnlineFile(const QString& file, SettingsStore& store);
