// The server's schedules: when each runs, what it asks for, its timer and its last run. Kept in a JSON file, so
// that a restart neither forgets them nor loses a run that a misfire rule makes up.
#pragma once

#include "Schedule.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

// A schedule's definition as given, checked for its form alone: which signs, groups and stored messages there
// are is the server's to check.
struct ScheduleDefinition
{
    // {"cron" or "at", "zone", "action": "show"|"clock", "body" (a show's), "signs", "groups", "misfire",
    // "enabled"}, with what was left out filled in.
    QJsonObject json;
    std::optional<Schedule> when;
    MisfireRule misfire;
    bool enabled = true;
};

// Empty when `json` is a definition (then in `definition`), else the reason in Spanish; the zone is
// `defaultZone` when it names none.
QString readScheduleDefinition(const QJsonObject& json, const QString& defaultZone, ScheduleDefinition* definition);

// This machine's IANA zone, else "UTC".
QString systemZoneId();

class ScheduleBook : public QObject
{
    Q_OBJECT
public:
    // `run` makes the schedule's job and gives its id, 0 when none could be made.
    using Run = std::function<int(const QString& id, const QJsonObject& definition)>;
    // Reads the file; nothing runs before start().
    ScheduleBook(QString file, Run run, QObject* parent = nullptr);
    // Runs what each misfire rule says was missed while the server was down, then sets every timer.
    void start();

    // True when the id is new; a schedule put again keeps its last run.
    bool put(const QString& id, ScheduleDefinition definition);
    bool remove(const QString& id);
    const Schedule* schedule(const QString& id) const;
    // The definition with "id", "words", and "next" with "nextWords", "lastRun", "lastJob" when there are.
    QJsonObject json(const QString& id) const;
    QJsonArray list() const;
    // The highest job id kept, so that a restarted server never gives it to another job.
    int lastJob() const;

private:
    struct Entry
    {
        ScheduleDefinition definition;
        QDateTime since; // when it was put: a run before it was never missed
        QDateTime lastRun;
        int lastJob = 0;
        QDateTime due; // the run its timer waits for
        std::unique_ptr<QTimer> timer;
    };
    void arm(const QString& id, Entry& entry);
    void fire(const QString& id);
    void run(const QString& id, Entry& entry);
    void save() const;

    QString m_file;
    Run m_run;
    std::map<QString, Entry> m_entries;
};
