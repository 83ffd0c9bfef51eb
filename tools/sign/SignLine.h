// Where the virtual sign's bytes come from: a pseudo-terminal it creates, or a real serial device.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <memory>

class QSerialPort;

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

    // The device path Tivor opens (/dev/pts/N, or the serial device).
    QString devicePath() const { return devicePath_; }
    // Milliseconds on the clock the byte times are given in.
    qint64 nowMs() const { return clock_.elapsed(); }

signals:
    void bytesRead(const QByteArray& bytes, qint64 timeMs);
    void failed(const QString& reason);

private:
    void readPty();

    QElapsedTimer clock_;
    QString devicePath_;
    int master_ = -1;
    int slave_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    QSerialPort* serial_ = nullptr;
};
