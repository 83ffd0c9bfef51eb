// Reading a network sign's address with QUrl's strict rules.
#include "core/ports/NetAddress.h"

#include <QHostInfo>
#include <QUrl>
#include <algorithm>

std::optional<NetAddress> NetAddress::parse(const QString& text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"tcp" && scheme != u"rfc2217") || url.host().isEmpty() || url.port() < 0 ||
        !url.path().isEmpty() || !url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment())
        return std::nullopt;
    return NetAddress{url.host(), quint16(url.port()), scheme == u"rfc2217"};
}

QList<QHostAddress> NetAddress::addresses() const
{
    if (const QHostAddress literal(host); !literal.isNull())
        return {literal};
    return QHostInfo::fromName(host).addresses();
}

bool NetAddress::sameSign(const NetAddress& a, const QList<QHostAddress>& aAt, const NetAddress& b,
                          const QList<QHostAddress>& bAt)
{
    if (a.rfc2217 != b.rfc2217 || a.port != b.port)
        return false;
    if (a.host.compare(b.host, Qt::CaseInsensitive) == 0)
        return true;
    return std::any_of(aAt.begin(), aAt.end(), [&bAt](const QHostAddress& x) {
        return std::any_of(bAt.begin(), bAt.end(), [&x](const QHostAddress& y) { return x.isEqual(y); });
    });
}
