// Transmissions to the sign: how they are built from the pages and the clock, and the delays they are sent with.
#pragma once

#include "core/model/Module1.h"
#include "core/protocol/SignProtocol.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace Module1
{
inline constexpr double defaultDelayStart = signproto::delayMs(signproto::DefaultDelayStart) / 1000.0;
inline constexpr double defaultDelayChar = signproto::delayMs(signproto::DefaultDelayChar) / 1000.0;

// The delays in force: the last listed DY1 and DY2 looked up, the defaults before any.
inline double TxDelayStart = defaultDelayStart; // seconds after each of the first five bytes, from DY1
inline double TxDelayChar = defaultDelayChar;   // seconds after every later byte, from DY2
} // namespace Module1

// A message's pages as one value, slots 1..MaxPages like the model's.
struct MessagePages
{
    std::array<QString, Module1::MaxPages + 1> text;
    std::array<std::uint8_t, Module1::MaxPages + 1> effect{}, pause{}, align{};

    bool hasText() const;
};
MessagePages modelPages();
void storeInModel(const MessagePages& pages);
// The pages with every text padded as the sign's line pads it (paddedText): what a send leaves in the model.
MessagePages paddedPages(MessagePages pages);

// One page's record: its code and filtered text (and pause byte) as its effect lays them out, or the clock's
// fixed bytes; empty for a page without text.
QByteArray pageRecord(const QString& text, std::uint8_t effect, std::uint8_t pause, std::uint8_t align);
// Preamble, message command and speed: what comes before the first record.
QByteArray messageHeader();
// The message transmission: header, the records in slot order, terminator; a longer stream is cut at
// MaxLength and terminated once more.
QByteArray messageTransmission(const MessagePages& pages);

// Six two-digit texts of a moment, as the date dialog shows and sends them (year: last two digits).
struct ClockTexts
{
    QString hour, minute, second, day, month, year;
};
ClockTexts clockTextsOf(const QDateTime& when);
// The date-and-time transmission: preamble, clock command, six clock bytes in BCD, terminator (14 bytes).
QByteArray dateTransmission(const QDateTime& when);

// The delay a stored DY1 or DY2 text stands for: its milliseconds when it is one of `list` (by exact text:
// "5" is not "05"). A text outside it (Opciones stores what was typed) leaves the delay in force, in a
// fresh run the default one.
struct DelayLookUp
{
    double seconds;
    bool listed;
};
DelayLookUp lookUpDelay(const QString& text, const QStringList& list, double inForce);
// The delays a send goes with: DY1 and DY2 each looked up by lookUpDelay, a listed one becoming the delay in
// force (TxDelayStart, TxDelayChar).
struct SendDelays
{
    double start;   // seconds after each of the first five bytes
    double perChar; // seconds after every later byte
};
SendDelays delaysInForce();
// The delays in force back to the defaults, as at the start of the run.
void resetDelaysInForce();

// Milliseconds the waits of a transmission of `length` bytes add up to.
qint64 estimatedSendMs(int length, double delayStart, double delayChar);
