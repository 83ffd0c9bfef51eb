// When a schedule runs: a cron expression read in a time zone, or one moment; and whether a run missed while
// the server was down is made up at start.
#pragma once

#include "CronExpression.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>
#include <optional>

// Daylight-saving days as cron users expect them: each wall-clock time the expression names runs at most once.
// One the clocks skip (they go forward) runs at the first minute that exists after the jump, and several of them
// there run once; one the clocks show twice (they go back) runs the first time only. Every time is taken by its
// wall clock, so "* * * * *" is quiet during the repeated hour's second pass.
class Schedule
{
public:
    // A cron expression (see parseCron) in the IANA zone `zoneId` ("Europe/Madrid", "UTC"); nothing, with the
    // reason in Spanish in `error`, when either cannot be read.
    static std::optional<Schedule> cron(const QString& expression, const QString& zoneId, QString* error);
    // One moment in ISO 8601 ("2026-05-01T09:00:00+02:00"): with an offset or "Z" as it says, without one as the
    // wall-clock time in `zoneId` (a skipped time at the end of the jump, a repeated one the first time).
    static std::optional<Schedule> once(const QString& moment, const QString& zoneId, QString* error);

    // The next `count` runs strictly after `after`, in the schedule's zone, earliest first; fewer when no more
    // come within 30 years of the last (a day that never comes, as "0 0 30 2 *").
    QList<QDateTime> next(const QDateTime& after, int count) const;
    // For people: "lunes a sabado a las 09:00", "cada 15 minutos", "una vez, el viernes 1 de mayo de 2026 a las
    // 09:00"; "cron: " and the expression as it was given where words would not say exactly when it runs.
    QString words() const;
    // One of its runs as people read it in the schedule's zone: "martes 8 de diciembre de 2026, 09:00".
    QString runWords(const QDateTime& run) const;

    bool isOnce() const { return !m_fields.has_value(); }
    const QTimeZone& zone() const { return m_zone; }
    const QString& text() const { return m_text; } // the expression or the moment, as given

private:
    QString m_text;
    QTimeZone m_zone;
    std::optional<CronFields> m_fields; // a cron schedule's
    QDateTime m_moment;                 // a one-shot's
};

// What happens at start to a run that fell while the server was down.
struct MisfireRule
{
    enum class Action {
        Skip,   // nothing: the schedule waits for its next run
        RunOnce // one run at start, however many were missed, when the latest fell within `withinHours`
    };
    Action action = Action::Skip;
    int withinHours = 0;
};

struct MissedRun
{
    bool runNow = false;
    QDateTime missed; // the latest run missed within the rule's hours, when there was one
};

// Whether to run `schedule` at start, `now`. `lastRun` is its last run recorded (or when it was made, if it never
// ran; invalid when neither is known): a run after it and at or before `now`, no earlier than `withinHours` ago,
// was missed. A run at `now` itself counts as missed, so that it is not lost between start and the first timer.
MissedRun missedRunAtStart(const Schedule& schedule, const QDateTime& lastRun, const QDateTime& now,
                           const MisfireRule& rule);
