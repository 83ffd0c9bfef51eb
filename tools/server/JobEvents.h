// The live face of the jobs: every WebSocket on /api/v1/events hears of each job as it is made, moves and ends,
// and of what each sign is believed to show when that changes, so that a page shows progress without polling.
#pragma once

#include "Tokens.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <functional>
#include <map>
#include <vector>

class QWebSocket;

// A job's progress goes out at most this often; its end at once.
inline constexpr int JobEventMs = 100;
// How long a client has to present its token ({"token": "..."}) once the server has tokens.
inline constexpr int WebSocketTokenMs = 10000;

class JobEvents : public QObject
{
    Q_OBJECT
public:
    // `job` answers a job as GET /api/v1/jobs/{id} does, empty once it is forgotten. Without tokens every client
    // listens from the start; with them, once it has shown one of read scope or above.
    JobEvents(std::function<QJsonObject(int)> job, std::vector<StoredToken> tokens, QObject* parent = nullptr);
    ~JobEvents() override;

    // A client whose handshake is done; it is this object's from now on and is let go when it closes.
    void listen(QWebSocket* socket);
    // A job was made: its first state goes out at once, its progress after.
    void jobMade(int id);
    // A part of the job ended: when that ends the job, its final state goes out at once.
    void partEnded(int id);
    void shownChanged(const QString& sign, const QJsonObject& shown);

private:
    struct Followed
    {
        QJsonObject last; // what the clients last heard of it
        QElapsedTimer since;
    };
    void tick();
    // Says the job's state when it changed and the last word is old enough, or the job has ended.
    void publish(int id);
    void broadcast(const QJsonObject& message);
    void presented(QWebSocket* socket, const QString& message);
    void admit(QWebSocket* socket);

    std::function<QJsonObject(int)> m_job;
    std::vector<StoredToken> m_tokens;
    std::map<QWebSocket*, bool> m_clients; // each client and whether it listens yet
    std::map<int, Followed> m_jobs;        // the jobs that have not ended
    QTimer m_tick;
};
