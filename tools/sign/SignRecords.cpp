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
    m_page.bytes.append(char(byte));
    const QChar c = charForByte(byte);
    if (c.isNull()) {
        m_page.text.append(QChar(0xFFFD));
        fail(ErrorKind::BadCharacter,
             QStringLiteral("byte %1 en el texto de la pagina %2: el cartel no tiene ese caracter")
                 .arg(hexByte(byte))
                 .arg(m_tx.pages.size() + 1),
             false);
    } else {
        m_page.text.append(c);
    }
}

void Decoder::startRecord(std::uint8_t byte)
{
    const int effect = effectForRecordCode(byte);
    if (effect < 0) {
        fail(ErrorKind::UnknownRecord, QStringLiteral("codigo de registro desconocido %1 en la pagina %2")
                                           .arg(hexByte(byte))
                                           .arg(m_tx.pages.size() + 1));
        step(byte);
        return;
    }
    m_page = Page{};
    m_page.code = byte;
    m_page.effect = effect;
    switch (Effects[std::size_t(effect)].kind) {
    case Kind::Line:
        m_state = State::FixedText;
        return;
    case Kind::WholeText:
        m_state = State::WholeText;
        return;
    case Kind::Clock:
        m_recordMatched = 1;
        m_state = State::ClockRecord;
        if (m_recordMatched == clockRecord(effect).size()) {
            m_tx.pages.append(m_page);
            m_state = State::RecordCode;
        }
        return;
    }
}

QString Decoder::recordCutText() const
{
    switch (m_beforeTerminator) {
    case State::WholeText:
        return QStringLiteral("registro %1 sin texto cortado por el terminador").arg(recordName(m_page));
    case State::FixedText:
        return QStringLiteral("registro %1 cortado por el terminador tras %2 de %3 caracteres")
            .arg(recordName(m_page))
            .arg(m_page.bytes.size())
            .arg(effectOf(m_page.effect).width);
    case State::Pause:
        return QStringLiteral("registro %1 cortado por el terminador antes del byte de pausa").arg(recordName(m_page));
    case State::ClockRecord: {
        const QByteArray record = clockRecord(m_page.effect);
        if (repeatsOneByte(record))
            return QStringLiteral("registro %1 cortado por el terminador tras %2 de %3 bytes %4")
                .arg(effectName(m_page.effect))
                .arg(m_recordMatched)
                .arg(record.size())
                .arg(hexByte(m_page.code));
        return QStringLiteral("registro %1 cortado por el terminador antes de %2")
            .arg(effectName(m_page.effect), hexByte(std::uint8_t(record.at(m_recordMatched))));
    }
    default:
        return QString();
    }
}

void Decoder::stepRecord(std::uint8_t byte)
{
    switch (m_state) {
    case State::FixedText:
        if (byte >= FirstCommandByte) {
            fail(ErrorKind::ShortRecord, QStringLiteral("registro %1 con %2 de %3 caracteres: lo corta el byte %4")
                                             .arg(recordName(m_page))
                                             .arg(m_page.bytes.size())
                                             .arg(effectOf(m_page.effect).width)
                                             .arg(hexByte(byte)));
            step(byte);
            return;
        }
        appendText(byte);
        if (m_page.bytes.size() == effectOf(m_page.effect).width)
            m_state = State::Pause;
        return;

    case State::Pause:
        if (const int pause = pauseOfByte(byte)) {
            m_page.pause = pause;
            m_tx.pages.append(m_page);
            m_state = State::RecordCode;
        } else if (effectForRecordCode(byte) >= 0) {
            fail(ErrorKind::ShortRecord, QStringLiteral("registro %1 sin byte de pausa: le sigue el codigo %2")
                                             .arg(recordName(m_page), hexByte(byte)));
            step(byte);
        } else {
            fail(ErrorKind::BadPause, QStringLiteral("byte de pausa %1 en el registro %2 (se espera %3 a %4)")
                                          .arg(hexByte(byte), recordName(m_page), hexByte(pauseByteFor(0)),
                                               hexByte(pauseByteFor(MaxPause - 1))));
            step(byte);
        }
        return;

    case State::WholeText:
        if (byte >= FirstCommandByte) {
            if (m_page.bytes.isEmpty()) {
                fail(ErrorKind::ShortRecord,
                     QStringLiteral("registro %1 sin texto: le sigue %2").arg(recordName(m_page), hexByte(byte)));
                step(byte);
                return;
            }
            m_tx.pages.append(m_page);
            startRecord(byte);
            return;
        }
        appendText(byte);
        return;

    case State::ClockRecord: {
        const QByteArray record = clockRecord(m_page.effect);
        if (byte == std::uint8_t(record.at(m_recordMatched))) {
            if (++m_recordMatched == record.size()) {
                m_tx.pages.append(m_page);
                m_state = State::RecordCode;
            }
            return;
        }
        if (repeatsOneByte(record)) {
            fail(ErrorKind::BadClockRecord, QStringLiteral("registro %1 con %2 de %3 bytes %4: le sigue %5")
                                                .arg(effectName(m_page.effect))
                                                .arg(m_recordMatched)
                                                .arg(record.size())
                                                .arg(hexByte(m_page.code), hexByte(byte)));
        } else {
            QStringList seen;
            for (int i = 0; i < m_recordMatched; ++i)
                seen << hexByte(std::uint8_t(record.at(i)));
            fail(ErrorKind::BadClockRecord, QStringLiteral("registro %1 %2 seguido de %3 (se espera %4)")
                                                .arg(effectName(m_page.effect), seen.join(QLatin1Char(' ')),
                                                     hexByte(byte), hexByte(std::uint8_t(record.at(m_recordMatched)))));
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
    const int i = m_clockBytes.size();
    const int v = bcdValue(byte);
    // A wrong clock byte is reported but still counted: the terminator comes after exactly six.
    if (v < 0 || v < limits[i][0] || v > limits[i][1]) {
        fail(ErrorKind::InvalidBcd,
             QStringLiteral("%1 %2 en la orden de hora: %3")
                 .arg(QLatin1String(names[i]), hexByte(byte),
                      v < 0 ? QStringLiteral("no es BCD") : QStringLiteral("fuera de rango")),
             false);
    }
    m_clockBytes.append(char(byte));
    if (m_clockBytes.size() < ClockFieldCount)
        return;
    m_state = State::ClockEnd;
    if (!m_tx.errors.isEmpty())
        return;
    Clock c;
    c.hour = bcdValue(m_clockBytes[0]);
    c.minute = bcdValue(m_clockBytes[1]);
    c.second = bcdValue(m_clockBytes[2]);
    c.day = bcdValue(m_clockBytes[3]);
    c.month = bcdValue(m_clockBytes[4]);
    c.year = bcdValue(m_clockBytes[5]);
    if (!QDate(2000 + c.year, c.month, c.day).isValid()) {
        fail(ErrorKind::InvalidBcd,
             QStringLiteral("fecha inexistente %1/%2/%3 en la orden de hora")
                 .arg(c.day, 2, 10, QLatin1Char('0'))
                 .arg(c.month, 2, 10, QLatin1Char('0'))
                 .arg(c.year, 2, 10, QLatin1Char('0')),
             false);
        return;
    }
    m_tx.clock = c;
    m_tx.clockValid = true;
}
} // namespace sign
