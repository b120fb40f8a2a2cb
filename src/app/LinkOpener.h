#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class BusyHost;

// A program and its arguments, started without a shell.
struct LinkCommand
{
    QString program;
    QStringList arguments;
};

// The desktop id of the handler of <protocol> links
// (`xdg-mime query default x-scheme-handler/<protocol>`); "" on any failure or after 3 s.
QString QueryDefaultHandler(const QString& protocol);
// The command of a desktop entry's Exec line with link put in. The line is
// split into arguments first, so a link with blanks or quotes stays one
// argument: %u %U %f %F become the link (the first one only; without any the
// link is appended), %% becomes %, other field codes are dropped. nullopt when
// there is no usable Exec line.
std::optional<LinkCommand> BuildLinkCommand(const QString& desktopFileContents, const QString& link);
// The file of a desktop id in $XDG_DATA_HOME/applications and
// $XDG_DATA_DIRS/applications; "" when none.
QString FindDesktopFile(const QString& desktopId);
// The command that opens link through the desktop's handler for protocol.
std::optional<LinkCommand> DesktopLinkCommand(const QString& protocol, const QString& link);

// How OpenLink finds and starts a handler; the defaults ask the desktop.
struct LinkOpenerHooks
{
    std::function<std::optional<LinkCommand>(const QString& protocol, const QString& link)> resolve;
    std::function<bool(const LinkCommand&)> start;
};

// Starts the handler of protocol with link, detached. Without a handler the
// message "Unable to find a program for <protocol> links." is shown; a handler
// that cannot be started is reported too. True when the handler started.
bool OpenLink(BusyHost& host, const QString& protocol, const QString& link);
bool OpenLink(BusyHost& host, const QString& protocol, const QString& link, const LinkOpenerHooks& hooks);
