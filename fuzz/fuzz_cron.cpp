// Fuzzes the cron parser: any text is read or refused with a reason, and what is read runs only at the times it
// names (or where the clocks jump past one), each once, in order, in a zone about to go forward.
#include "Schedule.h"

#include <cstdint>
#include <cstdlib>

namespace
{
// Whether `run` is a time the fields name, or the first minute after the clocks skipped some.
bool named(const CronFields& fields, const QTimeZone& zone, const QDateTime& run)
{
    const QDateTime wall = run.toTimeZone(zone);
    const int minute = wall.time().hour() * 60 + wall.time().minute();
    if (wall.time().second() != 0)
        return false;
    if (fields.takesDay(wall.date()) && fields.firstMinuteFrom(minute) == minute)
        return true;
    const QTimeZone::OffsetData jump = zone.previousTransition(run.addMSecs(1));
    return jump.atUtc == run;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    Schedule::once(text, QStringLiteral("Europe/Madrid"), &error);
    const std::optional<CronFields> fields = parseCron(text, &error);
    if (!fields) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    if (!fields->minutes || fields->minutes >> 60 || !fields->hours || fields->hours >> 24 || !fields->days ||
        (fields->days & 1) || !fields->months || (fields->months & 0xE001) || !fields->weekdays ||
        fields->weekdays >> 7)
        std::abort();
    const std::optional<Schedule> schedule = Schedule::cron(text, QStringLiteral("Europe/Madrid"), &error);
    if (!schedule || schedule->words().isEmpty())
        std::abort();
    // The night before the clocks go forward in Madrid.
    QDateTime after = QDateTime::fromSecsSinceEpoch(1774738800, QTimeZone::utc());
    for (const QDateTime& run : schedule->next(after, 4)) {
        if (run <= after || !named(*fields, schedule->zone(), run))
            std::abort();
        after = run;
    }
    return 0;
}
