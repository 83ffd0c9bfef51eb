// Raw TCP: connecting is all there is to opening.
#include "core/ports/TcpPort.h"

TcpPort::TcpPort(const QString& port) : NetPort(port, false) {}

bool TcpPort::open()
{
    return isOpen() || connectSocket();
}

bool TcpPort::write(const char* data, qsizetype size)
{
    return queue(QByteArray::fromRawData(data, size));
}
