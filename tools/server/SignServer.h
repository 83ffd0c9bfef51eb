// The API under /api/v1 over the configured signs and their jobs.
#pragma once

#include "HttpApi.h"
#include "MessageStore.h"
#include "ServerConfig.h"
#include "ShownState.h"
#include "SignJobs.h"

#include <QObject>

class SignServer : public QObject
{
    Q_OBJECT
public:
    explicit SignServer(ServerConfig config, QObject* parent = nullptr);
    // Serves the connections of `server`, which listens already, and owns it.
    void serve(ConnectionGuard* server) { m_api.serve(server); }
    // Ends every job as a stop request does (the terminator on each line that is sending) and journals them.
    void stop() { m_jobs.stop(); }

private:
    void health(HttpReply reply) const;
    void openApi(HttpReply reply) const;
    void signs(HttpReply reply) const;
    void sign(const HttpRequest& request, HttpReply reply);
    // The signs a path names: `{id}` of /signs, or every sign of `{g}` of /groups; empty after answering.
    std::vector<SignConfig> targets(const HttpRequest& request, bool group, HttpReply& reply) const;
    void show(const HttpRequest& request, HttpReply reply, bool group);
    void clock(const HttpRequest& request, HttpReply reply, bool group);
    // Makes the job, then answers at once or, with ?wait=N, once it ends or N s have passed.
    void start(const HttpRequest& request, HttpReply reply, const std::vector<SignConfig>& signs, const QString& what,
               const std::function<QByteArray()>& build, const QJsonArray& pages = {});
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
    // The stored message as JSON pages; `warning` goes with it when not empty.
    void answerMessage(const QString& name, HttpReply reply, int status, const QString& warning = {}) const;

    ServerConfig m_config;
    MessageStore m_store;
    ShownState m_shown; // before the jobs, which tell it of their parts until they are gone
    SignJobs m_jobs;
    HttpApi m_api;
};
