#include "Schedule.h"

#include <algorithm>

namespace
{
constexpr qint64 kMinuteMs = 60 * 1000;
constexpr qint64 kDayMs = 24 * 60 * kMinuteMs;
constexpr qint64 kEpochJulianDay = 2440588; // 1970-01-01
// How far ahead a run is looked for before the expression is taken as one that never comes again.
constexpr int kSearchYears = 30;

// Wall-clock times are kept as milliseconds counted as if the zone were UTC, so that they sort and step simply.
qint64 floorDiv(qint64 value, qint64 unit)
{
    return value / unit - (value % unit < 0 ? 1 : 0);
}

qint64 wallMs(QDate date, qint64 msOfDay)
{
    return (date.toJulianDay() - kEpochJulianDay) * kDayMs + msOfDay;
}

QDate wallDate(qint64 wall)
{
    return QDate::fromJulianDay(kEpochJulianDay + floorDiv(wall, kDayMs));
}

int offsetMs(const QTimeZone& zone, qint64 utcMs)
{
    return 1000 * zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(utcMs, QTimeZone::utc()));
}

// The instant a wall-clock time runs at: the time itself when the clock shows it once, the first of the two
// when it shows it twice, and the moment of the jump (the first minute that exists) when the clock skips it.
qint64 runInstant(const QTimeZone& zone, qint64 wall)
{
    const int before = offsetMs(zone, wall - kDayMs), after = offsetMs(zone, wall + kDayMs);
    std::optional<qint64> first;
    for (int offset : {before, after}) {
        const qint64 at = wall - offset;
        if (offsetMs(zone, at) == offset && (!first || at < *first))
            first = at;
    }
    if (first)
        return *first;
    const QDateTime from = QDateTime::fromMSecsSinceEpoch(wall - std::max(before, after) - 1, QTimeZone::utc());
    const QTimeZone::OffsetData jump = zone.nextTransition(from);
    return jump.atUtc.isValid() ? jump.atUtc.toMSecsSinceEpoch() : wall - before;
}

// The first wall-clock minute from `from` on that the fields name, before `limit`.
std::optional<qint64> nextMatch(const CronFields& fields, qint64 from, qint64 limit)
{
    QDate day = wallDate(from);
    int minute = int((from - wallMs(day, 0)) / kMinuteMs);
    const QDate last = wallDate(limit);
    while (day <= last) {
        if (!(fields.months >> day.month() & 1)) {
            day = QDate(day.year(), day.month(), 1).addMonths(1);
            minute = 0;
            continue;
        }
        const int found = fields.takesDay(day) ? fields.firstMinuteFrom(minute) : -1;
        if (found >= 0)
            return wallMs(day, found * kMinuteMs);
        day = day.addDays(1);
        minute = 0;
    }
    return std::nullopt;
}

std::optional<QTimeZone> readZone(const QString& zoneId, QString* error)
{
    // An empty id would be this machine's zone: a schedule names its own.
    const QTimeZone zone(zoneId.trimmed().toUtf8());
    if (!zoneId.trimmed().isEmpty() && zone.isValid())
        return zone;
    *error = zoneId.trimmed().isEmpty() ? QStringLiteral("falta la zona horaria")
                                        : QStringLiteral("zona horaria desconocida: '%1'").arg(zoneId);
    return std::nullopt;
}
} // namespace

std::optional<Schedule> Schedule::cron(const QString& expression, const QString& zoneId, QString* error)
{
    Schedule schedule;
    schedule.m_fields = parseCron(expression, error);
    const std::optional<QTimeZone> zone = schedule.m_fields ? readZone(zoneId, error) : std::nullopt;
    if (!zone)
        return std::nullopt;
    schedule.m_zone = *zone;
    schedule.m_text = expression.simplified();
    return schedule;
}

std::optional<Schedule> Schedule::once(const QString& moment, const QString& zoneId, QString* error)
{
    const std::optional<QTimeZone> zone = readZone(zoneId, error);
    if (!zone)
        return std::nullopt;
    const QString text = moment.trimmed();
    QDateTime at = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (at.isValid() && at.timeSpec() == Qt::LocalTime) {
        // Read again as UTC for its fields exactly as written, whatever this machine's own zone skips.
        const QDateTime wall = QDateTime::fromString(text + u'Z', Qt::ISODateWithMs);
        at = wall.isValid() ? QDateTime::fromMSecsSinceEpoch(runInstant(*zone, wall.toMSecsSinceEpoch()), *zone)
                            : QDateTime();
    }
    if (!at.isValid()) {
        *error = QStringLiteral("fecha y hora no validas: '%1' (ISO 8601, como 2026-05-01T09:00:00+02:00)").arg(text);
        return std::nullopt;
    }
    Schedule schedule;
    schedule.m_zone = *zone;
    schedule.m_moment = at;
    schedule.m_text = text;
    return schedule;
}

QList<QDateTime> Schedule::next(const QDateTime& after, int count) const
{
    QList<QDateTime> runs;
    if (!after.isValid() || count < 1)
        return runs;
    const qint64 afterMs = after.toMSecsSinceEpoch();
    if (!m_fields)
        return m_moment.toMSecsSinceEpoch() > afterMs ? QList<QDateTime>{m_moment.toTimeZone(m_zone)} : runs;
    // No wall-clock time before `after` read at the smallest offset in force around it can run after it.
    const int smallest = std::min(
        {offsetMs(m_zone, afterMs - 2 * kDayMs), offsetMs(m_zone, afterMs), offsetMs(m_zone, afterMs + 2 * kDayMs)});
    qint64 wall = floorDiv(afterMs + smallest, kMinuteMs) * kMinuteMs;
    while (runs.size() < count) {
        const qint64 limit = wallMs(wallDate(wall).addYears(kSearchYears), 0);
        const std::optional<qint64> match = nextMatch(*m_fields, wall, limit);
        if (!match)
            break;
        const qint64 at = runInstant(m_zone, *match);
        if (at > afterMs && (runs.isEmpty() || at > runs.last().toMSecsSinceEpoch()))
            runs << QDateTime::fromMSecsSinceEpoch(at, m_zone);
        wall = *match + kMinuteMs;
    }
    return runs;
}

namespace
{
// "martes 8 de diciembre de 2026", "09:00" (with its seconds when it has any).
QString dayWords(const QDateTime& moment)
{
    const QDate date = moment.date();
    return QStringLiteral("%1 %2 de %3 de %4")
        .arg(weekdayWords(date.dayOfWeek()))
        .arg(date.day())
        .arg(monthWords(date.month()))
        .arg(date.year());
}

QString timeWords(const QDateTime& moment)
{
    return moment.toString(moment.time().second() ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
}
} // namespace

QString Schedule::words() const
{
    if (!m_fields) {
        const QDateTime here = m_moment.toTimeZone(m_zone);
        return QStringLiteral("una vez, el %1 a las %2").arg(dayWords(here), timeWords(here));
    }
    const QString words = describeCron(*m_fields);
    return words.isEmpty() ? QStringLiteral("cron: ") + m_text : words;
}

QString Schedule::runWords(const QDateTime& run) const
{
    const QDateTime here = run.toTimeZone(m_zone);
    return dayWords(here) + QStringLiteral(", ") + timeWords(here);
}

MissedRun missedRunAtStart(const Schedule& schedule, const QDateTime& lastRun, const QDateTime& now,
                           const MisfireRule& rule)
{
    if (rule.action == MisfireRule::Action::Skip || !now.isValid())
        return {};
    QDateTime from = now.addSecs(-3600LL * std::max(rule.withinHours, 0)).addMSecs(-1);
    if (lastRun.isValid() && lastRun > from)
        from = lastRun;
    MissedRun missed;
    for (QList<QDateTime> runs = schedule.next(from, 64); !runs.isEmpty(); runs = schedule.next(runs.last(), 64)) {
        for (const QDateTime& run : runs) {
            if (run > now)
                return missed;
            missed = {true, run};
        }
    }
    return missed;
}
