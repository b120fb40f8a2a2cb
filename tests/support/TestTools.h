#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <random>

// Files, bytes and outside programs, for the tests of every subsystem.

inline QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline quint32 U32At(const QByteArray& bytes, qsizetype offset)
{
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | std::uint8_t(bytes[offset + i]);
    return v;
}

struct ProcessResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline ProcessResult
RunTool(const QString& program, const QStringList& arguments, int timeoutMs = 60000,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(program, arguments);
    ProcessResult r;
    if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// A shell script with the given body, made executable (a stand-in for an outside program).
inline bool WriteScript(const QString& path, const QByteArray& body)
{
    if (!WriteBytes(path, "#!/bin/sh\n" + body))
        return false;
    return QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner | QFile::ExeUser);
}

// Decodes a DDS (or any picture) with ImageMagick, an independent reader, into
// top-down RGBA bytes. Empty when it refuses the file.
inline QByteArray DecodeRgba(const QString& path)
{
    if (RunTool(QStringLiteral("identify"), {QStringLiteral("-regard-warnings"), path}).exitCode != 0)
        return {};
    const ProcessResult r =
        RunTool(QStringLiteral("convert"),
                {path, QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("rgba:-")});
    return r.exitCode == 0 ? r.out : QByteArray();
}

// bytes with `edits` random changes, each a byte replaced, dropped or doubled
// (for parser fuzzing).
inline QByteArray Mutated(QByteArray bytes, std::mt19937& random, int edits)
{
    for (int edit = 0; edit < edits && !bytes.isEmpty(); ++edit) {
        const qsizetype at = qsizetype(random() % bytes.size());
        switch (random() % 3) {
        case 0:
            bytes[at] = char(random() & 0xff);
            break;
        case 1:
            bytes.remove(at, 1);
            break;
        default:
            bytes.insert(at, bytes[at]);
        }
    }
    return bytes;
}
