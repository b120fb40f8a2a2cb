#pragma once

#include "app/Failure.h"
#include "app/SettingsStore.h"
#include "app/UserFile.h"
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

// The export file (see RegistryEditorFile): the key, then for each slot its
// webName, webPath, webFile, webWidth, webHeight (as stored) and webLink (links[n]).
QByteArray OnlineExportText(const OnlineSettings& stored, const std::array<QString, kOnlineSlots>& links);
// Writes the export to file as WriteUserFile does (never over a FIFO or a folder).
inline Result<> WriteOnlineExport(const QString& file, const QByteArray& text)
{
    return WriteUserFile(file, text);
}

// What an import takes and what it leaves.
struct OnlineImport
{
    QList<QPair<QString, QString>> values; // value name -> text (empty deletes)
    QStringList refused;                   // one line per thing refused, saying why
};

// Takes from a registry editor file (see RegistryText::ParseEditorFile) only
// the 30 online texture values, as text, under the program's key. A slot's
// texture values are taken together, and only when the slot they leave
// (current values overridden by the file's) passes the apply step's checks or
// names no texture at all; an address must be http or https. Fails only when
// the file is no registry editor file.
Result<OnlineImport> ReadOnlineImport(QByteArrayView bytes, const OnlineSettings& current);

// Reads file and stores what it takes in one save of the settings.
Result<OnlineImport> ImportOnlineFile(const QString& file, SettingsStore& store);
