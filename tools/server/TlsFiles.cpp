// A pair that TLS refuses would only fail each client's handshake, unseen until someone connects: it is tried
// once at start instead, where the reason reaches whoever starts the server.
#include "TlsFiles.h"

#include "core/files/FileIO.h"

#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>

namespace
{
// Keeps the descriptor of the one connection it accepts, for a TLS socket to take.
class OneConnection : public QTcpServer
{
public:
    qintptr descriptor = -1;

protected:
    void incomingConnection(qintptr handle) override { descriptor = handle; }
};

bool readPem(const QString& path, QByteArray* text, QString* reason)
{
    FileFailure failure;
    if (readWholeFile(path, text, &failure))
        return true;
    *reason = QStringLiteral("%1: no se pudo leer (%2)")
                  .arg(path, failure.kind == FileFailure::Missing ? QStringLiteral("no existe") : failure.reason);
    return false;
}

QSslKey privateKey(const QByteArray& pem)
{
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa})
        if (const QSslKey key(pem, algorithm, QSsl::Pem, QSsl::PrivateKey); !key.isNull())
            return key;
    return {};
}

// Whether the TLS library takes the pair for a server: it checks them only as a handshake starts on a connected
// socket.
bool serves(const QSslConfiguration& tls)
{
    OneConnection server;
    QTcpSocket client;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return true; // nothing to try it on: each connection will say
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());
    if (!client.waitForConnected(2000) || !server.waitForNewConnection(2000) || server.descriptor < 0)
        return true;
    QSslSocket socket;
    socket.setSslConfiguration(tls);
    socket.setSocketDescriptor(server.descriptor);
    socket.startServerEncryption();
    return socket.error() == QAbstractSocket::UnknownSocketError;
}
} // namespace

bool loadTlsFiles(const QString& certificate, const QString& key, QSslConfiguration* tls, QString* place,
                  QString* reason)
{
    QByteArray certificateText, keyText;
    *place = QStringLiteral("certificate");
    if (!QSslSocket::supportsSsl()) {
        *reason = QStringLiteral("este sistema no tiene TLS (falta la biblioteca OpenSSL)");
        return false;
    }
    if (!readPem(certificate, &certificateText, reason))
        return false;
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certificateText, QSsl::Pem);
    if (chain.isEmpty() || chain.constFirst().isNull()) {
        *reason = QStringLiteral("%1: no es un certificado PEM (-----BEGIN CERTIFICATE-----)").arg(certificate);
        return false;
    }
    *place = QStringLiteral("key");
    if (!readPem(key, &keyText, reason))
        return false;
    const QSslKey privateOne = privateKey(keyText);
    if (privateOne.isNull()) {
        *reason = QStringLiteral("%1: no es una clave privada PEM sin contrasena (RSA, EC o DSA)").arg(key);
        return false;
    }
    *tls = QSslConfiguration::defaultConfiguration();
    tls->setLocalCertificateChain(chain);
    tls->setPrivateKey(privateOne);
    tls->setPeerVerifyMode(QSslSocket::VerifyNone); // clients are known by their tokens, not by certificates
    if (!serves(*tls)) {
        *reason = QStringLiteral("%1: no corresponde al certificado %2").arg(key, certificate);
        return false;
    }
    return true;
}
