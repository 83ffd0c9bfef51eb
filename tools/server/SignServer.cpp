// Each route reads its request, checks it whole and only then touches a sign.
#include "SignServer.h"

#include "ConnectionGuard.h"
#include "Journal.h"
#include "JsonText.h"
#include "Preview.h"
#include "ShowBody.h"
#include "WebPage.h"
#include "core/files/MessageFile.h"
#include "core/platform/Clock.h"
#include "core/platform/Program.h"
#include "core/protocol/MessageBuilder.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace
{
// The longest a show may hold its answer for the job's outcome.
constexpr int MaxWaitSeconds = 60;

QString stateName(PartState state)
{
    switch (state) {
    case PartState::Queued:
        return QStringLiteral("queued");
    case PartState::Sending:
        return QStringLiteral("sending");
    case PartState::Done:
        return QStringLiteral("done");
    case PartState::Cancelled:
        return QStringLiteral("cancelled");
    case PartState::Failed:
        break;
    }
    return QStringLiteral("failed");
}

// The job's state is its parts': sending while one is on its way; once all ended, failed when one failed, else
// cancelled when one was cancelled.
QString jobState(const std::vector<PartState>& states)
{
    bool failed = false, cancelled = false, started = false, queued = false;
    for (const PartState state : states) {
        failed |= state == PartState::Failed;
        cancelled |= state == PartState::Cancelled;
        started |= state != PartState::Queued;
        queued |= state == PartState::Queued || state == PartState::Sending;
    }
    if (!started)
        return QStringLiteral("queued");
    if (queued)
        return QStringLiteral("sending");
    if (failed)
        return QStringLiteral("failed");
    return cancelled ? QStringLiteral("cancelled") : QStringLiteral("done");
}

QJsonObject jobJson(const Job& job)
{
    // Each part's state is read once, so the job's state agrees with what its parts say even while a sending
    // thread ends one of them.
    std::vector<PartState> states;
    QJsonArray parts;
    for (const auto& part : job.parts) {
        // The state first: once it says ended, the error text and the count are final.
        const PartState state = part->state;
        states.push_back(state);
        QJsonObject json{{QStringLiteral("sign"), part->sign.id},
                         {QStringLiteral("state"), stateName(state)},
                         {QStringLiteral("sent"), int(part->sent)},
                         {QStringLiteral("total"), part->total}};
        if (state == PartState::Failed || state == PartState::Cancelled)
            json.insert(QStringLiteral("error"), part->error);
        parts.append(json);
    }
    return {{QStringLiteral("id"), job.id},
            {QStringLiteral("state"), jobState(states)},
            {QStringLiteral("created"), job.created.toString(Qt::ISODateWithMs)},
            {QStringLiteral("signs"), parts}};
}

QJsonObject signJson(const SignConfig& sign, bool busy, const QJsonObject& shown)
{
    QJsonObject json{{QStringLiteral("id"), sign.id},
                     {QStringLiteral("name"), sign.name},
                     {QStringLiteral("port"), sign.line.port},
                     {QStringLiteral("baud"), sign.line.baud},
                     {QStringLiteral("dy1"), sign.line.dy1},
                     {QStringLiteral("dy2"), sign.line.dy2},
                     {QStringLiteral("groups"), QJsonArray::fromStringList(sign.groups)},
                     {QStringLiteral("busy"), busy}};
    if (!shown.isEmpty())
        json.insert(QStringLiteral("shown"), shown);
    return json;
}

// The pages as a show takes them; a stored file's page with a code off the lists by its text alone.
QJsonArray shownPages(const Message& message)
{
    QJsonArray pages;
    if (int page = 0; pagesJson(message, &pages, &page))
        return pages;
    pages = {};
    for (int at = 1; at <= MaxPages; ++at)
        if (!message.text[at].isEmpty())
            pages.append(QJsonObject{{QStringLiteral("text"), message.text[at]}});
    return pages;
}

QString partOutcome(const SendPart& part)
{
    switch (part.state.load()) {
    case PartState::Done:
        return QStringLiteral("hecho, %1 bytes").arg(part.sent.load());
    case PartState::Cancelled:
        return QStringLiteral("cancelado, %1 de %2 bytes: %3").arg(part.sent.load()).arg(part.total).arg(part.error);
    case PartState::Failed:
        return QStringLiteral("fallido, %1 de %2 bytes: %3").arg(part.sent.load()).arg(part.total).arg(part.error);
    case PartState::Queued:
    case PartState::Sending:
        break;
    }
    return QStringLiteral("sin terminar");
}

QString unknownSign(const QString& id)
{
    return QStringLiteral("no hay ningun cartel '%1'").arg(id);
}

QString unknownJob(const QString& id)
{
    return QStringLiteral("no hay ningun trabajo '%1'").arg(id);
}

QString unknownSchedule(const QString& id)
{
    return QStringLiteral("no hay ningun horario '%1'").arg(id);
}

// The most runs a /next answers at once.
constexpr int MaxNextRuns = 100;

// How long a cancel waits for the lines' terminators before it answers: one byte's wait and two bytes.
constexpr int CancelAnswerMs = 5000;
} // namespace

SignServer::SignServer(ServerConfig config, QObject* parent)
    : QObject(parent), m_config(std::move(config)), m_store(m_config.messages), m_shown(statePath()),
      m_events([this](int id) { return jobAnswer(id); }, m_config.tokens),
      m_schedules(schedulesPath(),
                  [this](const QString& id, const QJsonObject& definition) { return runSchedule(id, definition); })
{
    m_jobs.continueAfter(std::max(m_shown.lastJob(), m_schedules.lastJob()));
    m_jobs.onPartEnded([this](const Job& job, const SendPart& part) { partEnded(job, part); });
    m_jobs.onPartStarted([this](const Job& job, const SendPart& part) { emit partStarted(job.id, part.sign.id); });
    m_api.setTokens(m_config.tokens);
    const auto health = [this](const HttpRequest&, HttpReply reply) { this->health(reply); };
    m_api.route("GET", QStringLiteral("/healthz"), Scope::Open, health);
    m_api.route("GET", QStringLiteral("/api/v1/healthz"), Scope::Open, health);
    m_api.route("GET", QStringLiteral("/api/v1/openapi.json"), Scope::Read,
                [this](const HttpRequest&, HttpReply reply) { openApi(reply); });
    m_api.route("GET", QStringLiteral("/api/v1/signs"), Scope::Read,
                [this](const HttpRequest&, HttpReply reply) { signs(reply); });
    m_api.route("GET", QStringLiteral("/api/v1/signs/{id}"), Scope::Read,
                [this](const HttpRequest& request, HttpReply reply) { sign(request, reply); });
    for (const bool group : {false, true}) {
        const QString base = group ? QStringLiteral("/api/v1/groups/{g}") : QStringLiteral("/api/v1/signs/{id}");
        m_api.route("POST", base + QStringLiteral("/show"), Scope::Send,
                    [this, group](const HttpRequest& request, HttpReply reply) { show(request, reply, group); });
        m_api.route("POST", base + QStringLiteral("/clock"), Scope::Send,
                    [this, group](const HttpRequest& request, HttpReply reply) { clock(request, reply, group); });
    }
    // Without an upgrade to a WebSocket, which the connection guard takes before any route.
    m_api.route("GET", QStringLiteral("/api/v1/events"), Scope::Read, [](const HttpRequest&, HttpReply reply) {
        reply.problem(426, QStringLiteral("/api/v1/events es un WebSocket"), {{"Upgrade", "websocket"}});
    });
    m_api.route("POST", QStringLiteral("/api/v1/preview"), Scope::Read,
                [this](const HttpRequest& request, HttpReply reply) { preview(request, reply); });
    m_api.route("GET", QStringLiteral("/api/v1/jobs/{id}"), Scope::Read,
                [this](const HttpRequest& request, HttpReply reply) { job(request, reply); });
    m_api.route("DELETE", QStringLiteral("/api/v1/jobs/{id}"), Scope::Send,
                [this](const HttpRequest& request, HttpReply reply) { cancelJob(request, reply); });
    m_api.route("GET", QStringLiteral("/api/v1/messages"), Scope::Read,
                [this](const HttpRequest&, HttpReply reply) { messages(reply); });
    const QString message = QStringLiteral("/api/v1/messages/{name}");
    m_api.route("GET", message, Scope::Read,
                [this](const HttpRequest& request, HttpReply reply) { this->message(request, reply); });
    m_api.route("PUT", message, Scope::Admin,
                [this](const HttpRequest& request, HttpReply reply) { storeMessage(request, reply); });
    m_api.route("DELETE", message, Scope::Admin,
                [this](const HttpRequest& request, HttpReply reply) { deleteMessage(request, reply); });
    routeSchedules();
    routeWebPage(m_api);
    m_schedules.start();
}

void SignServer::serve(ConnectionGuard* server)
{
    server->takeWebSockets(QStringLiteral("/api/v1/events"));
    connect(server, &ConnectionGuard::webSocketOpened, &m_events, &JobEvents::listen);
    m_api.serve(server);
}

void SignServer::health(HttpReply reply) const
{
    reply.json(200, QJsonObject{{QStringLiteral("status"), QStringLiteral("ok")},
                                {QStringLiteral("version"), platform::versionString()}});
}

void SignServer::openApi(HttpReply reply) const
{
    QFile document(QStringLiteral(":/openapi.json"));
    if (!document.open(QIODevice::ReadOnly))
        return reply.problem(500, QStringLiteral("falta la descripcion de la API en el programa"));
    reply.raw(200, "application/json", document.readAll());
}

void SignServer::signs(HttpReply reply) const
{
    QJsonArray list;
    for (const SignConfig& sign : m_config.signs)
        list.append(signJson(sign, m_jobs.busy(sign), m_shown.shown(sign.id)));
    reply.json(200, QJsonObject{{QStringLiteral("signs"), list}});
}

// Whether the port can be opened is asked of the port itself, in its turn: never while a job of ours sends.
void SignServer::sign(const HttpRequest& request, HttpReply reply)
{
    const SignConfig* sign = m_config.sign(request.params.at(0));
    if (!sign)
        return reply.problem(404, unknownSign(request.params.at(0)));
    QJsonObject json = signJson(*sign, m_jobs.busy(*sign), m_shown.shown(sign->id));
    if (m_jobs.busy(*sign)) {
        json.insert(QStringLiteral("available"), false);
        json.insert(QStringLiteral("reason"), QStringLiteral("este servidor esta usando el puerto"));
        return reply.json(200, json);
    }
    m_jobs.probe(*sign, [json, reply](const QString& reason) mutable {
        json.insert(QStringLiteral("available"), reason.isEmpty());
        if (!reason.isEmpty())
            json.insert(QStringLiteral("reason"), reason);
        reply.json(200, json);
    });
}

std::vector<SignConfig> SignServer::targets(const HttpRequest& request, bool group, HttpReply& reply) const
{
    const QString& name = request.params.at(0);
    std::vector<SignConfig> signs;
    for (const SignConfig& sign : m_config.signs)
        if (group ? sign.groups.contains(name) : sign.id == name)
            signs.push_back(sign);
    if (signs.empty())
        reply.problem(404, group ? QStringLiteral("no hay ningun grupo '%1'").arg(name) : unknownSign(name));
    return signs;
}

void SignServer::show(const HttpRequest& request, HttpReply reply, bool group)
{
    const std::vector<SignConfig> signs = targets(request, group, reply);
    if (signs.empty())
        return;
    Message message;
    if (const BodyFault fault = bodyMessage(request, &message, BodyUse::Show); fault.status)
        return reply.problem(fault.status, fault.detail);
    start(request, reply, [&](const QString& asked) { return showJob(signs, message, asked); });
}

int SignServer::showJob(const std::vector<SignConfig>& signs, const Message& message, const QString& asked)
{
    const int id = m_jobs.submit(
        signs, QStringLiteral("Mensaje"), [transmission = messageTransmission(message)] { return transmission; }, asked,
        shownPages(message));
    m_events.jobMade(id);
    return id;
}

int SignServer::clockJob(const std::vector<SignConfig>& signs, const QString& asked)
{
    const int id = m_jobs.submit(
        signs, QStringLiteral("Hora y fecha"), [] { return dateTransmission(platform::SystemClock().now()); }, asked);
    m_events.jobMade(id);
    return id;
}

BodyFault SignServer::bodyMessage(const HttpRequest& request, Message* message, BodyUse use) const
{
    const QByteArray type = request.mediaType();
    if (!type.isEmpty() && type != "application/json" && type != "text/plain")
        return {415,
                QStringLiteral("'%1' no se admite; use application/json o text/plain").arg(QString::fromLatin1(type))};
    QString name;
    const BodyFault fault = type == "text/plain"
                                ? messageFromText(request.body, message)
                                : messageFromBody(request.body, message, use == BodyUse::Store ? nullptr : &name);
    if (fault.status)
        return fault;
    if (name.isEmpty())
        return use == BodyUse::Preview ? BodyFault{} : lengthFault(*message);
    // A stored message goes as tivor-cli send sends its file.
    if (const BodyFault loaded = m_store.load(name, message); loaded.status)
        return loaded;
    if (!message->hasText())
        return {422,
                QStringLiteral("%1.mnm: Error #21, No Hay mensaje cargado (ninguna pagina tiene texto)").arg(name)};
    return {};
}

// The delays are those of the sign named, else the defaults (DY1 200, DY2 05), as a fresh send takes them.
void SignServer::preview(const HttpRequest& request, HttpReply reply) const
{
    SendDelays delays;
    if (const QString id = request.query.queryItemValue(QStringLiteral("sign")); !id.isEmpty()) {
        const SignConfig* sign = m_config.sign(id);
        if (!sign)
            return reply.problem(404, unknownSign(id));
        delays = DelaysInForce().peek(sign->line);
    }
    Message message;
    if (const BodyFault fault = bodyMessage(request, &message, BodyUse::Preview); fault.status)
        return reply.problem(fault.status, fault.detail);
    const bool animation = request.query.queryItemValue(QStringLiteral("animation")) == QLatin1String("1");
    reply.json(200, previewJson(message, delays, QDateTime::currentDateTime(), animation));
}

void SignServer::clock(const HttpRequest& request, HttpReply reply, bool group)
{
    const std::vector<SignConfig> signs = targets(request, group, reply);
    if (!signs.empty())
        start(request, reply, [&](const QString& asked) { return clockJob(signs, asked); });
}

void SignServer::start(const HttpRequest& request, HttpReply reply, const std::function<int(const QString&)>& submit)
{
    int wait = 0;
    if (request.query.hasQueryItem(QStringLiteral("wait"))) {
        bool number = false;
        wait = request.query.queryItemValue(QStringLiteral("wait")).toInt(&number);
        if (!number || wait < 0 || wait > MaxWaitSeconds)
            return reply.problem(
                400, QStringLiteral("wait: debe ser un numero entero de segundos de 0 a %1").arg(MaxWaitSeconds));
    }
    const QString asked = QStringLiteral("%1 %2").arg(QString::fromLatin1(request.method),
                                                      QUrl::fromPercentEncoding(request.path.toUtf8()));
    const int id = submit(asked);
    if (wait == 0)
        return answerJob(id, reply, 202);
    m_jobs.whenFinished(id, wait * 1000, [this, id, reply] { answerJob(id, reply, 202); });
}

void SignServer::partEnded(const Job& job, const SendPart& part)
{
    journal(QStringLiteral("trabajo %1, cartel %2: %3").arg(job.id).arg(part.sign.id, partOutcome(part)));
    if (part.state == PartState::Done && !job.pages.isEmpty()) {
        m_shown.record(part.sign.id, job.pages, job.id, job.request, QDateTime::currentDateTimeUtc());
        m_events.shownChanged(part.sign.id, m_shown.shown(part.sign.id));
    }
    m_events.partEnded(job.id);
    emit partFinished(job.id, part.sign.id);
}

BodyFault SignServer::showMessage(const QByteArray& body, bool text, Message* message) const
{
    const HttpRequest request{
        "POST", {}, {}, body, {{"Content-Type", text ? QByteArrayLiteral("text/plain") : "application/json"}}, {}};
    return bodyMessage(request, message, BodyUse::Show);
}

QJsonObject SignServer::jobAnswer(int id) const
{
    const Job* job = m_jobs.job(id);
    return job ? jobJson(*job) : QJsonObject();
}

void SignServer::job(const HttpRequest& request, HttpReply reply) const
{
    bool number = false;
    const int id = request.params.at(0).toInt(&number);
    if (!number || !m_jobs.job(id))
        return reply.problem(404, unknownJob(request.params.at(0)));
    answerJob(id, reply, 200);
}

// Answered once every line has its terminator, so that the answer says what each sign got.
void SignServer::cancelJob(const HttpRequest& request, HttpReply reply)
{
    bool number = false;
    const int id = request.params.at(0).toInt(&number);
    if (!number || !m_jobs.job(id))
        return reply.problem(404, unknownJob(request.params.at(0)));
    if (!m_jobs.cancel(id))
        return reply.problem(409, QStringLiteral("el trabajo %1 ya termino; no hay nada que cancelar").arg(id));
    m_jobs.whenFinished(id, CancelAnswerMs, [this, id, reply] { answerJob(id, reply, 202); });
}

// An ended job is answered 200 from wherever it is asked; one still running, with `status`.
void SignServer::answerJob(int id, HttpReply reply, int status) const
{
    const Job* job = m_jobs.job(id);
    if (!job)
        return reply.problem(404, unknownJob(QString::number(id)));
    reply.json(job->finished() ? 200 : status, jobJson(*job),
               {{"Location", QByteArrayLiteral("/api/v1/jobs/") + QByteArray::number(id)}});
}

void SignServer::messages(HttpReply reply) const
{
    reply.json(200, QJsonObject{{QStringLiteral("messages"), m_store.list()}});
}

// The file itself when asked for by ?format=mnm or by an Accept that prefers it; else its pages as JSON.
void SignServer::message(const HttpRequest& request, HttpReply reply) const
{
    const QString name = request.params.at(0);
    const QString format = request.query.queryItemValue(QStringLiteral("format"));
    if (!format.isEmpty() && format != QLatin1String("mnm") && format != QLatin1String("json"))
        return reply.problem(400, QStringLiteral("format: debe ser \"mnm\" o \"json\""));
    const QByteArray accept = request.header("Accept");
    const bool file = format == QLatin1String("mnm") ||
                      (format.isEmpty() && accept.contains("application/octet-stream") && !accept.contains("json"));
    if (!file)
        return answerMessage(name, reply, 200);
    QByteArray bytes;
    if (const BodyFault fault = m_store.read(name, &bytes); fault.status)
        return reply.problem(fault.status, fault.detail);
    reply.raw(200, "application/octet-stream", bytes,
              {{"Content-Disposition", QStringLiteral("attachment; filename=\"%1.mnm\"").arg(name).toUtf8()}});
}

void SignServer::answerMessage(const QString& name, HttpReply reply, int status, const QString& warning) const
{
    Message message;
    if (const BodyFault fault = m_store.load(name, &message); fault.status)
        return reply.problem(fault.status, fault.detail);
    QJsonArray pages;
    if (int page = 0; !pagesJson(message, &pages, &page))
        return reply.problem(422, QStringLiteral("%1.mnm: la pagina %2 tiene un codigo fuera de las listas; pidalo con "
                                                 "?format=mnm")
                                      .arg(name)
                                      .arg(page));
    QJsonObject json{{QStringLiteral("name"), name}, {QStringLiteral("pages"), pages}};
    if (!warning.isEmpty())
        json.insert(QStringLiteral("warning"), warning);
    reply.json(status, json, {{"Location", QUrl(QStringLiteral("/api/v1/messages/") + name).toEncoded()}});
}

// The body as the file (application/octet-stream, checked as tivor-cli reads it), or pages as a show takes
// them, written as the window saves a message.
void SignServer::storeMessage(const HttpRequest& request, HttpReply reply)
{
    const QString name = request.params.at(0);
    if (const QString fault = MessageStore::nameFault(name); !fault.isEmpty())
        return reply.problem(400, QStringLiteral("'%1': %2").arg(name, fault));
    QByteArray bytes = request.body;
    QString warning;
    if (request.mediaType() == "application/octet-stream") {
        if (QList<MessageRecord> records; !parseMessageFile(bytes, &records))
            return reply.problem(422, QStringLiteral("%1.mnm: no es un archivo de mensajes valido").arg(name));
    } else {
        Message message;
        if (const BodyFault fault = bodyMessage(request, &message, BodyUse::Store); fault.status)
            return reply.problem(fault.status, fault.detail);
        bytes = messageFileBytes(message);
        QString texts;
        for (const QString& text : message.text)
            texts += text;
        warning = unkeptCharactersText(unkeptInMessageFile(texts));
    }
    bool created = false;
    if (const BodyFault fault = m_store.write(name, bytes, &created); fault.status)
        return reply.problem(fault.status, fault.detail);
    answerMessage(name, reply, created ? 201 : 200, warning);
}

void SignServer::deleteMessage(const HttpRequest& request, HttpReply reply)
{
    if (const BodyFault fault = m_store.remove(request.params.at(0)); fault.status)
        return reply.problem(fault.status, fault.detail);
    reply.raw(204, QByteArray(), QByteArray());
}

void SignServer::routeSchedules()
{
    m_api.route("GET", QStringLiteral("/api/v1/schedules"), Scope::Read,
                [this](const HttpRequest&, HttpReply reply) { schedules(reply); });
    const QString schedule = QStringLiteral("/api/v1/schedules/{id}");
    m_api.route("GET", schedule, Scope::Read,
                [this](const HttpRequest& request, HttpReply reply) { this->schedule(request, reply); });
    m_api.route("PUT", schedule, Scope::Admin,
                [this](const HttpRequest& request, HttpReply reply) { putSchedule(request, reply); });
    m_api.route("DELETE", schedule, Scope::Admin,
                [this](const HttpRequest& request, HttpReply reply) { deleteSchedule(request, reply); });
    m_api.route("GET", schedule + QStringLiteral("/next"), Scope::Read,
                [this](const HttpRequest& request, HttpReply reply) { nextRuns(request, reply); });
}

void SignServer::schedules(HttpReply reply) const
{
    reply.json(200, QJsonObject{{QStringLiteral("schedules"), m_schedules.list()}});
}

void SignServer::schedule(const HttpRequest& request, HttpReply reply) const
{
    const QJsonObject json = m_schedules.json(request.params.at(0));
    if (json.isEmpty())
        return reply.problem(404, unknownSchedule(request.params.at(0)));
    reply.json(200, json);
}

void SignServer::nextRuns(const HttpRequest& request, HttpReply reply) const
{
    const Schedule* schedule = m_schedules.schedule(request.params.at(0));
    if (!schedule)
        return reply.problem(404, unknownSchedule(request.params.at(0)));
    bool number = true;
    const int count = request.query.hasQueryItem(QStringLiteral("n"))
                          ? request.query.queryItemValue(QStringLiteral("n")).toInt(&number)
                          : 5;
    if (!number || count < 1 || count > MaxNextRuns)
        return reply.problem(400, QStringLiteral("n: debe ser un numero entero de 1 a %1").arg(MaxNextRuns));
    QJsonArray runs, words;
    for (const QDateTime& run : schedule->next(QDateTime::currentDateTimeUtc(), count)) {
        runs.append(run.toString(Qt::ISODate));
        words.append(schedule->runWords(run));
    }
    reply.json(200, QJsonObject{{QStringLiteral("id"), request.params.at(0)},
                                {QStringLiteral("words"), schedule->words()},
                                {QStringLiteral("next"), runs},
                                {QStringLiteral("nextWords"), words}});
}

void SignServer::putSchedule(const HttpRequest& request, HttpReply reply)
{
    const QString id = request.params.at(0);
    if (!isConfigName(id))
        return reply.problem(400, QStringLiteral("'%1': %2").arg(id, configNameRule()));
    if (!request.mediaType().isEmpty() && request.mediaType() != "application/json")
        return reply.problem(
            415,
            QStringLiteral("'%1' no se admite; use application/json").arg(QString::fromLatin1(request.mediaType())));
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(request.body, &parse);
    if (parse.error != QJsonParseError::NoError || !document.isObject())
        return reply.problem(400, QStringLiteral("el cuerpo debe ser un objeto JSON"));
    ScheduleDefinition definition;
    if (const QString error = readScheduleDefinition(document.object(), systemZoneId(), &definition); !error.isEmpty())
        return reply.problem(400, error);
    QString unknown;
    scheduleTargets(definition.json, &unknown);
    if (!unknown.isEmpty())
        return reply.problem(422, unknown);
    if (Message message; definition.json.contains(QStringLiteral("body")))
        if (const BodyFault fault = scheduleMessage(definition.json, &message); fault.status)
            return reply.problem(fault.status, fault.detail);
    const int status = m_schedules.put(id, std::move(definition)) ? 201 : 200;
    reply.json(status, m_schedules.json(id),
               {{"Location", QUrl(QStringLiteral("/api/v1/schedules/") + id).toEncoded()}});
}

void SignServer::deleteSchedule(const HttpRequest& request, HttpReply reply)
{
    if (!m_schedules.remove(request.params.at(0)))
        return reply.problem(404, unknownSchedule(request.params.at(0)));
    reply.raw(204, QByteArray(), QByteArray());
}

std::vector<SignConfig> SignServer::scheduleTargets(const QJsonObject& definition, QString* unknown) const
{
    const QStringList ids = definition.value(QStringLiteral("signs")).toVariant().toStringList();
    const QStringList groups = definition.value(QStringLiteral("groups")).toVariant().toStringList();
    std::vector<SignConfig> signs;
    for (const SignConfig& sign : m_config.signs) {
        const bool grouped = std::any_of(groups.begin(), groups.end(),
                                         [&](const QString& group) { return sign.groups.contains(group); });
        if (ids.contains(sign.id) || grouped)
            signs.push_back(sign);
    }
    for (const QString& id : ids)
        if (!m_config.sign(id) && unknown->isEmpty())
            *unknown = unknownSign(id);
    for (const QString& group : groups) {
        const bool found = std::any_of(m_config.signs.begin(), m_config.signs.end(),
                                       [&](const SignConfig& sign) { return sign.groups.contains(group); });
        if (!found && unknown->isEmpty())
            *unknown = QStringLiteral("no hay ningun grupo '%1'").arg(group);
    }
    return signs;
}

BodyFault SignServer::scheduleMessage(const QJsonObject& definition, Message* message) const
{
    const HttpRequest request{
        "PUT", {}, {}, jsonBytes(QJsonDocument(definition.value(QStringLiteral("body")).toObject())), {}, {}};
    BodyFault fault = bodyMessage(request, message, BodyUse::Show);
    // A stored message that is not there is the schedule's fault, not a path's.
    if (fault.status == 404)
        fault.status = 422;
    return fault;
}

// A sign or group gone from the configuration since the schedule was put leaves the others their run.
int SignServer::runSchedule(const QString& id, const QJsonObject& definition)
{
    const QString asked = QStringLiteral("horario %1").arg(id);
    QString unknown;
    const std::vector<SignConfig> signs = scheduleTargets(definition, &unknown);
    if (!unknown.isEmpty())
        journal(QStringLiteral("%1: %2").arg(asked, unknown));
    Message message;
    const bool clock = definition.value(QStringLiteral("action")).toString() == QLatin1String("clock");
    const BodyFault fault = clock ? BodyFault{} : scheduleMessage(definition, &message);
    if (fault.status || signs.empty()) {
        journal(QStringLiteral("%1: no se hizo (%2)").arg(asked, fault.status ? fault.detail : unknown));
        return 0;
    }
    const int job = clock ? clockJob(signs, asked) : showJob(signs, message, asked);
    journal(QStringLiteral("%1: trabajo %2").arg(asked).arg(job));
    return job;
}
