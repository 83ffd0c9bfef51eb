// The transmissions to the sign: how they are built from a message's pages and from the clock.
#pragma once

#include "core/model/Message.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>

// The message with every text padded as the sign's line pads it (paddedText): what a send leaves in the
// editor's message.
Message paddedMessage(Message message);

// One page's record: its code and filtered text (and pause byte) as its effect lays them out, or the clock's
// fixed bytes; empty for a page without text.
QByteArray pageRecord(const QString& text, std::uint8_t effect, std::uint8_t pause, std::uint8_t align);
// Preamble, message command and speed: what comes before the first record.
QByteArray messageHeader();
// The message transmission: header, the records in slot order, terminator; a longer stream is cut at
// MaxLength and terminated once more.
QByteArray messageTransmission(const Message& message);

// The bytes of `message` the length cap leaves out of its transmission (header and records past MaxLength); 0
// when it goes whole.
int bytesLeftOut(const Message& message);
// What the window and tivor-cli say of them; empty for none.
QString bytesLeftOutText(int bytes);

// Six two-digit texts of a moment, as the date dialog shows and sends them (year: last two digits).
struct ClockTexts
{
    QString hour, minute, second, day, month, year;
};
ClockTexts clockTextsOf(const QDateTime& when);
// The date-and-time transmission: preamble, clock command, six clock bytes in BCD, terminator (14 bytes).
QByteArray dateTransmission(const QDateTime& when);
