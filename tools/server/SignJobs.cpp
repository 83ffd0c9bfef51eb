// Each port's queue runs its tasks one after another on a thread of its own, paced by the core's sender.
#include "SignJobs.h"

#include "core/link/PacedSend.h"
#include "core/link/SendDelays.h"
#include "core/link/SerialLink.h"
#include "core/platform/SerialDevice.h"
#include "core/ports/SignPort.h"

#include <QTimer>

namespace
{
// How many ended jobs stay to be asked about.
constexpr size_t KeptJobs = 1000;

void endPart(SendPart& part, PartState state, const QString& error)
{
    part.error = error; // before the state, which tells other threads it is final
    part.state = state;
}

// One sign's transmission, paced as tivor-cli send paces it; a cancel, or a stop requested while it runs, ends
// it as Ctrl-C does, with the terminator.
void sendToSign(SendPart& part, const std::atomic<bool>* stopping)
{
    // A part cancelled while it waited for its line never starts.
    if (PartState queued = PartState::Queued; !part.state.compare_exchange_strong(queued, PartState::Sending))
        return;
    QString reason;
    const std::unique_ptr<SignPort> port = openSignPort(part.sign.line.port, part.sign.line.baud, &reason);
    if (!port)
        return endPart(part, PartState::Failed,
                       QStringLiteral("%1 (%2)").arg(notOpenedText(part.sign.line.port), reason));
    if (part.cancel || *stopping)
        return endPart(part, PartState::Cancelled, cancelledBeforeText(part.what));
    const SendDelays delays = DelaysInForce().take(part.sign.line);
    PacedSend send(part.build(), delays.start, delays.perChar, &part.cancel);
    send.alsoCancelWhen([stopping] { return stopping->load(); });
    send.onProgress([&part](const PacedLine& line) { part.sent = line.sent; });
    std::vector<PacedLine> lines(1);
    lines.front().port = port.get();
    send.run(lines);
    part.sent = lines.front().sent;
    switch (lines.front().outcome) {
    case TxOutcome::Completed:
        return endPart(part, PartState::Done, QString());
    case TxOutcome::Cancelled:
        return endPart(part, PartState::Cancelled, endCancelled(*port));
    case TxOutcome::Failed:
    case TxOutcome::Busy:
        break;
    }
    endPart(part, PartState::Failed, QStringLiteral("%1 (%2)").arg(notSentText(), port->errorText()));
}
} // namespace

bool Job::finished() const
{
    for (const auto& part : parts)
        if (part->state == PartState::Queued || part->state == PartState::Sending)
            return false;
    return true;
}

bool SignJobs::cancel(int id)
{
    const auto it = m_jobs.find(id);
    if (it == m_jobs.end() || it->second.finished())
        return false;
    for (const auto& part : it->second.parts) {
        part->cancel = true;
        if (PartState queued = PartState::Queued; part->state.compare_exchange_strong(queued, PartState::Sending))
            endPart(*part, PartState::Cancelled, cancelledBeforeText(part->what));
    }
    partEnded(id);
    return true;
}

SignJobs::SignJobs(QObject* parent) : QObject(parent) {}

SignJobs::~SignJobs()
{
    m_stopping = true;
    for (auto& [key, queue] : m_queues) {
        queue.pending.clear();
        if (queue.running)
            queue.running->wait();
    }
}

void SignJobs::stop()
{
    m_stopping = true;
    for (auto& [key, queue] : m_queues) {
        queue.pending.clear();
        if (!queue.running)
            continue;
        queue.running->wait();
        queue.running.reset();
        if (const auto finished = std::exchange(queue.finished, {}))
            finished();
    }
}

int SignJobs::submit(const std::vector<SignConfig>& signs, const QString& what,
                     const std::function<QByteArray()>& build, const QString& request, const QJsonArray& pages)
{
    const int id = ++m_lastId;
    Job& job = m_jobs[id];
    job.id = id;
    job.created = QDateTime::currentDateTimeUtc();
    job.request = request;
    job.pages = pages;
    for (const SignConfig& sign : signs) {
        auto part = std::make_shared<SendPart>();
        part->sign = sign;
        part->what = what;
        part->build = build;
        part->total = int(build().size());
        job.parts.push_back(part);
        enqueue(sign, {[part, stopping = &m_stopping] { sendToSign(*part, stopping); },
                       [this, id, part] {
                           if (const auto it = m_jobs.find(id); it != m_jobs.end() && m_partEnded)
                               m_partEnded(it->second, *part);
                           partEnded(id);
                       },
                       [this, id, part] {
                           const auto it = m_jobs.find(id);
                           if (it != m_jobs.end() && m_partStarted && part->state == PartState::Queued)
                               m_partStarted(it->second, *part);
                       }});
    }
    forgetOldJobs();
    return id;
}

const Job* SignJobs::job(int id) const
{
    const auto it = m_jobs.find(id);
    return it == m_jobs.end() ? nullptr : &it->second;
}

void SignJobs::whenFinished(int id, int timeoutMs, std::function<void()> done)
{
    const auto it = m_jobs.find(id);
    if (it == m_jobs.end() || it->second.finished())
        return done();
    auto once = [told = std::make_shared<bool>(false), done = std::move(done)] {
        if (!std::exchange(*told, true))
            done();
    };
    it->second.waiters.push_back(once);
    QTimer::singleShot(timeoutMs, this, once);
}

bool SignJobs::busy(const SignConfig& sign) const
{
    const auto it = m_queues.find(queueKey(sign));
    return it != m_queues.end() && (it->second.running || !it->second.pending.empty());
}

void SignJobs::probe(const SignConfig& sign, std::function<void(const QString&)> done)
{
    auto reason = std::make_shared<QString>();
    enqueue(sign, {[reason, line = sign.line] {
                       QString error;
                       if (!openSignPort(line.port, line.baud, &error))
                           *reason = QStringLiteral("%1 (%2)").arg(notOpenedText(line.port), error);
                   },
                   [reason, done = std::move(done)] { done(*reason); },
                   {}}); // a probe is no part of a job: nobody hears of its start
}

// Two texts for one device (a number and its path, a link) share its queue.
QString SignJobs::queueKey(const SignConfig& sign)
{
    const QString& port = sign.line.port;
    if (SignPort::isNetPort(port))
        return port.toLower();
    const QString device = SignPort::deviceNameFor(port);
    const QString identity = platform::deviceIdentity(device);
    return identity.isEmpty() ? device : identity;
}

void SignJobs::enqueue(const SignConfig& sign, Task task)
{
    const QString key = queueKey(sign);
    m_queues[key].pending.push_back(std::move(task));
    startNext(key);
}

void SignJobs::startNext(const QString& key)
{
    PortQueue& queue = m_queues[key];
    if (queue.running || queue.pending.empty() || m_stopping)
        return;
    Task task = std::move(queue.pending.front());
    queue.pending.pop_front();
    queue.finished = std::move(task.finished);
    if (task.started)
        task.started();
    queue.running.reset(QThread::create(std::move(task.work)));
    connect(queue.running.get(), &QThread::finished, this, [this, key] {
        PortQueue& ended = m_queues[key];
        ended.running->wait();
        ended.running.reset();
        if (const auto finished = std::exchange(ended.finished, {}))
            finished();
        startNext(key);
    });
    queue.running->start();
}

void SignJobs::partEnded(int jobId)
{
    const auto it = m_jobs.find(jobId);
    if (it == m_jobs.end() || !it->second.finished())
        return;
    for (const auto& waiter : std::exchange(it->second.waiters, {}))
        waiter();
}

void SignJobs::forgetOldJobs()
{
    for (auto it = m_jobs.begin(); m_jobs.size() > KeptJobs && it != m_jobs.end();)
        it = it->second.finished() ? m_jobs.erase(it) : std::next(it);
}
