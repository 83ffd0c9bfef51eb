#include "Tokens.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QStringList>
#include <array>

namespace
{
constexpr int TokenBytes = 32;

const std::array<std::pair<Scope, const char*>, 3> ScopeNames{
    {{Scope::Read, "read"}, {Scope::Send, "send"}, {Scope::Admin, "admin"}}};

// Equal in a time that depends on the lengths only.
bool sameBytes(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}
} // namespace

QString scopeName(Scope scope)
{
    for (const auto& [each, name] : ScopeNames)
        if (each == scope)
            return QString::fromLatin1(name);
    return QString();
}

bool parseScope(const QString& text, Scope* scope)
{
    for (const auto& [each, name] : ScopeNames)
        if (text == QLatin1String(name)) {
            *scope = each;
            return true;
        }
    return false;
}

QString scopeNamesText()
{
    QStringList names;
    for (const auto& [each, name] : ScopeNames)
        names << QString::fromLatin1(name);
    return names.join(QStringLiteral(", "));
}

QByteArray newToken()
{
    std::array<quint32, TokenBytes / 4> words{};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    const QByteArray bytes(reinterpret_cast<const char*>(words.data()), TokenBytes);
    return "tivor_" + bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

QByteArray tokenHash(const QByteArray& token)
{
    return QCryptographicHash::hash(token, QCryptographicHash::Sha256);
}

const StoredToken* matchToken(const std::vector<StoredToken>& tokens, const QByteArray& presented)
{
    const QByteArray hash = tokenHash(presented);
    const StoredToken* found = nullptr;
    for (const StoredToken& token : tokens)
        if (sameBytes(hash, token.sha256) && !found)
            found = &token;
    return found;
}
