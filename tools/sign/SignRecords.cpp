// The sign's decoder inside a transmission: page records of a message and the six bytes of the clock command.
#include "SignDecoder.h"

#include "core/protocol/SignProtocol.h"

#include <QDate>
#include <QStringList>

namespace sign
{
using namespace signproto;

namespace
{
QString recordName(const Page& p)
{
    return QStringLiteral("%1 (%2)").arg(effectName(p.effect), hexByte(p.code));
}

int bcdValue(std::uint8_t b)
{
    const int hi = b >> 4, lo = b & 0x0F;
    return (hi > 9 || lo > 9) ? -1 : hi * 10 + lo;
}

// A clock record made of one byte repeated is counted ("3 de 5 bytes 0xA0"); any other is spelled out.
bool repeatsOneByte(const QByteArray& record)
{
    return record.count(record.front()) == record.size();
}
} // namespace

QString hexByte(std::uint8_t b)
{
    return QStringLiteral("0x%1")
        .arg(b, 2, 16, QLatin1Char('0'))
        .toUpper()
        .replace(QLatin1String("0X"), QLatin1String("0x"));
}

QString clockText(const Clock& c)
{
    auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    return QStringLiteral("Hora %1:%2:%3 Fecha %4/%5/%6")
        .arg(two(c.hour), two(c.minute), two(c.second), two(c.day), two(c.month), two(c.year));
}

void Decoder::appendText(std::uint8_t byte)
{
    page_.bytes.append(char(byte));
    const QChar c = charForByte(byte);
    if (c.isNull()) {
        page_.text.append(QChar(0xFFFD));
        fail(ErrorKind::BadCharacter,
             QStringLiteral("byte %1 en el texto de la pagina %2: el cartel no tiene ese caracter")
                 .arg(hexByte(byte))
                 .arg(tx_.pages.size() + 1),
             false);
    } else {
        page_.text.append(c);
    }
}

void Decoder::startRecord(std::uint8_t byte)
{
    const int effect = effectForRecordCode(byte);
    if (effect < 0) {
        fail(ErrorKind::UnknownRecord, QStringLiteral("codigo de registro desconocido %1 en la pagina %2")
                                           .arg(hexByte(byte))
                                           .arg(tx_.pages.size() + 1));
        step(byte);
        return;
    }
    page_ = Page{};
    page_.code = byte;
    page_.effect = effect;
    switch (Effects[std::size_t(effect)].kind) {
    case Kind::Line:
        state_ = State::FixedText;
        return;
    case Kind::WholeText:
        state_ = State::WholeText;
        return;
    case Kind::Clock:
        recordMatched_ = 1;
        state_ = State::ClockRecord;
        if (recordMatched_ == clockRecord(effect).size()) {
            tx_.pages.append(page_);
            state_ = State::RecordCode;
        }
        return;
    }
}

QString Decoder::recordCutText() const
{
    switch (beforeTerminator_) {
    case State::WholeText:
        return QStringLiteral("registro %1 sin texto cortado por el terminador").arg(recordName(page_));
    case State::FixedText:
        return QStringLiteral("registro %1 cortado por el terminador tras %2 de %3 caracteres")
            .arg(recordName(page_))
            .arg(page_.bytes.size())
            .arg(effectOf(page_.effect).width);
    case State::Pause:
        return QStringLiteral("registro %1 cortado por el terminador antes del byte de pausa").arg(recordName(page_));
    case State::ClockRecord: {
        const QByteArray record = clockRecord(page_.effect);
        if (repeatsOneByte(record))
            return QStringLiteral("registro %1 cortado por el terminador tras %2 de %3 bytes %4")
                .arg(effectName(page_.effect))
                .arg(recordMatched_)
                .arg(record.size())
                .arg(hexByte(page_.code));
        return QStringLiteral("registro %1 cortado por el terminador antes de %2")
            .arg(effectName(page_.effect), hexByte(std::uint8_t(record.at(recordMatched_))));
    }
    default:
        return QString();
    }
}

void Decoder::stepRecord(std::uint8_t byte)
{
    switch (state_) {
    case State::FixedText:
        if (byte >= FirstCommandByte) {
            fail(ErrorKind::ShortRecord, QStringLiteral("registro %1 con %2 de %3 caracteres: lo corta el byte %4")
                                             .arg(recordName(page_))
                                             .arg(page_.bytes.size())
                                             .arg(effectOf(page_.effect).width)
                                             .arg(hexByte(byte)));
            step(byte);
            return;
        }
        appendText(byte);
        if (page_.bytes.size() == effectOf(page_.effect).width)
            state_ = State::Pause;
        return;

    case State::Pause:
        if (const int pause = pauseOfByte(byte)) {
            page_.pause = pause;
            tx_.pages.append(page_);
            state_ = State::RecordCode;
        } else if (effectForRecordCode(byte) >= 0) {
            fail(ErrorKind::ShortRecord, QStringLiteral("registro %1 sin byte de pausa: le sigue el codigo %2")
                                             .arg(recordName(page_), hexByte(byte)));
            step(byte);
        } else {
            fail(ErrorKind::BadPause, QStringLiteral("byte de pausa %1 en el registro %2 (se espera %3 a %4)")
                                          .arg(hexByte(byte), recordName(page_), hexByte(pauseByteFor(0)),
                                               hexByte(pauseByteFor(MaxPause - 1))));
            step(byte);
        }
        return;

    case State::WholeText:
        if (byte >= FirstCommandByte) {
            if (page_.bytes.isEmpty()) {
                fail(ErrorKind::ShortRecord,
                     QStringLiteral("registro %1 sin texto: le sigue %2").arg(recordName(page_), hexByte(byte)));
                step(byte);
                return;
            }
            tx_.pages.append(page_);
            startRecord(byte);
            return;
        }
        appendText(byte);
        return;

    case State::ClockRecord: {
        const QByteArray record = clockRecord(page_.effect);
        if (byte == std::uint8_t(record.at(recordMatched_))) {
            if (++recordMatched_ == record.size()) {
                tx_.pages.append(page_);
                state_ = State::RecordCode;
            }
            return;
        }
        if (repeatsOneByte(record)) {
            fail(ErrorKind::BadClockRecord, QStringLiteral("registro %1 con %2 de %3 bytes %4: le sigue %5")
                                                .arg(effectName(page_.effect))
                                                .arg(recordMatched_)
                                                .arg(record.size())
                                                .arg(hexByte(page_.code), hexByte(byte)));
        } else {
            QStringList seen;
            for (int i = 0; i < recordMatched_; ++i)
                seen << hexByte(std::uint8_t(record.at(i)));
            fail(ErrorKind::BadClockRecord, QStringLiteral("registro %1 %2 seguido de %3 (se espera %4)")
                                                .arg(effectName(page_.effect), seen.join(QLatin1Char(' ')),
                                                     hexByte(byte), hexByte(std::uint8_t(record.at(recordMatched_)))));
        }
        step(byte);
        return;
    }

    default:
        return;
    }
}

void Decoder::stepClockBytes(std::uint8_t byte)
{
    static const char* const names[ClockFieldCount] = {"hora", "minuto", "segundo", "dia", "mes", "ano"};
    static const int limits[ClockFieldCount][2] = {{0, 23}, {0, 59}, {0, 59}, {1, 31}, {1, 12}, {0, 99}};
    const int i = clockBytes_.size();
    const int v = bcdValue(byte);
    // A wrong clock byte is reported but still counted: the terminator comes after exactly six.
    if (v < 0 || v < limits[i][0] || v > limits[i][1]) {
        fail(ErrorKind::InvalidBcd,
             QStringLiteral("%1 %2 en la orden de hora: %3")
                 .arg(QLatin1String(names[i]), hexByte(byte),
                      v < 0 ? QStringLiteral("no es BCD") : QStringLiteral("fuera de rango")),
             false);
    }
    clockBytes_.append(char(byte));
    if (clockBytes_.size() < ClockFieldCount)
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
        fail(ErrorKind::InvalidBcd,
             QStringLiteral("fecha inexistente %1/%2/%3 en la orden de hora")
                 .arg(c.day, 2, 10, QLatin1Char('0'))
                 .arg(c.month, 2, 10, QLatin1Char('0'))
                 .arg(c.year, 2, 10, QLatin1Char('0')),
             false);
        return;
    }
    tx_.clock = c;
    tx_.clockValid = true;
}
} // namespace sign
