// A TCP receiver for the network-sign tests.
#pragma once
#include "support/Pty.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <atomic>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

// A receiver reading in its own thread, each byte with its time of arrival; it can hang up after some
// bytes, or never read at all.
struct TcpSink
{
    std::atomic<int> port{0};
    std::atomic<bool> stop{false}, closed{false};
    std::mutex mutex;
    std::vector<testpty::Received> got;
    std::thread reader;

    explicit TcpSink(QHostAddress at = QHostAddress(QHostAddress::LocalHost), int closeAfter = -1, bool reads = true)
        : reader([=, this] {
              QTcpServer server;
              port = server.listen(at) ? server.serverPort() : -1;
              while (!stop && !server.hasPendingConnections())
                  server.waitForNewConnection(50);
              std::unique_ptr<QTcpSocket> s(server.nextPendingConnection());
              while (s && !stop && s->state() == QAbstractSocket::ConnectedState) {
                  if (!(reads ? s->waitForReadyRead(50) : (QThread::msleep(10), false)))
                      continue;
                  const qint64 ns = testpty::nowNs();
                  std::lock_guard lock(mutex);
                  for (char c : s->readAll())
                      got.push_back({uchar(c), ns});
                  if (closeAfter >= 0 && int(got.size()) >= closeAfter)
                      s->close(), closed = true;
              }
          })
    {
        while (!port)
            QThread::msleep(1);
    }
    ~TcpSink() { stop = true, reader.join(); }
    QByteArray bytes()
    {
        std::lock_guard lock(mutex);
        return std::accumulate(got.begin(), got.end(), QByteArray(),
                               [](QByteArray b, auto r) { return b + char(r.byte); });
    }
};
