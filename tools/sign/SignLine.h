// Where the virtual sign's bytes come from: a pseudo-terminal it creates, a real serial device, or a TCP port.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <memory>

class QSerialPort;
class QTcpServer;
class QTcpSocket;

class SignLine : public QObject
{
    Q_OBJECT
public:
    explicit SignLine(QObject* parent = nullptr);
    ~SignLine() override;

    // Creates a pseudo-terminal in raw mode and keeps both of its ends open, so a program that opens
    // and closes the device again and again never leaves the sign reading a hung-up line.
    bool openPty(QString* error);
    // Listens on a real serial device at `baud`, 8 data bits, no parity, one stop bit.
    bool openSerial(const QString& device, int baud, QString* error);
    // Listens on tcp://HOST:PORT (port 0: any free one, shown in devicePath) for raw bytes, as a serial
    // device server would pass them. One sender at a time: a second connection is closed at once, so two
    // senders never mix their bytes on the sign, as the device lock keeps them apart on a serial line; but
    // a sender silent for longer than the sign waits inside a transmission is dropped for the new one.
    bool listenTcp(const QString& address, QString* error);

    // The device path Tivor opens (/dev/pts/N, the serial device, or tcp://HOST:PORT).
    QString devicePath() const { return m_devicePath; }
    // Milliseconds on the clock the byte times are given in.
    qint64 nowMs() const { return m_clock.elapsed(); }

signals:
    void bytesRead(const QByteArray& bytes, qint64 timeMs);
    // The sender's connection ended (it closed, or was dropped for a new one): its bytes end there.
    void senderGone(qint64 timeMs);
    void failed(const QString& reason);

private:
    void readPty();
    void takeSender(QTcpSocket* s);
    void dropSender();

    QElapsedTimer m_clock;
    QString m_devicePath;
    int m_master = -1;
    int m_slave = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QSerialPort* m_serial = nullptr;
    QTcpServer* m_server = nullptr;
    QTcpSocket* m_client = nullptr;
    qint64 m_clientHeardMs = 0; // when the sender connected or last sent a byte
};
