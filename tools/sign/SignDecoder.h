// Reads the byte stream on the sign's serial line as the sign does, and reports what breaks the protocol.
#pragma once

#include "core/protocol/SignProtocol.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <algorithm>
#include <cstdint>

namespace sign
{
enum class ErrorKind {
    BadPreamble,          // bytes outside a transmission that do not start "W-NT9"
    UnknownCommand,       // the byte after the preamble is neither the message nor the clock command
    BadSpeed,             // the speed byte is none of the three speeds
    UnknownRecord,        // a byte where a record code belongs that starts no record
    ShortRecord,          // a record that the next record code cuts short
    CutByTerminator,      // the terminator arrives inside a record (what a cancel produces)
    BadPause,             // a pause byte outside "1".."9"
    BadClockRecord,       // a clock page ("Hora", "Fecha") whose record differs from its fixed bytes
    BadCharacter,         // a byte of page text the sign has no character for
    InvalidBcd,           // a clock byte that is not two decimal digits, or not a valid time or date
    BadTerminator,        // a lone first terminator byte, or more bytes where the terminator belongs
    BytesAfterTerminator, // bytes right after a terminator that do not start a new preamble
    Silence,              // more than two seconds without a byte inside a transmission
    LineClosed,           // the sender's connection ended inside a transmission
    TooLong,              // a transmission past any sender's length: noise or a stuck line, never a message
};

// Stable short name for scripts ("cut-by-terminator").
QString errorKindName(ErrorKind kind);

struct ProtocolError
{
    ErrorKind kind;
    QString text;      // Spanish, without accents
    qint64 offset = 0; // position of the offending byte in everything fed so far
    qint64 timeMs = 0;
};

struct Page
{
    std::uint8_t code = 0; // record code
    int effect = -1;       // position in the effect list
    QByteArray bytes;      // the text as sent (sign codes), empty for "Hora" and "Fecha"
    QString text;          // the characters the sign shows for `bytes`; U+FFFD where it has none
    int pause = 0;         // 1..9 as the editor shows it; 0 for the effects without a pause byte
};

struct Clock
{
    int hour = 0, minute = 0, second = 0, day = 0, month = 0, year = 0; // year within the century
};

struct Transmission
{
    enum class Kind { Message, Clock, Unknown };
    Kind kind = Kind::Unknown;
    std::uint8_t command = 0;
    std::uint8_t speed = 0;
    QList<Page> pages; // complete records only
    Clock clock;
    bool clockValid = false;
    bool terminated = false; // ended by the terminator (also after a cut record)
    QList<ProtocolError> errors;
    qint64 firstByteMs = 0;
    qint64 lastByteMs = 0;
    qint64 byteCount = 0;
    QByteArray raw; // every byte of it as it came, from the preamble on: what a sender's dump is compared with

    // Terminated with nothing to complain about.
    bool complete() const { return terminated && errors.isEmpty(); }
    // What the sign takes as its new message or time: terminated, and at worst with bytes it has no
    // character for (those show as they come; every other error makes it drop the transmission).
    bool accepted() const
    {
        return terminated && std::all_of(errors.begin(), errors.end(),
                                         [](const ProtocolError& e) { return e.kind == ErrorKind::BadCharacter; });
    }
};

// One thing the decoder found: a transmission (with the errors inside it) or an error between transmissions.
struct Event
{
    bool isTransmission = false;
    Transmission transmission;
    ProtocolError error;
};

class Decoder
{
public:
    static constexpr qint64 SilenceLimitMs = 2000;
    // Senders cut a message at the cap and add one more terminator; twice the cap is past anything real.
    static constexpr qint64 MaxTransmissionBytes = 2 * signproto::MaxLength;

    // Bytes as they arrive, all with the time they were read (milliseconds on any monotonic clock).
    void feed(const QByteArray& bytes, qint64 timeMs);
    void feedByte(std::uint8_t byte, qint64 timeMs);
    // Reports a silence inside a transmission without waiting for the next byte; call it from a timer.
    void poll(qint64 nowMs);
    // The sender's connection ended: what it left unfinished is cut short like a silence, and the next sender
    // starts clean.
    void lineClosed(qint64 nowMs);

    QList<Event> takeEvents();
    // True while a transmission has started and has not ended.
    bool inTransmission() const;

private:
    enum class State {
        Idle,     // between transmissions
        AfterEnd, // right after a terminator
        Skipping, // after an error: waiting for a terminator or the next preamble
        Preamble, // matching "W-NT9"
        Command,
        Speed,
        RecordCode,
        FixedText,
        Pause,
        WholeText,   // "Rotacion": text until the next record code or the terminator
        ClockRecord, // the fixed bytes of a clock page
        ClockBytes,
        ClockEnd,
        Terminator2, // the first terminator byte came; the second one must follow
    };

    void step(std::uint8_t byte);
    // Ends whatever the bytes so far left open, reported as `kind` with `why`, and starts afresh.
    void breakOff(ErrorKind kind, const QString& why);
    // Inside a message's records and the clock command's body.
    void startRecord(std::uint8_t byte);
    void stepRecord(std::uint8_t byte);
    void stepClockBytes(std::uint8_t byte);
    QString recordCutText() const;
    void stepPreamble(std::uint8_t byte);
    void stepOutside(std::uint8_t byte);
    void stepSecondTerminatorByte(std::uint8_t byte);
    void stepCommand(std::uint8_t byte);
    void stepSpeed(std::uint8_t byte);
    void beginTransmission();
    void endTransmission(bool terminated);
    void fail(ErrorKind kind, const QString& text, bool endsTransmission = true);
    void outsideError(ErrorKind kind, const QString& text);
    void appendText(std::uint8_t byte);
    void terminatorSeen();
    bool inside(State s) const;

    State m_state = State::Idle;
    State m_beforeTerminator = State::Idle;
    State m_preambleOrigin = State::Idle;
    int m_preambleMatched = 0;
    qint64 m_preambleStartMs = 0;
    qint64 m_preambleStartOffset = 0;
    qint64 m_txStartOffset = 0;
    bool m_junkReported = false;
    bool m_haveLastByte = false;
    qint64 m_lastByteMs = 0;
    qint64 m_nowMs = 0;
    qint64 m_offset = -1; // of the byte in hand
    Transmission m_tx;
    Page m_page;
    QByteArray m_clockBytes;
    int m_recordMatched = 0; // bytes of a clock page's record seen so far
    QList<Event> m_events;
};

// "14:05:09" style helpers for the clock bytes.
QString clockText(const Clock& c);
// A byte as the error texts write it ("0xA0").
QString hexByte(std::uint8_t b);
} // namespace sign
