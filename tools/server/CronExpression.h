// Five-field cron expressions (minute hour day-of-month month day-of-week) read as Vixie cron reads them, and
// said in words for people.
#pragma once

#include <QDate>
#include <QString>
#include <optional>

struct CronFields
{
    quint64 minutes = 0; // bit n: minute n, 0-59
    quint32 hours = 0;   // 0-23
    quint32 days = 0;    // the day of the month, 1-31
    quint16 months = 0;  // 1-12
    quint8 weekdays = 0; // 0-6, Sunday 0 (a 7 is read as 0)
    // Whether the day fields start with '*' ("*", "*/2"). Vixie cron takes a day that either field names when
    // neither does, and only one that both name otherwise; "1-31" is not a star, "*/2" is.
    bool daysStar = false, weekdaysStar = false;

    bool takesDay(QDate date) const;
    // The first minute of the day (0-1439) from `minuteOfDay` on whose hour and minute match; -1 when none.
    int firstMinuteFrom(int minuteOfDay) const;
};

// The expression's fields, or nothing with the reason in Spanish, naming the field: "campo hora: 25 fuera de 0-23".
// Besides numbers: '*', lists, ranges, steps ("*/15", "1-30/5", "5/15" from 5 to the field's end), the month
// and weekday names cron takes (three English letters, any case: jan, mon), a weekday range ending on Sunday as
// "fri-sun" or "5-0", and the abbreviations @yearly, @annually, @monthly, @weekly, @daily, @midnight, @hourly.
std::optional<CronFields> parseCron(const QString& expression, QString* error);

// The common forms in words, without accents: "todos los dias a las 09:00", "lunes a sabado a las 09:00",
// "domingos a las 10:00 y a las 18:00", "el dia 1 de cada mes a las 07:30", "el 24 de diciembre a las 20:00",
// "cada 15 minutos", "lunes a viernes, cada hora". Empty where words would not say exactly when it runs.
QString describeCron(const CronFields& fields);
// "lunes" for Qt's day of the week (1 Monday to 7 Sunday), "diciembre" for month 12.
QString weekdayWords(int dayOfWeek);
QString monthWords(int month);
