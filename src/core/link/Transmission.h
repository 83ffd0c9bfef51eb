// Transmissions to the sign: how they are built from the pages, and the shared state PacedSend sends from.
#pragma once

#include "core/model/Module1.h"
#include "core/protocol/SignProtocol.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <cstdint>

namespace Module1
{
inline constexpr double defaultDelayStart = signproto::delayMs(signproto::DefaultDelayStart) / 1000.0;
inline constexpr double defaultDelayChar = signproto::delayMs(signproto::DefaultDelayChar) / 1000.0;

inline QByteArray TxBuffer;     // the transmission being sent, one byte per byte on the wire
inline QString TxSpeedName;     // speed name of the message transmission ("Rapida")
inline quint8 TxSpeedCode = 0;  // speed code looked up from TxSpeedName
inline double TxDelayStart = defaultDelayStart; // seconds after each of the first five bytes, from DY1
inline double TxDelayChar = defaultDelayChar;   // seconds after every later byte, from DY2
inline int TxLength = 0;        // bytes in TxBuffer: the progress total
inline int TxPos = 0;           // 1-based position of the byte being sent
inline int TxPercent = 0;       // TxPos * 100 / TxLength, whole part
inline bool TxInProgress = false; // a send dialog's transmission has started
inline std::atomic<bool> TxCancel = false; // cancel requested (also by a signal handler); read after every byte
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
// TxDelayStart from DY1 and TxDelayChar from DY2, each by lookUpDelay.
void lookUpDelays();

// Makes `bytes` the transmission to send (TxBuffer, TxLength) and looks up the delays. False (nothing
// changed) while a transmission is being sent.
bool loadTransmission(const QByteArray& bytes);
// loadTransmission of the model's message, which stays as it is; TxSpeedName and TxSpeedCode set.
bool buildMessageTransmission();
// loadTransmission of the date transmission of `when`.
bool buildDateTransmission(const QDateTime& when);

// Milliseconds the waits of a transmission of `length` bytes add up to.
qint64 estimatedSendMs(int length, double delayStart, double delayChar);
// The same for TxLength with the delays in force.
qint64 estimatedSendMs();
