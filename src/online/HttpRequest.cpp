#include "online/HttpRequest.h"

namespace {

Failure Refused(const QString& reason)
{
    return Failure::Because(reason);
}

// The parts of an absolute http or https URL.
Result<HttpAddress> FromUrl(const QUrl& url)
{
    HttpAddress address;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return Fail(Refused(QStringLiteral("Only http and https addresses can be downloaded.")));
    if (!url.isValid())
        return Fail(Refused(QStringLiteral("The address is not valid: %1").arg(url.errorString())));
    address.secure = scheme == QLatin1String("https");
    address.host = url.host(QUrl::FullyEncoded);
    if (address.host.isEmpty())
        return Fail(Refused(QStringLiteral("The address has no host name.")));
    const int port = url.port(address.secure ? 443 : 80);
    if (port <= 0 || port > 65535)
        return Fail(Refused(QStringLiteral("The address has an invalid port.")));
    address.port = quint16(port);
    address.target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (address.target.isEmpty())
        address.target = "/";
    if (!address.target.startsWith('/'))
        return Fail(Refused(QStringLiteral("The address has no path after the host name.")));
    const QByteArray host = address.host.toLatin1();
    address.authority = host.contains(':') ? '[' + host + ']' : host;
    if (url.port() != -1)
        address.authority += ':' + QByteArray::number(url.port());
    address.url = url.adjusted(QUrl::RemoveFragment | QUrl::RemoveUserInfo);
    return address;
}

} // namespace

Result<HttpAddress> ParseHttpAddress(const QString& text)
{
    const QString address = text.trimmed();
    for (QChar c : address) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return Fail(Refused(QStringLiteral("The address holds control characters.")));
    }
    const qsizetype separator = address.indexOf(QLatin1String("://"));
    if (separator < 0)
        return Fail(Refused(QStringLiteral("The address does not start with http:// or https://.")));
    const QString scheme = address.first(separator).toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return Fail(Refused(QStringLiteral("Only http and https addresses can be downloaded (not %1).")
                                .arg(address.first(separator))));
    if (address.indexOf(QLatin1Char('/'), separator + 3) < 0)
        return Fail(Refused(QStringLiteral("The address has no path after the host name.")));
    return FromUrl(QUrl(address, QUrl::TolerantMode));
}

Result<HttpAddress> RedirectTarget(const HttpAddress& from, const QByteArray& location)
{
    const QByteArray trimmed = location.trimmed();
    if (trimmed.isEmpty())
        return Fail(Refused(QStringLiteral("The server redirected without saying where to.")));
    const QUrl next = from.url.resolved(QUrl::fromEncoded(trimmed, QUrl::TolerantMode));
    Result<HttpAddress> target = FromUrl(next);
    if (!target)
        return Fail(
            Refused(QStringLiteral("The server redirected to an address that cannot be used (%1): %2")
                        .arg(QString::fromUtf8(trimmed.first(std::min<qsizetype>(trimmed.size(), 200))),
                             target.error().Reason())));
    if (from.secure && !target->secure)
        return Fail(Refused(QStringLiteral("The server redirected from a secure (https) address to a plain "
                                           "http one (%1); that is refused.")
                                .arg(target->url.toString())));
    return target;
}

bool IsRedirectStatus(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

QByteArray UserAgent()
{
    return "Lumivale/" + QByteArray::number(LUMIVALE_VERSION_MAJOR) + '.' +
           QByteArray::number(LUMIVALE_VERSION_MINOR) + '.' + QByteArray::number(LUMIVALE_VERSION_REVISION);
}

QByteArray BuildRequest(const HttpAddress& address, bool throughProxy, const QByteArray& proxyAuthorization)
{
    QByteArray request = "GET ";
    if (throughProxy)
        request += "http://" + address.authority;
    request += address.target + " HTTP/1.1\r\n";
    request += "Host: " + address.authority + "\r\n";
    request += "Connection: close\r\n";
    request += "User-Agent: " + UserAgent() + "\r\n";
    request += "Accept: image/*\r\n";
    if (throughProxy && !proxyAuthorization.isEmpty())
        request += "Proxy-Authorization: " + proxyAuthorization + "\r\n";
    request += "\r\n";
    return request;
}
