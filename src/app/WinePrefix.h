#pragma once

#include "app/RegistryText.h"

#include <QString>

// A Wine prefix: the game's registry values live in its user.reg, its drives
// in dosdevices/. Read only; nothing here writes into the prefix.
class WinePrefix
{
public:
    explicit WinePrefix(QString prefixPath);
    // $WINEPREFIX, else ~/.wine.
    static QString DefaultPath();
    QString Path() const;

    // The prefix's HKEY_CURRENT_USER as it is on disk now (user.reg read afresh).
    RegistryText ReadUserRegistry() const;
    // "C:\Games\City of Heroes" -> host path through dosdevices/c:, existing
    // components matched without regard to case as Wine does; a missing tail
    // keeps its spelling. Relative, UNC and drive-less paths and drives without
    // a link give "".
    QString ToHostPath(const QString& windowsPath) const;

private:
    QString m_path;
};
