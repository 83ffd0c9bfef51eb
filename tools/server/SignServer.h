// The API under /api/v1 over the configured signs and their jobs.
#pragma once

#include "HttpApi.h"
#include "ServerConfig.h"
#include "SignJobs.h"

#include <QObject>

class QTcpServer;

class SignServer : public QObject
{
    Q_OBJECT
public:
    explicit SignServer(ServerConfig config, QObject* parent = nullptr);
    // Serves the connections of `server`, which listens already, and owns it.
    void serve(QTcpServer* server) { m_api.serve(server); }

private:
    void health(HttpReply reply) const;
    void openApi(HttpReply reply) const;
    void signs(HttpReply reply) const;
    void sign(const HttpRequest& request, HttpReply reply);
    void show(const HttpRequest& request, HttpReply reply);
    void job(const HttpRequest& request, HttpReply reply) const;
    void answerJob(int id, HttpReply reply, int status) const;

    ServerConfig m_config;
    SignJobs m_jobs;
    HttpApi m_api;
};
