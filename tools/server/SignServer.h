// The API under /api/v1 over the configured signs and their jobs.
#pragma once

#include "HttpApi.h"
#include "JobEvents.h"
#include "MessageStore.h"
#include "ScheduleBook.h"
#include "ServerConfig.h"
#include "ShownState.h"
#include "SignJobs.h"

#include <QObject>

class SignServer : public QObject
{
    Q_OBJECT
public:
    explicit SignServer(ServerConfig config, QObject* parent = nullptr);
    // Serves the connections of `server`, which listens already, and owns it; its WebSockets hear of the jobs.
    void serve(ConnectionGuard* server);
    // Ends every job as a stop request does (the terminator on each line that is sending) and journals them.
    void stop() { m_jobs.stop(); }

    // What the server's other faces (MQTT) ask of the same signs, store, queues and state as the routes.
    const ServerConfig& config() const { return m_config; }
    const MessageStore& store() const { return m_store; }
    const ShownState& shown() const { return m_shown; }
    SignJobs& jobs() { return m_jobs; }
    // A show's body read as POST .../show reads it: JSON (a stored message's name too) or, with `text`, one page a
    // line; 0 in the fault when it was read.
    BodyFault showMessage(const QByteArray& body, bool text, Message* message) const;
    // The job as GET /api/v1/jobs/{id} answers it; empty when it is not known.
    QJsonObject jobAnswer(int id) const;
    // The jobs of a show and of the clock, whether an HTTP request, a schedule or MQTT (`asked`) asks for them.
    int showJob(const std::vector<SignConfig>& signs, const Message& message, const QString& asked);
    int clockJob(const std::vector<SignConfig>& signs, const QString& asked);

signals:
    // Job `job`'s part on sign `sign` is about to go out: its line's turn has come.
    void partStarted(int job, const QString& sign);
    // A part of job `job` ended on sign `sign`, after it was journaled and what the sign shows was recorded.
    void partFinished(int job, const QString& sign);

private:
    void health(HttpReply reply) const;
    void openApi(HttpReply reply) const;
    void signs(HttpReply reply) const;
    void sign(const HttpRequest& request, HttpReply reply);
    // The signs a path names: `{id}` of /signs, or every sign of `{g}` of /groups; empty after answering.
    std::vector<SignConfig> targets(const HttpRequest& request, bool group, HttpReply& reply) const;
    void show(const HttpRequest& request, HttpReply reply, bool group);
    void clock(const HttpRequest& request, HttpReply reply, bool group);
    // Makes the job by `submit` (given what asked for it), then answers at once or, with ?wait=N, once it ends or
    // N s have passed.
    void start(const HttpRequest& request, HttpReply reply, const std::function<int(const QString&)>& submit);
    // Journals how a part ended; one that put a show on its sign whole is what the sign shows from now on.
    void partEnded(const Job& job, const SendPart& part);
    void job(const HttpRequest& request, HttpReply reply) const;
    void cancelJob(const HttpRequest& request, HttpReply reply);
    void answerJob(int id, HttpReply reply, int status) const;
    // What a body is read for: a store takes no stored message's name, a preview takes what the cap would cut.
    enum class BodyUse { Show, Store, Preview };
    // The message a body holds, by its media type; 0 in the fault when it was read.
    BodyFault bodyMessage(const HttpRequest& request, Message* message, BodyUse use) const;
    void preview(const HttpRequest& request, HttpReply reply) const;
    void messages(HttpReply reply) const;
    void message(const HttpRequest& request, HttpReply reply) const;
    void storeMessage(const HttpRequest& request, HttpReply reply);
    void deleteMessage(const HttpRequest& request, HttpReply reply);
    void routeSchedules();
    void schedules(HttpReply reply) const;
    void schedule(const HttpRequest& request, HttpReply reply) const;
    void nextRuns(const HttpRequest& request, HttpReply reply) const;
    void putSchedule(const HttpRequest& request, HttpReply reply);
    void deleteSchedule(const HttpRequest& request, HttpReply reply);
    // The configured signs a schedule names by id or group, in the configuration's order; the first name that is
    // neither goes to `unknown`.
    std::vector<SignConfig> scheduleTargets(const QJsonObject& definition, QString* unknown) const;
    // A schedule's show as the same body would be read by a show now.
    BodyFault scheduleMessage(const QJsonObject& definition, Message* message) const;
    int runSchedule(const QString& id, const QJsonObject& definition);
    // The stored message as JSON pages; `warning` goes with it when not empty.
    void answerMessage(const QString& name, HttpReply reply, int status, const QString& warning = {}) const;

    ServerConfig m_config;
    MessageStore m_store;
    ShownState m_shown; // before the jobs, which tell it of their parts until they are gone
    JobEvents m_events; // so too
    SignJobs m_jobs;
    ScheduleBook m_schedules; // after the jobs, which its timers make
    HttpApi m_api;
};
