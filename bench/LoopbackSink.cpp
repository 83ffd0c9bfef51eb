// A TCP loopback receiver with a timestamp for every byte.
#include "LoopbackSink.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <chrono>
#include <condition_variable>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace benchsink
{
qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

LoopbackSink::LoopbackSink()
{
    // The server lives in the reading thread (Qt sockets belong to the thread that made them); the port it
    // got comes back before the constructor returns.
    std::mutex started;
    std::condition_variable ready;
    bool done = false;
    m_reader = std::thread([&] {
        QTcpServer server;
        const bool listening = server.listen(QHostAddress::LocalHost, 0);
        {
            const std::lock_guard lock(started);
            if (listening)
                m_port = server.serverPort();
            else
                m_error = server.errorString();
            done = true;
        }
        ready.notify_one();
        if (!listening)
            return;
        while (!m_stop && !server.waitForNewConnection(50)) {
        }
        QTcpSocket* socket = server.nextPendingConnection();
        if (!socket)
            return;
        bool raised = false;
        while (!m_stop && socket->state() == QAbstractSocket::ConnectedState) {
            if (m_raisePriority && !raised) {
#ifdef Q_OS_WIN
                ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
#endif
                raised = true;
            }
            if (!socket->waitForReadyRead(20))
                continue;
            const QByteArray chunk = socket->readAll();
            const qint64 t = nowNs();
            const std::lock_guard lock(m_mutex);
            for (char c : chunk)
                m_received.push_back({static_cast<unsigned char>(c), t});
        }
    });
    std::unique_lock lock(started);
    ready.wait(lock, [&] { return done; });
}

LoopbackSink::~LoopbackSink()
{
    m_stop = true;
    if (m_reader.joinable())
        m_reader.join();
}

QString LoopbackSink::slavePath() const
{
    return QStringLiteral("tcp://127.0.0.1:%1").arg(m_port.load());
}

std::vector<Received> LoopbackSink::received() const
{
    const std::lock_guard lock(m_mutex);
    return m_received;
}

bool LoopbackSink::waitForBytes(int count, int timeoutMs) const
{
    for (const qint64 end = nowNs() + qint64(timeoutMs) * 1000000; nowNs() <= end;
         std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
        const std::lock_guard lock(m_mutex);
        if (int(m_received.size()) >= count)
            return true;
    }
    return false;
}

bool LoopbackSink::setReaderRealtime()
{
    // Takes effect when the sender connects; the thread is waiting for it until then.
    m_raisePriority = true;
#ifdef Q_OS_WIN
    return true;
#else
    return false;
#endif
}
} // namespace benchsink
