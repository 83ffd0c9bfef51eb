// The sign's streaming decoder: a byte-at-a-time state machine over transmissions, from the preamble to the
// terminator; the records inside are read in SignRecords.cpp.
#include "SignDecoder.h"

#include "core/protocol/SignProtocol.h"

#include <QStringList>

namespace sign
{
using namespace signproto;

namespace
{
QString preambleSeen(int matched)
{
    return QString::fromLatin1(Preamble.data(), matched);
}

// "0x01 0x01"
QString terminatorText()
{
    QStringList bytes;
    for (const char b : Terminator)
        bytes << hexByte(std::uint8_t(b));
    return bytes.join(QLatin1Char(' '));
}

// "0xE0, 0xE3 o 0xE6"
QString speedCodesText()
{
    QStringList codes;
    for (const Speed& speed : Speeds)
        codes << hexByte(speed.code);
    const QString last = codes.takeLast();
    return codes.join(QStringLiteral(", ")) + QStringLiteral(" o ") + last;
}
} // namespace

QString errorKindName(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::BadPreamble:
        return QStringLiteral("bad-preamble");
    case ErrorKind::UnknownCommand:
        return QStringLiteral("unknown-command");
    case ErrorKind::BadSpeed:
        return QStringLiteral("bad-speed");
    case ErrorKind::UnknownRecord:
        return QStringLiteral("unknown-record");
    case ErrorKind::ShortRecord:
        return QStringLiteral("short-record");
    case ErrorKind::CutByTerminator:
        return QStringLiteral("cut-by-terminator");
    case ErrorKind::BadPause:
        return QStringLiteral("bad-pause");
    case ErrorKind::BadClockRecord:
        return QStringLiteral("bad-clock-record");
    case ErrorKind::BadCharacter:
        return QStringLiteral("bad-character");
    case ErrorKind::InvalidBcd:
        return QStringLiteral("invalid-bcd");
    case ErrorKind::BadTerminator:
        return QStringLiteral("bad-terminator");
    case ErrorKind::BytesAfterTerminator:
        return QStringLiteral("bytes-after-terminator");
    case ErrorKind::Silence:
        return QStringLiteral("silence");
    case ErrorKind::LineClosed:
        return QStringLiteral("line-closed");
    case ErrorKind::TooLong:
        return QStringLiteral("too-long");
    }
    return QString();
}

void Decoder::feed(const QByteArray& bytes, qint64 timeMs)
{
    for (const char b : bytes)
        feedByte(std::uint8_t(b), timeMs);
}

void Decoder::feedByte(std::uint8_t byte, qint64 timeMs)
{
    poll(timeMs);
    ++m_offset;
    m_nowMs = timeMs;
    m_haveLastByte = true;
    m_lastByteMs = timeMs;
    // Before the step: the byte that ends a transmission belongs to it. The preamble's bytes are taken when it
    // is whole, since until then they may turn out to be junk.
    if (inTransmission())
        m_tx.raw.append(char(byte));
    // Kept, such a stream would grow without end (and log an error for every byte the sign cannot show).
    if (inTransmission() && m_offset - m_txStartOffset >= MaxTransmissionBytes) {
        fail(ErrorKind::TooLong,
             QStringLiteral("transmision de mas de %1 bytes: se descarta y se espera otro preambulo")
                 .arg(MaxTransmissionBytes));
        return;
    }
    step(byte);
}

void Decoder::poll(qint64 nowMs)
{
    if (!m_haveLastByte || nowMs - m_lastByteMs <= SilenceLimitMs)
        return;
    m_nowMs = nowMs;
    breakOff(ErrorKind::Silence, QStringLiteral("silencio de %1 s").arg((nowMs - m_lastByteMs) / 1000.0, 0, 'f', 1));
}

void Decoder::lineClosed(qint64 nowMs)
{
    m_nowMs = nowMs;
    breakOff(ErrorKind::LineClosed, QStringLiteral("conexion cerrada"));
}

void Decoder::breakOff(ErrorKind kind, const QString& why)
{
    if (m_state == State::Preamble || (m_state == State::Terminator2 && m_beforeTerminator == State::Preamble)) {
        outsideError(kind, QStringLiteral("%1 en medio del preambulo '%2'").arg(why, preambleSeen(m_preambleMatched)));
    } else if (inTransmission()) {
        fail(kind, QStringLiteral("%1 dentro de una transmision: se descarta y se espera otro preambulo").arg(why));
    }
    // Whatever comes next is judged afresh.
    m_state = State::Idle;
    m_junkReported = false;
    m_haveLastByte = false;
}

bool Decoder::inside(State s) const
{
    switch (s) {
    case State::Idle:
    case State::AfterEnd:
    case State::Skipping:
    case State::Preamble:
        return false;
    case State::Terminator2:
        return inside(m_beforeTerminator);
    default:
        return true;
    }
}

bool Decoder::inTransmission() const
{
    return inside(m_state);
}

QList<Event> Decoder::takeEvents()
{
    QList<Event> out;
    out.swap(m_events);
    return out;
}

void Decoder::outsideError(ErrorKind kind, const QString& text)
{
    Event e;
    e.error = ProtocolError{kind, text, m_offset, m_nowMs};
    m_events.append(e);
}

void Decoder::fail(ErrorKind kind, const QString& text, bool endsTransmission)
{
    m_tx.errors.append(ProtocolError{kind, text, m_offset, m_nowMs});
    if (endsTransmission)
        endTransmission(false);
}

void Decoder::beginTransmission()
{
    m_tx = Transmission{};
    m_tx.raw = QByteArray(Preamble.data(), qsizetype(Preamble.size()));
    m_tx.firstByteMs = m_preambleStartMs;
    m_txStartOffset = m_preambleStartOffset;
    m_junkReported = false;
    m_state = State::Command;
}

void Decoder::endTransmission(bool terminated)
{
    m_tx.terminated = terminated;
    m_tx.lastByteMs = m_lastByteMs;
    m_tx.byteCount = m_offset - m_txStartOffset + 1;
    Event e;
    e.isTransmission = true;
    e.transmission = m_tx;
    m_events.append(e);
    m_tx = Transmission{};
    m_state = terminated ? State::AfterEnd : State::Skipping;
}

void Decoder::stepPreamble(std::uint8_t byte)
{
    if (byte == std::uint8_t(Preamble[std::size_t(m_preambleMatched)])) {
        if (++m_preambleMatched == int(Preamble.size()))
            beginTransmission();
        return;
    }
    const QString seen = preambleSeen(m_preambleMatched);
    if (byte == TerminatorByte) {
        // A cancel during the preamble: the bytes sent so far, then the terminator.
        m_beforeTerminator = State::Preamble;
        m_state = State::Terminator2;
        return;
    }
    m_state = m_preambleOrigin;
    if (m_preambleOrigin == State::AfterEnd) {
        outsideError(ErrorKind::BytesAfterTerminator,
                     QStringLiteral("bytes '%1' despues del terminador que no forman un preambulo").arg(seen));
        m_state = State::Idle;
        m_junkReported = true;
    } else if (m_preambleOrigin == State::Idle && !m_junkReported) {
        outsideError(ErrorKind::BadPreamble, QStringLiteral("preambulo incorrecto: '%1' seguido de %2 (se espera '%3')")
                                                 .arg(seen, hexByte(byte), preambleSeen(int(Preamble.size()))));
        m_junkReported = true;
    }
    step(byte);
}

void Decoder::terminatorSeen()
{
    const State was = m_beforeTerminator;
    auto cut = [this](const QString& what) {
        fail(ErrorKind::CutByTerminator, what, false);
        endTransmission(true);
    };
    switch (was) {
    case State::Skipping:
        m_state = State::AfterEnd;
        return;
    case State::Preamble:
        outsideError(ErrorKind::CutByTerminator,
                     QStringLiteral("transmision cortada por el terminador en el preambulo ('%1')")
                         .arg(preambleSeen(m_preambleMatched)));
        m_state = State::AfterEnd;
        return;
    case State::RecordCode:
    case State::ClockEnd:
        endTransmission(true);
        return;
    case State::WholeText:
        if (m_page.bytes.isEmpty())
            return cut(recordCutText());
        m_tx.pages.append(m_page);
        endTransmission(true);
        return;
    case State::Command:
        return cut(QStringLiteral("transmision cortada por el terminador despues del preambulo"));
    case State::Speed:
        return cut(QStringLiteral("transmision cortada por el terminador antes del byte de velocidad"));
    case State::FixedText:
    case State::Pause:
    case State::ClockRecord:
        return cut(recordCutText());
    default:
        endTransmission(true);
        return;
    }
}

void Decoder::step(std::uint8_t byte)
{
    switch (m_state) {
    case State::Idle:
    case State::AfterEnd:
    case State::Skipping:
        return stepOutside(byte);
    case State::Preamble:
        return stepPreamble(byte);
    case State::Terminator2:
        return stepSecondTerminatorByte(byte);
    default:
        break;
    }
    // Inside a transmission a lone 0x01 can only begin the terminator, except among the clock's BCD bytes.
    if (byte == TerminatorByte && m_state != State::ClockBytes) {
        m_beforeTerminator = m_state;
        m_state = State::Terminator2;
        return;
    }
    switch (m_state) {
    case State::Command:
        return stepCommand(byte);
    case State::Speed:
        return stepSpeed(byte);
    case State::RecordCode:
        return startRecord(byte);
    case State::FixedText:
    case State::Pause:
    case State::WholeText:
    case State::ClockRecord:
        return stepRecord(byte);
    case State::ClockBytes:
        return stepClockBytes(byte);
    case State::ClockEnd:
        fail(ErrorKind::BadTerminator,
             QStringLiteral("byte %1 tras los seis bytes de la hora (se espera el terminador %2)")
                 .arg(hexByte(byte), terminatorText()));
        return step(byte);
    default:
        return;
    }
}

// Between transmissions, or skipping the rest of a broken one: a preamble begins, or the byte is junk (said
// once until the next transmission).
void Decoder::stepOutside(std::uint8_t byte)
{
    if (byte == std::uint8_t(Preamble[0])) {
        m_preambleOrigin = m_state;
        m_preambleMatched = 1;
        m_preambleStartMs = m_nowMs;
        m_preambleStartOffset = m_offset;
        m_state = State::Preamble;
    } else if (m_state == State::Skipping) {
        if (byte == TerminatorByte) {
            m_beforeTerminator = State::Skipping;
            m_state = State::Terminator2;
        }
    } else if (m_state == State::AfterEnd) {
        outsideError(ErrorKind::BytesAfterTerminator,
                     QStringLiteral("byte %1 despues del terminador").arg(hexByte(byte)));
        m_state = State::Idle;
        m_junkReported = true;
    } else if (!m_junkReported) {
        outsideError(ErrorKind::BadPreamble,
                     QStringLiteral("byte %1 fuera de una transmision (se espera el preambulo '%2')")
                         .arg(hexByte(byte), preambleSeen(int(Preamble.size()))));
        m_junkReported = true;
    }
}

// After one 0x01: a second ends the transmission; anything else was no terminator.
void Decoder::stepSecondTerminatorByte(std::uint8_t byte)
{
    if (byte == TerminatorByte)
        return terminatorSeen();
    if (m_beforeTerminator == State::Skipping) {
        m_state = State::Skipping;
    } else if (m_beforeTerminator == State::Preamble) {
        m_state = State::Idle;
        if (!m_junkReported) {
            outsideError(ErrorKind::BadPreamble,
                         QStringLiteral("preambulo incorrecto: '%1' seguido de %2 y %3")
                             .arg(preambleSeen(m_preambleMatched), hexByte(TerminatorByte), hexByte(byte)));
            m_junkReported = true;
        }
    } else {
        fail(ErrorKind::BadTerminator, QStringLiteral("%1 seguido de %2: el terminador es %3")
                                           .arg(hexByte(TerminatorByte), hexByte(byte), terminatorText()));
    }
    step(byte);
}

void Decoder::stepCommand(std::uint8_t byte)
{
    m_tx.command = byte;
    if (byte == MessageCommand) {
        m_tx.kind = Transmission::Kind::Message;
        m_state = State::Speed;
    } else if (byte == ClockCommand) {
        m_tx.kind = Transmission::Kind::Clock;
        m_clockBytes.clear();
        m_state = State::ClockBytes;
    } else {
        fail(ErrorKind::UnknownCommand, QStringLiteral("orden desconocida %1 tras el preambulo (se espera %2 o %3)")
                                            .arg(hexByte(byte), hexByte(MessageCommand), hexByte(ClockCommand)));
        step(byte);
    }
}

void Decoder::stepSpeed(std::uint8_t byte)
{
    if (speedName(byte).isEmpty()) {
        fail(ErrorKind::BadSpeed,
             QStringLiteral("velocidad desconocida %1 (se espera %2)").arg(hexByte(byte), speedCodesText()));
        return step(byte);
    }
    m_tx.speed = byte;
    m_state = State::RecordCode;
}
} // namespace sign
