// Reading a network sign's address with QUrl's strict rules.
#include "core/ports/NetAddress.h"

#include <QUrl>

std::optional<NetAddress> NetAddress::parse(const QString& text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"tcp" && scheme != u"rfc2217") || url.host().isEmpty() || url.port() < 0 ||
        !url.path().isEmpty() || !url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment())
        return std::nullopt;
    return NetAddress{url.host(), quint16(url.port()), scheme == u"rfc2217"};
}
