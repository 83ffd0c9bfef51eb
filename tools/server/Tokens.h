// Bearer tokens: what each may do, and how a presented one is told from the stored hashes.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// Each scope allows what the ones before it do: send reads too, admin sends too.
enum class Scope { Open, Read, Send, Admin };

// The scope's name in the configuration and on the command line; Open has none.
QString scopeName(Scope scope);
// "read", "send" or "admin"; false for anything else.
bool parseScope(const QString& text, Scope* scope);
QString scopeNamesText();

// A token as the configuration keeps it: never the token, only its SHA-256.
struct StoredToken
{
    QString name;
    Scope scope = Scope::Read;
    QByteArray sha256; // 32 bytes
};

// A new token: 32 random bytes from the system's generator, in base64url, behind "tivor_".
QByteArray newToken();
QByteArray tokenHash(const QByteArray& token);

// The stored token `presented` is, or null. Every stored hash is compared whole, so the time taken says
// nothing of how near a guess came.
const StoredToken* matchToken(const std::vector<StoredToken>& tokens, const QByteArray& presented);
