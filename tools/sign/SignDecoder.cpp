// The sign's streaming decoder: a byte-at-a-time state machine over the protocol.
#include "SignDecoder.h"

#include "preview/SignCodes.h"

#include <QDate>

namespace sign
{
using namespace signcodes;

namespace
{
QString hex(std::uint8_t b)
{
    return QStringLiteral("0x%1").arg(b, 2, 16, QLatin1Char('0')).toUpper().replace(QLatin1String("0X"),
                                                                                     QLatin1String("0x"));
}

QString recordName(const Page& p)
{
    return QStringLiteral("%1 (%2)").arg(effectName(p.effect), hex(p.code));
}

int bcdValue(std::uint8_t b)
{
    const int hi = b >> 4, lo = b & 0x0F;
    return (hi > 9 || lo > 9) ? -1 : hi * 10 + lo;
}
} // namespace

QString errorKindName(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::BadPreamble: return QStringLiteral("bad-preamble");
    case ErrorKind::UnknownCommand: return QStringLiteral("unknown-command");
    case ErrorKind::BadSpeed: return QStringLiteral("bad-speed");
    case ErrorKind::UnknownRecord: return QStringLiteral("unknown-record");
    case ErrorKind::ShortRecord: return QStringLiteral("short-record");
    case ErrorKind::CutByTerminator: return QStringLiteral("cut-by-terminator");
    case ErrorKind::BadPause: return QStringLiteral("bad-pause");
    case ErrorKind::BadClockRecord: return QStringLiteral("bad-clock-record");
    case ErrorKind::BadCharacter: return QStringLiteral("bad-character");
    case ErrorKind::InvalidBcd: return QStringLiteral("invalid-bcd");
    case ErrorKind::BadTerminator: return QStringLiteral("bad-terminator");
    case ErrorKind::BytesAfterTerminator: return QStringLiteral("bytes-after-terminator");
    case ErrorKind::Silence: return QStringLiteral("silence");
    }
    return QString();
}

QString clockText(const Clock& c)
{
    auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    return QStringLiteral("Hora %1:%2:%3 Fecha %4/%5/%6")
        .arg(two(c.hour), two(c.minute), two(c.second), two(c.day), two(c.month), two(c.year));
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
    step(byte);
}

void Decoder::poll(qint64 nowMs)
{
    if (!haveLastByte_ || nowMs - lastByteMs_ <= SilenceLimitMs)
        return;
    nowMs_ = nowMs;
    const QString seconds = QString::number((nowMs - lastByteMs_) / 1000.0, 'f', 1);
    if (state_ == State::Preamble || (state_ == State::Terminator2 && beforeTerminator_ == State::Preamble)) {
        outsideError(ErrorKind::Silence, QStringLiteral("silencio de %1 s en medio del preambulo '%2'")
                                             .arg(seconds, QString::fromLatin1(Preamble, preambleMatched_)));
    } else if (inTransmission()) {
        fail(ErrorKind::Silence,
             QStringLiteral("silencio de %1 s dentro de una transmision: se descarta y se espera otro preambulo")
                 .arg(seconds));
    }
    // Whatever comes after a long silence is judged afresh.
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

bool Decoder::inTransmission() const { return inside(state_); }

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

void Decoder::appendText(std::uint8_t byte)
{
    page_.bytes.append(char(byte));
    const QChar c = charForByte(byte);
    if (c.isNull()) {
        page_.text.append(QChar(0xFFFD));
        fail(ErrorKind::BadCharacter,
             QStringLiteral("byte %1 en el texto de la pagina %2: el cartel no tiene ese caracter")
                 .arg(hex(byte))
                 .arg(tx_.pages.size() + 1),
             false);
    } else {
        page_.text.append(c);
    }
}

void Decoder::stepPreamble(std::uint8_t byte)
{
    if (byte == std::uint8_t(Preamble[preambleMatched_])) {
        if (++preambleMatched_ == 5)
            beginTransmission();
        return;
    }
    const QString seen = QString::fromLatin1(Preamble, preambleMatched_);
    if (byte == Terminator) {
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
        outsideError(ErrorKind::BadPreamble,
                     QStringLiteral("preambulo incorrecto: '%1' seguido de %2 (se espera 'W-NT9')").arg(seen, hex(byte)));
        junkReported_ = true;
    }
    step(byte);
}

void Decoder::startRecord(std::uint8_t byte)
{
    const int effect = effectForCode(byte);
    if (effect < 0) {
        fail(ErrorKind::UnknownRecord, QStringLiteral("codigo de registro desconocido %1 en la pagina %2")
                                           .arg(hex(byte))
                                           .arg(tx_.pages.size() + 1));
        step(byte);
        return;
    }
    page_ = Page{};
    page_.code = byte;
    page_.effect = effect;
    if (isFixedWidth(effect))
        state_ = State::FixedText;
    else if (effect == 0)
        state_ = State::RotacionText;
    else if (effect == 11) {
        horaCount_ = 1;
        state_ = State::HoraRest;
    } else
        state_ = State::FechaRest;
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
                         .arg(QString::fromLatin1(Preamble, preambleMatched_)));
        state_ = State::AfterEnd;
        return;
    case State::RecordCode:
    case State::ClockEnd:
        endTransmission(true);
        return;
    case State::RotacionText:
        if (page_.bytes.isEmpty())
            return cut(QStringLiteral("registro Rotacion (0x90) sin texto cortado por el terminador"));
        tx_.pages.append(page_);
        endTransmission(true);
        return;
    case State::Command:
        return cut(QStringLiteral("transmision cortada por el terminador despues del preambulo"));
    case State::Speed:
        return cut(QStringLiteral("transmision cortada por el terminador antes del byte de velocidad"));
    case State::FixedText:
        return cut(QStringLiteral("registro %1 cortado por el terminador tras %2 de 16 caracteres")
                       .arg(recordName(page_))
                       .arg(page_.bytes.size()));
    case State::Pause:
        return cut(QStringLiteral("registro %1 cortado por el terminador antes del byte de pausa").arg(recordName(page_)));
    case State::HoraRest:
        return cut(QStringLiteral("registro Hora cortado por el terminador tras %1 de 5 bytes 0xA0").arg(horaCount_));
    case State::FechaRest:
        return cut(QStringLiteral("registro Fecha cortado por el terminador antes de 0xC3"));
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
            if (byte == Terminator) {
                beforeTerminator_ = State::Skipping;
                state_ = State::Terminator2;
            }
        } else if (state_ == State::AfterEnd) {
            outsideError(ErrorKind::BytesAfterTerminator,
                         QStringLiteral("byte %1 despues del terminador").arg(hex(byte)));
            state_ = State::Idle;
            junkReported_ = true;
        } else if (!junkReported_) {
            outsideError(ErrorKind::BadPreamble,
                         QStringLiteral("byte %1 fuera de una transmision (se espera el preambulo 'W-NT9')").arg(hex(byte)));
            junkReported_ = true;
        }
        return;

    case State::Preamble:
        stepPreamble(byte);
        return;

    case State::Terminator2:
        if (byte == Terminator) {
            terminatorSeen();
            return;
        }
        if (beforeTerminator_ == State::Skipping) {
            state_ = State::Skipping;
        } else if (beforeTerminator_ == State::Preamble) {
            state_ = State::Idle;
            if (!junkReported_) {
                outsideError(ErrorKind::BadPreamble,
                             QStringLiteral("preambulo incorrecto: '%1' seguido de 0x01 y %2")
                                 .arg(QString::fromLatin1(Preamble, preambleMatched_), hex(byte)));
                junkReported_ = true;
            }
        } else {
            fail(ErrorKind::BadTerminator, QStringLiteral("0x01 seguido de %1: el terminador es 0x01 0x01").arg(hex(byte)));
        }
        step(byte);
        return;

    default:
        break;
    }

    // Inside a transmission a lone 0x01 can only begin the terminator, except among the clock's BCD bytes.
    if (byte == Terminator && state_ != State::ClockBytes) {
        beforeTerminator_ = state_;
        state_ = State::Terminator2;
        return;
    }

    switch (state_) {
    case State::Command:
        tx_.command = byte;
        if (byte == CmdMessage) {
            tx_.kind = Transmission::Kind::Message;
            state_ = State::Speed;
        } else if (byte == CmdClock) {
            tx_.kind = Transmission::Kind::Clock;
            clockBytes_.clear();
            state_ = State::ClockBytes;
        } else {
            fail(ErrorKind::UnknownCommand,
                 QStringLiteral("orden desconocida %1 tras el preambulo (se espera 0xDF o 0xB0)").arg(hex(byte)));
            step(byte);
        }
        return;

    case State::Speed:
        if (speedName(byte).isEmpty()) {
            fail(ErrorKind::BadSpeed, QStringLiteral("velocidad desconocida %1 (se espera 0xE0, 0xE3 o 0xE6)").arg(hex(byte)));
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
        if (byte >= 0x80) {
            fail(ErrorKind::ShortRecord, QStringLiteral("registro %1 con %2 de 16 caracteres: lo corta el byte %3")
                                             .arg(recordName(page_))
                                             .arg(page_.bytes.size())
                                             .arg(hex(byte)));
            step(byte);
            return;
        }
        appendText(byte);
        if (page_.bytes.size() == LineWidth)
            state_ = State::Pause;
        return;

    case State::Pause:
        if (byte >= PauseBase + 1 && byte <= PauseBase + 9) {
            page_.pause = byte - PauseBase;
            tx_.pages.append(page_);
            state_ = State::RecordCode;
        } else if (effectForCode(byte) >= 0) {
            fail(ErrorKind::ShortRecord,
                 QStringLiteral("registro %1 sin byte de pausa: le sigue el codigo %2").arg(recordName(page_), hex(byte)));
            step(byte);
        } else {
            fail(ErrorKind::BadPause, QStringLiteral("byte de pausa %1 en el registro %2 (se espera 0xC2 a 0xCA)")
                                          .arg(hex(byte), recordName(page_)));
            step(byte);
        }
        return;

    case State::RotacionText:
        if (byte >= 0x80) {
            if (page_.bytes.isEmpty()) {
                fail(ErrorKind::ShortRecord, QStringLiteral("registro Rotacion (0x90) sin texto: le sigue %1").arg(hex(byte)));
                step(byte);
                return;
            }
            tx_.pages.append(page_);
            startRecord(byte);
            return;
        }
        appendText(byte);
        return;

    case State::HoraRest:
        if (byte == 0xA0) {
            if (++horaCount_ == 5) {
                tx_.pages.append(page_);
                state_ = State::RecordCode;
            }
            return;
        }
        fail(ErrorKind::BadClockRecord,
             QStringLiteral("registro Hora con %1 de 5 bytes 0xA0: le sigue %2").arg(horaCount_).arg(hex(byte)));
        step(byte);
        return;

    case State::FechaRest:
        if (byte == FechaSecond) {
            tx_.pages.append(page_);
            state_ = State::RecordCode;
            return;
        }
        fail(ErrorKind::BadClockRecord, QStringLiteral("registro Fecha 0xA2 seguido de %1 (se espera 0xC3)").arg(hex(byte)));
        step(byte);
        return;

    case State::ClockBytes: {
        static const char* const names[6] = {"hora", "minuto", "segundo", "dia", "mes", "ano"};
        static const int limits[6][2] = {{0, 23}, {0, 59}, {0, 59}, {1, 31}, {1, 12}, {0, 99}};
        const int i = clockBytes_.size();
        const int v = bcdValue(byte);
        // A wrong clock byte is reported but still counted: the terminator comes after exactly six.
        if (v < 0 || v < limits[i][0] || v > limits[i][1]) {
            fail(ErrorKind::InvalidBcd, QStringLiteral("%1 %2 en la orden de hora: %3")
                                            .arg(QLatin1String(names[i]), hex(byte),
                                                 v < 0 ? QStringLiteral("no es BCD") : QStringLiteral("fuera de rango")),
                 false);
        }
        clockBytes_.append(char(byte));
        if (clockBytes_.size() < 6)
            return;
        state_ = State::ClockEnd;
        if (!tx_.errors.isEmpty())
            return;
        Clock c;
        c.hour = bcdValue(clockBytes_[0]);
        c.minute = bcdValue(clockBytes_[1]);
        c.second = bcdValue(clockBytes_[2]);
        c.day = bcdValue(clockBytes_[3]);
        c.month = bcdValue(clockBytes_[4]);
        c.year = bcdValue(clockBytes_[5]);
        if (!QDate(2000 + c.year, c.month, c.day).isValid()) {
            fail(ErrorKind::InvalidBcd, QStringLiteral("fecha inexistente %1/%2/%3 en la orden de hora")
                                            .arg(c.day, 2, 10, QLatin1Char('0'))
                                            .arg(c.month, 2, 10, QLatin1Char('0'))
                                            .arg(c.year, 2, 10, QLatin1Char('0')),
                 false);
            return;
        }
        tx_.clock = c;
        tx_.clockValid = true;
        return;
    }

    case State::ClockEnd:
        fail(ErrorKind::BadTerminator,
             QStringLiteral("byte %1 tras los seis bytes de la hora (se espera el terminador 0x01 0x01)").arg(hex(byte)));
        step(byte);
        return;

    default:
        return;
    }
}
} // namespace sign
