#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QMap>
#include <QSettings>
#include <QString>

// The settings file's own format: the text layout and escaping of QSettings'
// INI files ("[Software]" sections, "CohLumivale\Name=value" keys, quoted and
// backslash-escaped values), so files written by earlier versions read as
// before. Unlike QSettings' IniFormat it never turns a value into anything but
// text: a serialised value ("@Variant(...)", "@Rect(...)") is not text the
// program wrote and reads as empty, and nothing in a file can make the reader
// allocate more than the file's own size.
namespace ini {

// Keys are '/'-separated paths ("Software/CohLumivale/CohPath"); keys of the
// [General] section have no section part. Lines that are not key=value lines
// are skipped.
QMap<QString, QString> Parse(QByteArrayView data);
// The file text for the given keys, sections in key order.
QByteArray Serialise(const QMap<QString, QString>& values);

// One value as it stands after '=' (QSettings' unescaping and string-list
// rule, a list joined with ", ", the '@' forms as above).
QString ValueText(QByteArrayView raw);
// value as written after '=' (QSettings' escaping, a leading '@' doubled).
QByteArray EscapedValue(const QString& value);

// The format registered with QSettings (locking, merging and atomic saving
// stay QSettings' own).
QSettings::Format Format();

} // namespace ini
