// The server's work on the signs' lines: one queue per port, so that two jobs never write to one line at
// once, while the lines of different ports run at the same time, each on a thread of its own.
#pragma once

#include "ServerConfig.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QObject>
#include <QThread>
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

enum class PartState { Queued, Sending, Done, Failed, Cancelled };

// One sign's share of a job. The sending thread writes `state` and `sent` as it goes and `error` before
// it ends; `cancel` is asked from any thread; the rest is fixed when the job is made.
struct SendPart
{
    SignConfig sign;
    QString what; // "Mensaje", "Hora y fecha": what the texts of a cancel name
    // Built on the sending thread once the port is open, right before the first byte: a clock's time is read
    // then, not when the job was queued.
    std::function<QByteArray()> build;
    int total = 0;
    std::atomic<PartState> state = PartState::Queued;
    std::atomic<int> sent = 0;
    std::atomic<bool> cancel = false;
    QString error;
};

struct Job
{
    int id = 0;
    QDateTime created;
    QString request;  // "POST /api/v1/signs/a/show": what asked for it
    QJsonArray pages; // what a show puts on its signs; empty for a clock
    std::vector<std::shared_ptr<SendPart>> parts;
    std::vector<std::function<void()>> waiters; // told once every part has ended

    bool finished() const;
};

class SignJobs : public QObject
{
    Q_OBJECT
public:
    explicit SignJobs(QObject* parent = nullptr);
    // Cancels what is sending (each line gets the terminator) and waits for every line's thread.
    ~SignJobs() override;

    // A job that sends what `build` makes to each sign (`what` names it, `request` asked for it, and a show
    // puts `pages` on them); its id.
    int submit(const std::vector<SignConfig>& signs, const QString& what, const std::function<QByteArray()>& build,
               const QString& request, const QJsonArray& pages = {});
    // Ids go on after `id`: one a restarted server kept must not name another job.
    void continueAfter(int id) { m_lastId = std::max(m_lastId, id); }
    // `told` hears of each part once it has ended, on this object's thread.
    void onPartEnded(std::function<void(const Job&, const SendPart&)> told) { m_partEnded = std::move(told); }
    // `told` hears of each part as its line's turn comes to it (not of one cancelled while it waited), on this
    // object's thread.
    void onPartStarted(std::function<void(const Job&, const SendPart&)> told) { m_partStarted = std::move(told); }
    // Ends the server's work: queued parts never start, a part on its way ends with the terminator; each running
    // part is told of before this returns.
    void stop();
    const Job* job(int id) const;
    // Parts still queued never start; a part on its way ends as Ctrl-C ends tivor-cli's send, with the
    // terminator after the byte in hand. False when the job has ended already.
    bool cancel(int id);
    // `done` runs once the job has ended, or after `timeoutMs`, whichever comes first.
    void whenFinished(int id, int timeoutMs, std::function<void()> done);

    // True while the sign's port has work running or waiting.
    bool busy(const SignConfig& sign) const;
    // Opens the sign's port and closes it again, in its turn on the port's queue; `done` gets the reason
    // it could not be opened, empty when it could.
    void probe(const SignConfig& sign, std::function<void(const QString&)> done);

private:
    struct Task
    {
        std::function<void()> work;     // on the port's own thread
        std::function<void()> finished; // back on this object's thread
        std::function<void()> started;  // on this object's thread, right before `work` starts
    };
    struct PortQueue
    {
        std::deque<Task> pending;
        std::unique_ptr<QThread> running;
        std::function<void()> finished;
    };
    static QString queueKey(const SignConfig& sign);
    void enqueue(const SignConfig& sign, Task task);
    void startNext(const QString& key);
    void partEnded(int jobId);
    void forgetOldJobs();

    std::map<QString, PortQueue> m_queues;
    std::map<int, Job> m_jobs;
    int m_lastId = 0;
    std::function<void(const Job&, const SendPart&)> m_partEnded;
    std::function<void(const Job&, const SendPart&)> m_partStarted;
    std::atomic<bool> m_stopping = false;
};
