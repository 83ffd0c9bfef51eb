// Transmissions to the sign: their shared state and how they are built; PacedSend sends them.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace Module1
{
inline QByteArray TxBuffer;     // the transmission being built and sent, one byte per byte on the wire
inline QString TxSpeedName;     // speed name of the message transmission ("Rapida")
inline quint8 TxSpeedCode = 0;  // speed code looked up from TxSpeedName
inline double TxDelayStart = 0; // seconds after each of the first five bytes, from DY1
inline double TxDelayChar = 0;  // seconds after every later byte, from DY2
inline int TxLength = 0;        // bytes in TxBuffer: the progress total
inline int TxPos = 0;           // 1-based position of the byte being sent
inline int TxPercent = 0;       // TxPos * 100 / TxLength, whole part
inline bool TxInProgress = false; // a send dialog's transmission has started
inline bool TxCancel = false;     // cancel requested; read after every byte

// The delay texts the options dialog offers; only these are looked up.
inline const QStringList DelayStartList = {
    QStringLiteral("10"),  QStringLiteral("25"),  QStringLiteral("50"),  QStringLiteral("100"),
    QStringLiteral("150"), QStringLiteral("200"), QStringLiteral("250"), QStringLiteral("300"),
    QStringLiteral("350"), QStringLiteral("400"), QStringLiteral("450"), QStringLiteral("500"),
};
inline const QStringList DelayCharList = {
    QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("05"), QStringLiteral("10"),
    QStringLiteral("20"), QStringLiteral("30"), QStringLiteral("40"), QStringLiteral("50"),
    QStringLiteral("60"), QStringLiteral("70"), QStringLiteral("80"), QStringLiteral("90"),
};
} // namespace Module1

// Protocol bytes shared by every transmission.
namespace txbytes
{
inline const QByteArray Preamble = QByteArrayLiteral("W-NT9");
inline const QByteArray Terminator = QByteArrayLiteral("\x01\x01");
inline constexpr char MessageCommand = char(0xDF);
inline constexpr char DateCommand = char(0xB0);
inline constexpr int MaxLength = 8000; // longer streams are cut here and terminated once more
} // namespace txbytes

// "Rapida" 0xE0, "Media" 0xE3, "Lenta" 0xE6; 0xE0 for any other name.
quint8 speedCodeFor(const QString& name);

// Sets TxDelayStart from DY1 and TxDelayChar from DY2 when their texts are in the lists; a text
// outside its list leaves the delay in force (0 before the first look-up of the run).
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

// The date-and-time transmission (14 bytes: preamble, 0xB0, six clock bytes in BCD, terminator) into TxBuffer and TxLength,
// with the delays looked up. False (nothing changed) while a transmission is being sent.
bool buildDateTransmission(const QDateTime& when);

// Milliseconds the waits of a transmission of `length` bytes add up to.
qint64 estimatedSendMs(int length, double delayStart, double delayChar);
// The same for TxLength with the delays in force.
qint64 estimatedSendMs();
