#include "CronExpression.h"

#include <QRegularExpression>
#include <QStringList>

#include <bit>

namespace
{
constexpr const char* kMonthNames[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                       "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr const char* kDayNames[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};

struct FieldRule
{
    const char* name; // as the error texts name the field
    int low, high;
    const char* const* names; // cron's names for the values from `low` on, or null
    int nameCount;
    const char* nameRange; // how the error texts sum the names up
};

constexpr FieldRule kFields[] = {
    {"minuto", 0, 59, nullptr, 0, nullptr},
    {"hora", 0, 23, nullptr, 0, nullptr},
    {"dia del mes", 1, 31, nullptr, 0, nullptr},
    {"mes", 1, 12, kMonthNames, 12, "jan-dec"},
    {"dia de la semana", 0, 7, kDayNames, 7, "sun-sat"},
};

constexpr const char* kMacros[][2] = {
    {"@yearly", "0 0 1 1 *"}, {"@annually", "0 0 1 1 *"}, {"@monthly", "0 0 1 * *"}, {"@weekly", "0 0 * * 0"},
    {"@daily", "0 0 * * *"},  {"@midnight", "0 0 * * *"}, {"@hourly", "0 * * * *"},
};

constexpr quint64 kAllMinutes = (quint64(1) << 60) - 1;

QString fieldError(const FieldRule& rule, const QString& reason)
{
    return QStringLiteral("campo %1: %2").arg(QLatin1String(rule.name), reason);
}

bool isNumber(const QString& text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// One value of the field: a number in its range or one of its names.
std::optional<int> readValue(const FieldRule& rule, const QString& text, const QString& element, QString* error)
{
    if (text.isEmpty()) {
        *error = fieldError(rule, QStringLiteral("falta un valor en '%1'").arg(element));
        return std::nullopt;
    }
    if (isNumber(text)) {
        bool ok = false;
        const int value = text.toInt(&ok);
        if (ok && value >= rule.low && value <= rule.high)
            return value;
        *error = fieldError(rule, QStringLiteral("%1 fuera de %2-%3").arg(text).arg(rule.low).arg(rule.high));
        return std::nullopt;
    }
    for (int i = 0; i < rule.nameCount; ++i)
        if (text.compare(QLatin1String(rule.names[i]), Qt::CaseInsensitive) == 0)
            return rule.low + i;
    // In one arg() call, so that a '%' in the text is not taken for a place of its own.
    QString reason = QStringLiteral("'%1' no es un numero de %2-%3")
                         .arg(text, QString::number(rule.low), QString::number(rule.high));
    if (rule.names)
        reason += QStringLiteral(" ni un nombre (%1)").arg(QLatin1String(rule.nameRange));
    *error = fieldError(rule, reason);
    return std::nullopt;
}

std::optional<int> readStep(const FieldRule& rule, const QString& text, QString* error)
{
    bool ok = false;
    const int step = isNumber(text) ? text.toInt(&ok) : 0;
    if (ok && step >= 1 && step <= rule.high)
        return step;
    *error = isNumber(text) ? fieldError(rule, QStringLiteral("paso %1 fuera de 1-%2").arg(text).arg(rule.high))
                            : fieldError(rule, QStringLiteral("paso '%1' no es un numero").arg(text));
    return std::nullopt;
}

// The bits one element of a list sets: "*", "N", "N-M", each with an optional "/STEP".
std::optional<quint64> readElement(const FieldRule& rule, const QString& element, QString* error)
{
    const QStringList stepParts = element.split(u'/');
    const QStringList rangeParts = stepParts[0].split(u'-');
    if (stepParts.size() > 2 || rangeParts.size() > 2) {
        *error = fieldError(rule, QStringLiteral("'%1' no se entiende").arg(element));
        return std::nullopt;
    }
    const bool star = stepParts[0] == u'*';
    // Sunday is both 0 and 7; a whole week is 0-6 so that it is not counted twice.
    std::optional<int> low = star ? rule.low : readValue(rule, rangeParts[0], element, error);
    std::optional<int> high = star ? (rule.names == kDayNames ? 6 : rule.high) : low;
    if (low && rangeParts.size() == 2)
        high = readValue(rule, rangeParts[1], element, error);
    else if (low && stepParts.size() == 2 && !star)
        high = rule.high;
    if (!low || !high)
        return std::nullopt;
    const std::optional<int> step = stepParts.size() == 2 ? readStep(rule, stepParts[1], error) : 1;
    if (!step)
        return std::nullopt;
    if (rule.names == kDayNames && *high == 0 && *low > 0)
        high = 7;
    if (*low > *high) {
        *error = fieldError(rule, QStringLiteral("rango %1 al reves").arg(stepParts[0]));
        return std::nullopt;
    }
    quint64 bits = 0;
    for (int value = *low; value <= *high; value += *step)
        bits |= quint64(1) << value;
    return bits;
}

std::optional<quint64> readField(const FieldRule& rule, const QString& text, QString* error)
{
    quint64 bits = 0;
    for (const QString& element : text.split(u',')) {
        if (element.isEmpty()) {
            *error = fieldError(rule, QStringLiteral("elemento vacio en '%1'").arg(text));
            return std::nullopt;
        }
        const std::optional<quint64> more = readElement(rule, element, error);
        if (!more)
            return std::nullopt;
        bits |= *more;
    }
    return bits;
}

// The five fields the text stands for, an abbreviation replaced; empty with the reason when it is none.
QStringList fieldTexts(const QString& expression, QString* error)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QString text = expression.trimmed();
    if (text.startsWith(u'@')) {
        const auto macro = std::find_if(std::begin(kMacros), std::end(kMacros), [&](const auto& m) {
            return text.compare(QLatin1String(m[0]), Qt::CaseInsensitive) == 0;
        });
        if (macro == std::end(kMacros)) {
            *error = QStringLiteral("'%1' no es una abreviatura conocida (@yearly, @monthly, @weekly, @daily, "
                                    "@hourly)")
                         .arg(text);
            return {};
        }
        text = QLatin1String((*macro)[1]);
    }
    const QStringList fields = text.split(blanks, Qt::SkipEmptyParts);
    if (fields.size() != 5)
        *error = QStringLiteral("se esperan 5 campos (minuto hora dia-del-mes mes dia-de-la-semana) y hay %1")
                     .arg(fields.size());
    return fields.size() == 5 ? fields : QStringList();
}
} // namespace

bool CronFields::takesDay(QDate date) const
{
    if (!(months >> date.month() & 1))
        return false;
    const bool byDay = days >> date.day() & 1;
    const bool byWeekday = weekdays >> (date.dayOfWeek() % 7) & 1;
    return daysStar || weekdaysStar ? byDay && byWeekday : byDay || byWeekday;
}

int CronFields::firstMinuteFrom(int minuteOfDay) const
{
    for (int hour = minuteOfDay / 60; hour < 24; ++hour) {
        if (!(hours >> hour & 1))
            continue;
        const int from = hour == minuteOfDay / 60 ? minuteOfDay % 60 : 0;
        const quint64 left = minutes & (kAllMinutes << from) & kAllMinutes;
        if (left)
            return hour * 60 + std::countr_zero(left);
    }
    return -1;
}

std::optional<CronFields> parseCron(const QString& expression, QString* error)
{
    const QStringList texts = fieldTexts(expression, error);
    if (texts.isEmpty())
        return std::nullopt;
    quint64 bits[5] = {};
    for (int i = 0; i < 5; ++i) {
        const std::optional<quint64> field = readField(kFields[i], texts[i], error);
        if (!field)
            return std::nullopt;
        bits[i] = *field;
    }
    CronFields fields;
    fields.minutes = bits[0];
    fields.hours = quint32(bits[1]);
    fields.days = quint32(bits[2]);
    fields.months = quint16(bits[3]);
    fields.weekdays = quint8((bits[4] | bits[4] >> 7) & 0x7F);
    fields.daysStar = texts[2].startsWith(u'*');
    fields.weekdaysStar = texts[4].startsWith(u'*');
    return fields;
}

namespace
{
constexpr const char* kWeekdayWords[] = {"domingo", "lunes", "martes", "miercoles", "jueves", "viernes", "sabado"};
constexpr const char* kWeekdaysWords[] = {"domingos", "lunes", "martes", "miercoles", "jueves", "viernes", "sabados"};
constexpr quint32 kAllDays = 0xFFFFFFFE;
constexpr quint32 kAllHours = 0xFFFFFF;
constexpr quint8 kAllWeekdays = 0x7F;
constexpr quint16 kAllMonths = 0x1FFE;

// "a", "a y b", "a, b y c".
QString listText(const QStringList& items)
{
    return items.size() < 2 ? items.value(0)
                            : items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + " y " + items.last();
}

QList<int> values(quint64 bits)
{
    QList<int> set;
    for (int value = 0; value < 64; ++value)
        if (bits >> value & 1)
            set << value;
    return set;
}

// The step of a field that holds 0, step, 2 step... up to `span` and nothing else, where the step divides the span
// (so that the runs are evenly spaced across its end too); 0 for any other set.
int evenStep(quint64 bits, int span)
{
    for (int step = 1; step < span; ++step) {
        quint64 even = 0;
        for (int value = 0; value < span; value += step)
            even |= quint64(1) << value;
        if (span % step == 0 && bits == even)
            return step;
    }
    return 0;
}

// "cada 15 minutos", "cada hora", "cada 2 horas, en el minuto 30": runs all day long at even intervals.
QString intervalText(const CronFields& fields)
{
    const int minuteStep = evenStep(fields.minutes, 60);
    if (fields.hours == kAllHours && minuteStep)
        return minuteStep == 1 ? QStringLiteral("cada minuto") : QStringLiteral("cada %1 minutos").arg(minuteStep);
    const int hourStep = evenStep(fields.hours, 24);
    if (std::popcount(fields.minutes) != 1 || !hourStep || std::popcount(fields.hours) <= 4)
        return {};
    const QString hours = hourStep == 1 ? QStringLiteral("cada hora") : QStringLiteral("cada %1 horas").arg(hourStep);
    const int minute = std::countr_zero(fields.minutes);
    return minute == 0 ? hours : hours + QStringLiteral(", en el minuto %1").arg(minute);
}

// "a las 09:00", "a las 10:00 y a las 18:00": one minute in up to four hours.
QString timesText(const CronFields& fields)
{
    const QList<int> hours = values(fields.hours);
    if (std::popcount(fields.minutes) != 1 || hours.size() > 4)
        return {};
    QStringList times;
    for (int hour : hours)
        times << QStringLiteral("a las %1:%2")
                     .arg(hour, 2, 10, QChar(u'0'))
                     .arg(std::countr_zero(fields.minutes), 2, 10, QChar(u'0'));
    return listText(times);
}

// "domingos", "lunes a sabado", "lunes, miercoles y viernes", Monday first as people say them.
QString weekdaysText(quint8 weekdays)
{
    QList<int> set;
    for (int position = 0; position < 7; ++position)
        if (weekdays >> ((position + 1) % 7) & 1)
            set << (position + 1) % 7;
    const bool run = (set.last() + 6) % 7 - (set.first() + 6) % 7 == set.size() - 1;
    if (set.size() > 2 && run)
        return QLatin1String(kWeekdayWords[set.first()]) + " a " + QLatin1String(kWeekdayWords[set.last()]);
    QStringList words;
    for (int day : set)
        words << QLatin1String(kWeekdaysWords[day]);
    return listText(words);
}

// "el dia 1 de cada mes", "los dias 1 y 15 de cada mes", "el 24 de diciembre".
QString monthDaysText(const CronFields& fields)
{
    const QList<int> days = values(fields.days);
    const QList<int> months = values(fields.months);
    QStringList numbers;
    for (int day : days)
        numbers << QString::number(day);
    if (months.size() == 1 && days.size() == 1)
        return QStringLiteral("el %1 de %2").arg(days[0]).arg(monthWords(months[0]));
    if (months.size() != 12 || days.size() > 3)
        return {};
    return (days.size() == 1 ? "el dia " : "los dias ") + listText(numbers) + " de cada mes";
}

QString daysText(const CronFields& fields)
{
    const bool allDays = fields.days == kAllDays, allWeekdays = fields.weekdays == kAllWeekdays;
    const bool either = !fields.daysStar && !fields.weekdaysStar;
    if (either && (allDays || allWeekdays))
        return fields.months == kAllMonths ? QStringLiteral("todos los dias") : QString();
    if (either)
        return {};
    if (allWeekdays)
        return allDays ? (fields.months == kAllMonths ? QStringLiteral("todos los dias") : QString())
                       : monthDaysText(fields);
    return allDays && fields.months == kAllMonths ? weekdaysText(fields.weekdays) : QString();
}
} // namespace

QString weekdayWords(int dayOfWeek)
{
    return QLatin1String(kWeekdayWords[dayOfWeek % 7]);
}

QString monthWords(int month)
{
    static constexpr const char* names[] = {"enero", "febrero", "marzo",      "abril",   "mayo",      "junio",
                                            "julio", "agosto",  "septiembre", "octubre", "noviembre", "diciembre"};
    return QLatin1String(names[(month + 11) % 12]);
}

QString describeCron(const CronFields& fields)
{
    const QString days = daysText(fields);
    if (days.isEmpty())
        return {};
    if (const QString interval = intervalText(fields); !interval.isEmpty())
        return days == QLatin1String("todos los dias") ? interval : days + QStringLiteral(", ") + interval;
    const QString times = timesText(fields);
    return times.isEmpty() ? QString() : days + u' ' + times;
}
