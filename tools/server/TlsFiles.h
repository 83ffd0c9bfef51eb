// The server's certificate and private key for HTTPS, read from PEM files and tried together before serving.
#pragma once

#include <QSslConfiguration>
#include <QString>

// Reads `certificate` (the server's own first, its chain after it) and `key` (RSA, EC or DSA, without a
// passphrase), then starts a TLS server handshake with them on a loopback connection, as each client's
// connection will. False with what failed ("certificate" or "key") in `place` and why in `reason`.
bool loadTlsFiles(const QString& certificate, const QString& key, QSslConfiguration* tls, QString* place,
                  QString* reason);
