// The delays in force and the time they make a send last.
#include "core/link/SendDelays.h"

#include "core/settings/LineSettings.h"

#include <algorithm>

using namespace signproto;

namespace
{
qint64 roundedMs(double seconds)
{
    return std::max<qint64>(0, qRound64(seconds * 1000.0));
}
} // namespace

DelayLookUp lookUpDelay(const QString& text, const QStringList& list, double inForce)
{
    if (!list.contains(text))
        return {inForce, false};
    return {text.toInt() / 1000.0, true};
}

SendDelays DelaysInForce::peek(const LineSettings& line) const
{
    return {lookUpDelay(line.dy1, DelayStartList, m_current.start).seconds,
            lookUpDelay(line.dy2, DelayCharList, m_current.perChar).seconds};
}

SendDelays DelaysInForce::take(const LineSettings& line)
{
    m_current = peek(line);
    return m_current;
}

qint64 estimatedSendMs(int length, double delayStart, double delayChar)
{
    const qint64 first = std::clamp(length, 0, PreambleDelayBytes);
    const qint64 rest = std::max(0, length - PreambleDelayBytes);
    return first * roundedMs(delayStart) + rest * roundedMs(delayChar);
}
