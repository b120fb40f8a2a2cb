#pragma once

#include <QLibrary>
#include <QString>
#include <QStringList>

// Binds the export name of a library loaded at run time to a typed function
// pointer; a missing export is named in missing.
template <typename Pointer>
void Bind(QLibrary& library, const char* name, Pointer& out, QStringList& missing)
{
    out = reinterpret_cast<Pointer>(library.resolve(name));
    if (!out)
        missing << QString::fromLatin1(name);
}
