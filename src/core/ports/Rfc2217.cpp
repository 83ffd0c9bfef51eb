// The telnet option negotiation a COM port client needs, answering each request once so two sides
// never loop on each other.
#include "core/ports/Rfc2217.h"

namespace
{
// COM-PORT-OPTION commands from client to server; the server answers each with the code plus 100.
enum : quint8 { SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, SetControl = 5 };
constexpr quint8 ServerOffset = 100;

QByteArray command(quint8 cmd, const QByteArray& value)
{
    return QByteArray("\xFF\xFA", 2) + char(Rfc2217::ComPortOption) + char(cmd) + Rfc2217::escape(value) +
           QByteArray("\xFF\xF0", 2);
}

bool weWill(quint8 option)
{
    return option == Rfc2217::ComPortOption || option == Rfc2217::Binary;
}
bool weAccept(quint8 option)
{
    return option == Rfc2217::Binary || option == Rfc2217::SuppressGoAhead;
}
} // namespace

Rfc2217::Rfc2217()
{
    m_us.fill(Opt::Off);
    m_them.fill(Opt::Off);
}

QByteArray Rfc2217::greeting()
{
    m_us[ComPortOption] = m_us[Binary] = m_them[Binary] = Opt::Asked;
    return QByteArray("\xFF\xFB", 2) + char(ComPortOption) + QByteArray("\xFF\xFB", 2) + char(Binary) +
           QByteArray("\xFF\xFD", 2) + char(Binary);
}

QByteArray Rfc2217::escape(const QByteArray& data)
{
    if (!data.contains('\xFF'))
        return data;
    QByteArray out;
    out.reserve(data.size() * 2);
    for (char c : data) {
        out += c;
        if (c == '\xFF')
            out += c;
    }
    return out;
}

QByteArray Rfc2217::lineSettings(qint32 baud, int dataBits, char parity, int stopBits, int flow)
{
    const char bigEndian[4] = {char(baud >> 24), char(baud >> 16), char(baud >> 8), char(baud)};
    const QByteArray rate(bigEndian, 4);
    const int parityCode = QByteArray("NOEMS").indexOf(parity) + 1;
    return command(SetBaudRate, rate) + command(SetDataSize, QByteArray(1, char(dataBits))) +
           command(SetParity, QByteArray(1, char(parityCode))) + command(SetStopSize, QByteArray(1, char(stopBits))) +
           command(SetControl, QByteArray(1, char(flow + 1)));
}

QByteArray Rfc2217::modemLine(bool rts, bool on)
{
    // SET-CONTROL: DTR on 8, off 9; RTS on 11, off 12.
    return command(SetControl, QByteArray(1, char(rts ? (on ? 11 : 12) : (on ? 8 : 9))));
}

int Rfc2217::comPortState() const
{
    return m_comPortRefused ? -1 : m_us[ComPortOption] == Opt::On ? 1 : 0;
}

QByteArray Rfc2217::feed(const QByteArray& bytes)
{
    QByteArray answer;
    for (char ch : bytes) {
        const quint8 c = quint8(ch);
        switch (m_read) {
        case Read::Data:
            if (c == Iac)
                m_read = Read::Iac;
            break;
        case Read::Iac:
            m_read = Read::Data; // IAC IAC is a data 0xFF; other commands (NOP, GA...) carry nothing
            if (c == Sb) {
                m_sub.clear();
                m_read = Read::Sub;
            } else if (c >= Will && c <= Dont) {
                m_verb = c;
                m_read = Read::Verb;
            }
            break;
        case Read::Verb:
            negotiate(m_verb, c, answer);
            m_read = Read::Data;
            break;
        case Read::Sub:
            if (c == Iac)
                m_read = Read::SubIac;
            else
                m_sub += ch;
            break;
        case Read::SubIac:
            if (c == Se) {
                subnegotiation();
                m_read = Read::Data;
            } else {
                m_sub += ch; // IAC IAC inside: one 0xFF
                m_read = Read::Sub;
            }
            break;
        }
    }
    return answer;
}

// A request that would change nothing gets no answer; one that does is agreed to or refused once.
void Rfc2217::negotiate(quint8 verb, quint8 option, QByteArray& answer)
{
    const bool us = verb == Do || verb == Dont;
    const bool enable = verb == Do || verb == Will;
    Opt& state = us ? m_us[option] : m_them[option];
    auto say = [&](quint8 v) { answer += char(Iac) + QByteArray(1, char(v)) + char(option); };
    if (enable) {
        if (state == Opt::Off && (us ? weWill(option) : weAccept(option)))
            say(us ? Will : Do);
        else if (state == Opt::Off)
            return say(us ? Wont : Dont);
        state = Opt::On;
    } else {
        if (state == Opt::On)
            say(us ? Wont : Dont);
        if (us && option == ComPortOption && state != Opt::Off)
            m_comPortRefused = true;
        state = Opt::Off;
    }
}

void Rfc2217::subnegotiation()
{
    if (m_sub.size() >= 2 && quint8(m_sub[0]) == ComPortOption && quint8(m_sub[1]) == ServerOffset + SetBaudRate)
        m_baudAnswered = true;
}
