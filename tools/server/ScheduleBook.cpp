// Each timer waits for one run and is set again from the engine's next run after it fires: adding intervals
// would drift across daylight-saving days and months of different lengths.
#include "ScheduleBook.h"

#include "Journal.h"
#include "KeptFile.h"

namespace
{
const KeptFileTexts KeptTexts{QStringLiteral("%1: no se pudieron leer los horarios (%2)"),
                              QStringLiteral("%1: los horarios no son JSON validos (%2)"),
                              QStringLiteral("%1: no se pudieron guardar los horarios (%2)")};
// A QTimer waits at most about 24.8 days; a shorter wait also follows a clock that was set meanwhile.
constexpr qint64 MaxWaitMs = 60 * 60 * 1000;
constexpr int MaxWithinHours = 720;

QString misfireRuleText()
{
    return QStringLiteral("misfire: debe ser {\"rule\": \"skip\"} o {\"rule\": \"run-once\", \"withinHours\": N} con N "
                          "de 1 a %1")
        .arg(MaxWithinHours);
}

bool readMisfire(const QJsonValue& value, MisfireRule* rule, QJsonObject* normal)
{
    if (value.isUndefined()) {
        *normal = {{QStringLiteral("rule"), QStringLiteral("skip")}};
        return true;
    }
    const QJsonObject object = value.toObject();
    const QString name = object.value(QStringLiteral("rule")).toString();
    if (name == QLatin1String("skip") && object.size() == 1) {
        *normal = object;
        return true;
    }
    const QJsonValue hours = object.value(QStringLiteral("withinHours"));
    const double number = hours.toDouble(0);
    if (name != QLatin1String("run-once") || object.size() != 2 || !hours.isDouble() || number != double(int(number)) ||
        number < 1 || number > MaxWithinHours)
        return false;
    *rule = {MisfireRule::Action::RunOnce, int(number)};
    *normal = object;
    return true;
}

// A list of ids, left out as an empty one.
bool readNames(const QJsonValue& value, QJsonArray* names)
{
    if (value.isUndefined())
        return true;
    *names = value.toArray();
    for (const QJsonValue name : *names)
        if (!name.isString())
            return false;
    return value.isArray();
}

QString readAction(const QJsonObject& json, QJsonObject* normal)
{
    const QString action = json.value(QStringLiteral("action")).toString();
    if (action != QLatin1String("show") && action != QLatin1String("clock"))
        return QStringLiteral("action: debe ser \"show\" o \"clock\"");
    const QJsonValue body = json.value(QStringLiteral("body"));
    if (action == QLatin1String("clock") && !body.isUndefined())
        return QStringLiteral("body: la hora no lleva cuerpo");
    if (action == QLatin1String("show") && !body.isObject())
        return QStringLiteral("body: debe ser un objeto, como el de show: una pagina, {\"pages\": [...]} o "
                              "{\"message\": NOMBRE}");
    normal->insert(QStringLiteral("action"), action);
    if (body.isObject())
        normal->insert(QStringLiteral("body"), body);
    QJsonArray signs, groups;
    if (!readNames(json.value(QStringLiteral("signs")), &signs))
        return QStringLiteral("signs: debe ser una lista de ids de carteles");
    if (!readNames(json.value(QStringLiteral("groups")), &groups))
        return QStringLiteral("groups: debe ser una lista de grupos");
    if (signs.isEmpty() && groups.isEmpty())
        return QStringLiteral("signs, groups: falta al menos un cartel o un grupo");
    normal->insert(QStringLiteral("signs"), signs);
    normal->insert(QStringLiteral("groups"), groups);
    return {};
}

QString readWhen(const QJsonObject& json, const QString& defaultZone, ScheduleDefinition* definition)
{
    const bool cron = json.contains(QStringLiteral("cron"));
    if (cron == json.contains(QStringLiteral("at")))
        return QStringLiteral("debe llevar 'cron' (cinco campos) o 'at' (una fecha y hora ISO 8601), uno de los dos");
    const QString key = cron ? QStringLiteral("cron") : QStringLiteral("at");
    if (!json.value(key).isString())
        return QStringLiteral("%1: debe ser un texto").arg(key);
    const QJsonValue zone = json.value(QStringLiteral("zone"));
    if (!zone.isUndefined() && !zone.isString())
        return QStringLiteral("zone: debe ser un texto, como \"Europe/Madrid\"");
    const QString zoneId = zone.isString() ? zone.toString() : defaultZone;
    QString error;
    definition->when = cron ? Schedule::cron(json.value(key).toString(), zoneId, &error)
                            : Schedule::once(json.value(key).toString(), zoneId, &error);
    if (definition->when) {
        definition->json.insert(key, definition->when->text());
        definition->json.insert(QStringLiteral("zone"), zoneId.trimmed());
    }
    return error;
}
} // namespace

QString readScheduleDefinition(const QJsonObject& json, const QString& defaultZone, ScheduleDefinition* definition)
{
    static const QStringList keys{QStringLiteral("cron"),   QStringLiteral("at"),      QStringLiteral("zone"),
                                  QStringLiteral("action"), QStringLiteral("body"),    QStringLiteral("signs"),
                                  QStringLiteral("groups"), QStringLiteral("misfire"), QStringLiteral("enabled")};
    for (const QString& key : json.keys())
        if (!keys.contains(key))
            return QStringLiteral("%1: clave desconocida").arg(key);
    *definition = {};
    if (QString error = readWhen(json, defaultZone, definition); !error.isEmpty())
        return error;
    if (QString error = readAction(json, &definition->json); !error.isEmpty())
        return error;
    QJsonObject misfire;
    if (!readMisfire(json.value(QStringLiteral("misfire")), &definition->misfire, &misfire))
        return misfireRuleText();
    const QJsonValue enabled = json.value(QStringLiteral("enabled"));
    if (!enabled.isUndefined() && !enabled.isBool())
        return QStringLiteral("enabled: debe ser true o false");
    definition->enabled = enabled.toBool(true);
    definition->json.insert(QStringLiteral("misfire"), misfire);
    definition->json.insert(QStringLiteral("enabled"), definition->enabled);
    return {};
}

QString systemZoneId()
{
    const QByteArray id = QTimeZone::systemTimeZoneId();
    return !id.isEmpty() && QTimeZone(id).isValid() ? QString::fromUtf8(id) : QStringLiteral("UTC");
}

ScheduleBook::ScheduleBook(QString file, Run run, QObject* parent)
    : QObject(parent), m_file(std::move(file)), m_run(std::move(run))
{
    const QJsonObject kept = readKeptObject(m_file, QStringLiteral("schedules"), KeptTexts);
    for (auto it = kept.begin(); it != kept.end(); ++it) {
        const QJsonObject json = it.value().toObject();
        Entry entry;
        const QString error = readScheduleDefinition(json[QStringLiteral("definition")].toObject(),
                                                     QStringLiteral("UTC"), &entry.definition);
        if (!error.isEmpty()) {
            journal(QStringLiteral("%1: el horario '%2' no se puede leer (%3)").arg(m_file, it.key(), error));
            continue;
        }
        entry.since = QDateTime::fromString(json[QStringLiteral("since")].toString(), Qt::ISODateWithMs);
        entry.lastRun = QDateTime::fromString(json[QStringLiteral("lastRun")].toString(), Qt::ISODateWithMs);
        entry.lastJob = json[QStringLiteral("lastJob")].toInt();
        m_entries.emplace(it.key(), std::move(entry));
    }
}

void ScheduleBook::start()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (auto& [id, entry] : m_entries) {
        const QDateTime from = entry.lastRun.isValid() && (!entry.since.isValid() || entry.lastRun > entry.since)
                                   ? entry.lastRun
                                   : entry.since;
        const MissedRun missed = missedRunAtStart(*entry.definition.when, from, now, entry.definition.misfire);
        if (entry.definition.enabled && missed.runNow) {
            journal(QStringLiteral("horario %1: se hace la vez perdida de %2")
                        .arg(id, missed.missed.toString(Qt::ISODate)));
            run(id, entry);
        }
        arm(id, entry);
    }
}

bool ScheduleBook::put(const QString& id, ScheduleDefinition definition)
{
    const auto [it, created] = m_entries.try_emplace(id);
    it->second.definition = std::move(definition);
    it->second.since = QDateTime::currentDateTimeUtc();
    arm(id, it->second);
    save();
    return created;
}

bool ScheduleBook::remove(const QString& id)
{
    if (!m_entries.erase(id))
        return false;
    save();
    return true;
}

const Schedule* ScheduleBook::schedule(const QString& id) const
{
    const auto it = m_entries.find(id);
    return it == m_entries.end() ? nullptr : &*it->second.definition.when;
}

QJsonObject ScheduleBook::json(const QString& id) const
{
    const auto it = m_entries.find(id);
    if (it == m_entries.end())
        return {};
    const Entry& entry = it->second;
    QJsonObject json = entry.definition.json;
    json.insert(QStringLiteral("id"), id);
    const Schedule& when = *entry.definition.when;
    json.insert(QStringLiteral("words"), when.words());
    if (entry.due.isValid()) {
        json.insert(QStringLiteral("next"), entry.due.toTimeZone(when.zone()).toString(Qt::ISODate));
        json.insert(QStringLiteral("nextWords"), when.runWords(entry.due));
    }
    if (entry.lastRun.isValid())
        json.insert(QStringLiteral("lastRun"), entry.lastRun.toString(Qt::ISODateWithMs));
    if (entry.lastJob)
        json.insert(QStringLiteral("lastJob"), entry.lastJob);
    return json;
}

QJsonArray ScheduleBook::list() const
{
    QJsonArray list;
    for (const auto& [id, entry] : m_entries)
        list.append(json(id));
    return list;
}

int ScheduleBook::lastJob() const
{
    int last = 0;
    for (const auto& [id, entry] : m_entries)
        last = std::max(last, entry.lastJob);
    return last;
}

void ScheduleBook::arm(const QString& id, Entry& entry)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    entry.due = entry.definition.enabled ? entry.definition.when->next(now, 1).value(0) : QDateTime();
    if (!entry.due.isValid()) {
        entry.timer.reset();
        return;
    }
    if (!entry.timer) {
        entry.timer = std::make_unique<QTimer>();
        entry.timer->setSingleShot(true);
        entry.timer->setTimerType(Qt::PreciseTimer);
        connect(entry.timer.get(), &QTimer::timeout, this, [this, id] { fire(id); });
    }
    entry.timer->start(int(std::clamp(now.msecsTo(entry.due), qint64(0), MaxWaitMs)));
}

void ScheduleBook::fire(const QString& id)
{
    const auto it = m_entries.find(id);
    if (it == m_entries.end())
        return;
    if (it->second.due.isValid() && QDateTime::currentDateTimeUtc() >= it->second.due)
        run(id, it->second);
    arm(id, it->second);
}

void ScheduleBook::run(const QString& id, Entry& entry)
{
    entry.lastRun = QDateTime::currentDateTimeUtc();
    if (const int job = m_run(id, entry.definition.json))
        entry.lastJob = job;
    save();
}

void ScheduleBook::save() const
{
    QJsonObject kept;
    for (const auto& [id, entry] : m_entries) {
        QJsonObject json{{QStringLiteral("definition"), entry.definition.json},
                         {QStringLiteral("since"), entry.since.toString(Qt::ISODateWithMs)}};
        if (entry.lastRun.isValid())
            json.insert(QStringLiteral("lastRun"), entry.lastRun.toString(Qt::ISODateWithMs));
        if (entry.lastJob)
            json.insert(QStringLiteral("lastJob"), entry.lastJob);
        kept.insert(id, json);
    }
    saveKeptObject(m_file, QStringLiteral("schedules"), kept, KeptTexts);
}
