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
    ++offset_;
    nowMs_ = timeMs;
    haveLastByte_ = true;
    lastByteMs_ = timeMs;
    // Kept, such a stream would grow without end (and log an error for every byte the sign cannot show).
    if (inTransmission() && offset_ - txStartOffset_ >= MaxTransmissionBytes) {
        fail(ErrorKind::TooLong,
             QStringLiteral("transmision de mas de %1 bytes: se descarta y se espera otro preambulo")
                 .arg(MaxTransmissionBytes));
        return;
    }
    step(byte);
}

void Decoder::poll(qint64 nowMs)
{
    if (!haveLastByte_ || nowMs - lastByteMs_ <= SilenceLimitMs)
        return;
    nowMs_ = nowMs;
    breakOff(ErrorKind::Silence, QStringLiteral("silencio de %1 s").arg((nowMs - lastByteMs_) / 1000.0, 0, 'f', 1));
}

void Decoder::lineClosed(qint64 nowMs)
{
    nowMs_ = nowMs;
    breakOff(ErrorKind::LineClosed, QStringLiteral("conexion cerrada"));
}

void Decoder::breakOff(ErrorKind kind, const QString& why)
{
    if (state_ == State::Preamble || (state_ == State::Terminator2 && beforeTerminator_ == State::Preamble)) {
        outsideError(kind, QStringLiteral("%1 en medio del preambulo '%2'").arg(why, preambleSeen(preambleMatched_)));
    } else if (inTransmission()) {
        fail(kind, QStringLiteral("%1 dentro de una transmision: se descarta y se espera otro preambulo").arg(why));
    }
    // Whatever comes next is judged afresh.
    state_ = State::Idle;
    junkReported_ = false;
    haveLastByte_ = false;
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
        return inside(beforeTerminator_);
    default:
        return true;
    }
}

bool Decoder::inTransmission() const
{
    return inside(state_);
}

QList<Event> Decoder::takeEvents()
{
    QList<Event> out;
    out.swap(events_);
    return out;
}

void Decoder::outsideError(ErrorKind kind, const QString& text)
{
    Event e;
    e.error = ProtocolError{kind, text, offset_, nowMs_};
    events_.append(e);
}

void Decoder::fail(ErrorKind kind, const QString& text, bool endsTransmission)
{
    tx_.errors.append(ProtocolError{kind, text, offset_, nowMs_});
    if (endsTransmission)
        endTransmission(false);
}

void Decoder::beginTransmission()
{
    tx_ = Transmission{};
    tx_.firstByteMs = preambleStartMs_;
    txStartOffset_ = preambleStartOffset_;
    junkReported_ = false;
    state_ = State::Command;
}

void Decoder::endTransmission(bool terminated)
{
    tx_.terminated = terminated;
    tx_.lastByteMs = lastByteMs_;
    tx_.byteCount = offset_ - txStartOffset_ + 1;
    Event e;
    e.isTransmission = true;
    e.transmission = tx_;
    events_.append(e);
    tx_ = Transmission{};
    state_ = terminated ? State::AfterEnd : State::Skipping;
}

void Decoder::stepPreamble(std::uint8_t byte)
{
    if (byte == std::uint8_t(Preamble[std::size_t(preambleMatched_)])) {
        if (++preambleMatched_ == int(Preamble.size()))
            beginTransmission();
        return;
    }
    const QString seen = preambleSeen(preambleMatched_);
    if (byte == TerminatorByte) {
        // A cancel during the preamble: the bytes sent so far, then the terminator.
        beforeTerminator_ = State::Preamble;
        state_ = State::Terminator2;
        return;
    }
    state_ = preambleOrigin_;
    if (preambleOrigin_ == State::AfterEnd) {
        outsideError(ErrorKind::BytesAfterTerminator,
                     QStringLiteral("bytes '%1' despues del terminador que no forman un preambulo").arg(seen));
        state_ = State::Idle;
        junkReported_ = true;
    } else if (preambleOrigin_ == State::Idle && !junkReported_) {
        outsideError(ErrorKind::BadPreamble, QStringLiteral("preambulo incorrecto: '%1' seguido de %2 (se espera '%3')")
                                                 .arg(seen, hexByte(byte), preambleSeen(int(Preamble.size()))));
        junkReported_ = true;
    }
    step(byte);
}

void Decoder::terminatorSeen()
{
    const State was = beforeTerminator_;
    auto cut = [this](const QString& what) {
        fail(ErrorKind::CutByTerminator, what, false);
        endTransmission(true);
    };
    switch (was) {
    case State::Skipping:
        state_ = State::AfterEnd;
        return;
    case State::Preamble:
        outsideError(ErrorKind::CutByTerminator,
                     QStringLiteral("transmision cortada por el terminador en el preambulo ('%1')")
                         .arg(preambleSeen(preambleMatched_)));
        state_ = State::AfterEnd;
        return;
    case State::RecordCode:
    case State::ClockEnd:
        endTransmission(true);
        return;
    case State::WholeText:
        if (page_.bytes.isEmpty())
            return cut(recordCutText());
        tx_.pages.append(page_);
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
    switch (state_) {
    case State::Idle:
    case State::AfterEnd:
    case State::Skipping:
        if (byte == std::uint8_t(Preamble[0])) {
            preambleOrigin_ = state_;
            preambleMatched_ = 1;
            preambleStartMs_ = nowMs_;
            preambleStartOffset_ = offset_;
            state_ = State::Preamble;
        } else if (state_ == State::Skipping) {
            if (byte == TerminatorByte) {
                beforeTerminator_ = State::Skipping;
                state_ = State::Terminator2;
            }
        } else if (state_ == State::AfterEnd) {
            outsideError(ErrorKind::BytesAfterTerminator,
                         QStringLiteral("byte %1 despues del terminador").arg(hexByte(byte)));
            state_ = State::Idle;
            junkReported_ = true;
        } else if (!junkReported_) {
            outsideError(ErrorKind::BadPreamble,
                         QStringLiteral("byte %1 fuera de una transmision (se espera el preambulo '%2')")
                             .arg(hexByte(byte), preambleSeen(int(Preamble.size()))));
            junkReported_ = true;
        }
        return;

    case State::Preamble:
        stepPreamble(byte);
        return;

    case State::Terminator2:
        if (byte == TerminatorByte) {
            terminatorSeen();
            return;
        }
        if (beforeTerminator_ == State::Skipping) {
            state_ = State::Skipping;
        } else if (beforeTerminator_ == State::Preamble) {
            state_ = State::Idle;
            if (!junkReported_) {
                outsideError(ErrorKind::BadPreamble,
                             QStringLiteral("preambulo incorrecto: '%1' seguido de %2 y %3")
                                 .arg(preambleSeen(preambleMatched_), hexByte(TerminatorByte), hexByte(byte)));
                junkReported_ = true;
            }
        } else {
            fail(ErrorKind::BadTerminator, QStringLiteral("%1 seguido de %2: el terminador es %3")
                                               .arg(hexByte(TerminatorByte), hexByte(byte), terminatorText()));
        }
        step(byte);
        return;

    default:
        break;
    }

    // Inside a transmission a lone 0x01 can only begin the terminator, except among the clock's BCD bytes.
    if (byte == TerminatorByte && state_ != State::ClockBytes) {
        beforeTerminator_ = state_;
        state_ = State::Terminator2;
        return;
    }

    switch (state_) {
    case State::Command:
        tx_.command = byte;
        if (byte == MessageCommand) {
            tx_.kind = Transmission::Kind::Message;
            state_ = State::Speed;
        } else if (byte == ClockCommand) {
            tx_.kind = Transmission::Kind::Clock;
            clockBytes_.clear();
            state_ = State::ClockBytes;
        } else {
            fail(ErrorKind::UnknownCommand, QStringLiteral("orden desconocida %1 tras el preambulo (se espera %2 o %3)")
                                                .arg(hexByte(byte), hexByte(MessageCommand), hexByte(ClockCommand)));
            step(byte);
        }
        return;

    case State::Speed:
        if (speedName(byte).isEmpty()) {
            fail(ErrorKind::BadSpeed,
                 QStringLiteral("velocidad desconocida %1 (se espera %2)").arg(hexByte(byte), speedCodesText()));
            step(byte);
            return;
        }
        tx_.speed = byte;
        state_ = State::RecordCode;
        return;

    case State::RecordCode:
        startRecord(byte);
        return;

    case State::FixedText:
    case State::Pause:
    case State::WholeText:
    case State::ClockRecord:
        stepRecord(byte);
        return;

    case State::ClockBytes:
        stepClockBytes(byte);
        return;

    case State::ClockEnd:
        fail(ErrorKind::BadTerminator,
             QStringLiteral("byte %1 tras los seis bytes de la hora (se espera el terminador %2)")
                 .arg(hexByte(byte), terminatorText()));
        step(byte);
        return;

    default:
        return;
    }
}
} // namespace sign
