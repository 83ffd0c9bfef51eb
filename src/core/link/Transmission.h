// Transmissions to the sign: their shared state and how they are built; PacedSend sends them.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <atomic>

namespace Module1
{
// The delays of the default settings (DY1 "200", DY2 "05"), in force until a listed text is looked up:
// stored texts outside the lists must never leave a run unpaced, or the sign drops bytes.
inline constexpr double defaultDelayStart = 0.2;
inline constexpr double defaultDelayChar = 0.005;

inline QByteArray TxBuffer;     // the transmission being built and sent, one byte per byte on the wire
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

// Sets TxDelayStart from DY1 and TxDelayChar from DY2 when their texts are in the delay lists; a text
// outside its list leaves the delay in force (the default one before the first look-up of the run).
void lookUpDelays();

// The message transmission of all 64 page slots into TxBuffer and TxLength, with the delays looked up.
// Pages are passed through Filtro in their own slots, so short texts stay padded in the model.
// False (nothing changed) while a transmission is being sent.
bool buildMessageTransmission();

// Six two-digit texts of a moment, as the date dialog shows and sends them (year: last two digits).
struct ClockTexts
{
    QString hour, minute, second, day, month, year;
};
ClockTexts clockTextsOf(const QDateTime& when);

// The date-and-time transmission (14 bytes: preamble, clock command, six clock bytes in BCD, terminator) into
// TxBuffer and TxLength, with the delays looked up. False (nothing changed) while a transmission is being sent.
bool buildDateTransmission(const QDateTime& when);

// Milliseconds the waits of a transmission of `length` bytes add up to.
qint64 estimatedSendMs(int length, double delayStart, double delayChar);
// The same for TxLength with the delays in force.
qint64 estimatedSendMs();
