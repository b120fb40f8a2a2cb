#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <optional>

// Kinds of registry values, numbered as the registry numbers them.
enum class RegistryValueType : quint32
{
    None = 0,
    String = 1,       // "text" or str:"text"
    ExpandString = 2, // str(2):"text" or hex(2):
    Binary = 3,       // hex:
    Dword = 4,        // dword:
    MultiString = 7,  // str(7):"text" or hex(7):
};

struct RegistryValue
{
    QString name;        // "" for the default value (@)
    quint32 type = 0;    // a RegistryValueType number, or another hex(N) type
    QString text;        // text of string and dword values; empty for hex values
    QByteArray data;     // raw bytes of hex values
    bool isText = false; // text holds the value
};

struct RegistryKey
{
    QString path; // single backslashes, as written (root names such as HKEY_CURRENT_USER kept)
    QList<RegistryValue> values;
};

// A line the parser did not take, and why.
struct RegistrySkippedLine
{
    int number = 0; // 1-based; the first line of a continued value
    QString text;   // the line as written (trimmed)
    QString reason;
};

// Registry text as Wine keeps it (user.reg, "WINE REGISTRY Version 2") or as
// a registry editor exports it (REGEDIT4, "Windows Registry Editor Version
// 5.00"), with CR LF, LF or CR line ends. Parsing never fails: lines it cannot
// read are skipped and listed.
class RegistryText
{
public:
    static RegistryText Parse(QByteArrayView bytes);
    // A registry editor's file only: its first line that is not blank is
    // "REGEDIT4" or "Windows Registry Editor Version 5.00". The text is ANSI
    // (Windows-1252) when it is not valid UTF-8 and has no byte order mark.
    static std::optional<RegistryText> ParseEditorFile(QByteArrayView bytes);

    // Key paths use single backslashes; keys and value names are compared
    // without regard to case. A missing key or value and a hex value read as "".
    QString Value(const QString& keyPath, const QString& valueName) const;
    const RegistryKey* FindKey(const QString& keyPath) const;
    const QList<RegistryKey>& Keys() const { return m_keys; }
    // Every line that is neither blank, a comment, the header, a key nor a
    // value that was read, in file order.
    const QList<RegistrySkippedLine>& Skipped() const { return m_skipped; }

private:
    RegistryKey& KeyFor(const QString& path);

    QList<RegistryKey> m_keys;
    QList<RegistrySkippedLine> m_skipped;
    QHash<QString, qsizetype> m_index; // case-folded path -> position in m_keys
};

// A registry editor's file of one key's string values: "REGEDIT4", the key
// line, then one "name"="value" line each, every line ended by CR LF. Inside
// values a backslash is written as two and a double quote as a backslash and
// the quote (control characters, which the format cannot carry, as blanks).
// ASCII while every value is; otherwise the same lines under "Windows Registry
// Editor Version 5.00", in UTF-16LE with a byte order mark.
QByteArray RegistryEditorFile(const QString& keyPath, const QList<QPair<QString, QString>>& values);
