// The delays a transmission is sent with, and how long they make it last.
#pragma once

#include "core/protocol/SignProtocol.h"

#include <QString>
#include <QStringList>

struct LineSettings;

inline constexpr double defaultDelayStart = signproto::delayMs(signproto::DefaultDelayStart) / 1000.0;
inline constexpr double defaultDelayChar = signproto::delayMs(signproto::DefaultDelayChar) / 1000.0;

// The delay a stored DY1 or DY2 text stands for: its milliseconds when it is one of `list` (by exact text:
// "5" is not "05"). A text outside it (Opciones stores what was typed) leaves the delay in force, in a
// fresh run the default one.
struct DelayLookUp
{
    double seconds;
    bool listed;
};
DelayLookUp lookUpDelay(const QString& text, const QStringList& list, double inForce);

struct SendDelays
{
    double start = defaultDelayStart;  // seconds after each of the first five bytes
    double perChar = defaultDelayChar; // seconds after every later byte
};

// The delays in force for whoever sends (the window, one tivor-cli command): the last listed DY1 and DY2
// looked up, the defaults before any.
class DelaysInForce
{
public:
    // DY1 and DY2 of `line` each looked up; a listed one becomes the delay in force.
    SendDelays take(const LineSettings& line);
    // What take() would give, nothing kept.
    SendDelays peek(const LineSettings& line) const;
    const SendDelays& current() const { return m_current; }

private:
    SendDelays m_current;
};

// Milliseconds the waits of a transmission of `length` bytes add up to.
qint64 estimatedSendMs(int length, double delayStart, double delayChar);
