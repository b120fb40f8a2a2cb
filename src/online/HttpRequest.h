#pragma once

#include "app/Failure.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

// A picture address the downloader can fetch: http or https (any letter
// case), a host, the port from the address or the scheme's own, and the
// request target (path and query, percent-encoded; the fragment is never sent).
struct HttpAddress
{
    QUrl url;
    bool secure = false; // https
    QString host;        // without brackets for IPv6 literals
    quint16 port = 80;
    QByteArray target;    // "/path?query"
    QByteArray authority; // what the Host field carries: host, and ":port" when the address gives one
};

// Reads an address as the user typed it (blanks around it ignored). The
// failure's reason says what is wrong ("ftp" addresses, no "/" after the host).
Result<HttpAddress> ParseHttpAddress(const QString& text);

// Where a redirect leads: the Location value resolved against the address it
// came from. A secure address never leads to a plain one.
Result<HttpAddress> RedirectTarget(const HttpAddress& from, const QByteArray& location);

// Whether a status asks the client to fetch another address (301, 302, 303, 307, 308).
bool IsRedirectStatus(int status);

// "Lumivale/<major>.<minor>.<revision>"
QByteArray UserAgent();

// The bytes of a GET request for address, lines ended by CR LF:
//   GET <target> HTTP/1.1, Host, Connection: close, User-Agent, Accept: image/*, an empty line.
// Through a plain-HTTP proxy the request line carries the whole address and,
// when the proxy wants a user, a Proxy-Authorization field.
QByteArray BuildRequest(const HttpAddress& address, bool throughProxy = false,
                        const QByteArray& proxyAuthorization = QByteArray());
