// Reading the page number typed for "Ir a Pagina".
#include "gui/editor/PageNumber.h"

#include <charconv>
#include <cmath>
#include <string>

namespace
{
bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}
} // namespace

double roundedPageNumber(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;

    std::string number;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        number += char(text.at(i++).unicode());
    bool anyDigit = false;
    while (i < n && isDigit(text.at(i))) {
        number += char(text.at(i++).unicode());
        anyDigit = true;
    }
    if (i < n && text.at(i) == QLatin1Char('.')) {
        number += '.';
        ++i;
        while (i < n && isDigit(text.at(i))) {
            number += char(text.at(i++).unicode());
            anyDigit = true;
        }
    }
    if (!anyDigit)
        return 0;
    // An exponent counts only when digits follow it ("1e2" is 100, "3e" is 3).
    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < n && (text.at(j) == QLatin1Char('+') || text.at(j) == QLatin1Char('-')))
            exponent += char(text.at(j++).unicode());
        if (j < n && isDigit(text.at(j))) {
            while (j < n && isDigit(text.at(j)))
                exponent += char(text.at(j++).unicode());
            number += exponent;
        }
    }
    // from_chars ignores the user's locale (whose decimal point may be a comma) and takes no '+'.
    double sign = 1;
    std::size_t start = 0;
    if (number[0] == '+' || number[0] == '-') {
        sign = number[0] == '-' ? -1 : 1;
        start = 1;
    }
    // A number out of double's range leaves 0, which like any huge number names no page.
    double value = 0;
    std::from_chars(number.data() + start, number.data() + number.size(), value);
    value *= sign;
    // nearbyint follows the default rounding mode: to nearest, ties to even.
    return std::nearbyint(value);
}
