#pragma once

#include <QList>
#include <QPair>
#include <QString>

// The program's own key; every setting of the program lives below it.
inline const QString kProgramKey = QStringLiteral("Software\\CohLumivale");

// Text settings kept in an INI file. A registry-style key path such as
// "Software\CohLumivale" is an INI group; key paths and value names are matched
// without regard to case, as a registry does. Every call opens the file, works
// and syncs, so several stores (and processes) may share one file: QSettings
// locks the file and merges on each sync.
class SettingsStore
{
public:
    explicit SettingsStore(QString iniFilePath);

    // $XDG_CONFIG_HOME/Lumivale/Lumivale.ini (~/.config/Lumivale/Lumivale.ini by default).
    static QString DefaultFilePath();
    QString FilePath() const;

    // Missing file, key or value read as empty text.
    QString ReadRegistryString(const QString& path, const QString& name) const;
    // Stores value; an empty or all-blank value deletes the value name instead.
    // True when the value was written or deleted; a missing value to delete, an
    // unusable name and a file that cannot be written give false.
    bool WriteRegistryString(const QString& path, const QString& name, const QString& value);

    // Several values of the program's own key in one save of the file (blank
    // values delete theirs). False when the file cannot be written.
    bool WriteValues(const QList<QPair<QString, QString>>& values);

    // Shorthands for the program's own key.
    QString Read(const QString& name) const;
    bool Write(const QString& name, const QString& value);

private:
    QString m_filePath;
};

// A check-box setting: the leading decimal number of the text, blanks before
// it skipped; no number gives 0 ("abc" -> 0, " 1" -> 1).
int CheckValueFromText(const QString& text);
// The stored form of a check-box value: one leading blank for a non-negative number (" 0", " 1").
QString CheckValueToText(int value);

// A check-box setting read as on or off, and stored as " 1" or " 0".
bool ReadCheck(const SettingsStore& store, const QString& name);
void WriteCheck(SettingsStore& store, const QString& name, bool checked);
