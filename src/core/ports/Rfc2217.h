// Telnet with the COM-PORT-OPTION (RFC 2217) from the client's side: the bytes that set a remote serial
// line, and the answers to what the server says. No socket here: Rfc2217Port feeds it and sends what it returns.
#pragma once

#include <QByteArray>
#include <array>

class Rfc2217
{
public:
    enum : quint8 { Iac = 255, Dont = 254, Do = 253, Wont = 252, Will = 251, Sb = 250, Se = 240 };
    enum : quint8 { Binary = 0, SuppressGoAhead = 3, ComPortOption = 44 };

    Rfc2217();

    // What the client says on connect: it will use the COM port option, and binary both ways (a sign's
    // bytes include CR and NUL, which plain telnet would translate).
    QByteArray greeting();
    // Data as telnet carries it: every 0xFF doubled.
    static QByteArray escape(const QByteArray& data);
    // Baud rate, data bits, parity ('N', 'O', 'E', 'M', 'S'), stop bits (1, 2, or 3 for 1.5) and flow
    // control (0 none, 1 XON/XOFF, 2 RTS/CTS), in the order a server applies them.
    static QByteArray lineSettings(qint32 baud, int dataBits, char parity, int stopBits, int flow);
    // RTS or DTR on or off.
    static QByteArray modemLine(bool rts, bool on);

    // Reads what the server sent and returns the answers owed to it. Data from the line is dropped: a
    // sign sends nothing back.
    QByteArray feed(const QByteArray& bytes);
    // +1 the server took the COM port option, -1 it refused it, 0 no answer yet.
    int comPortState() const;
    // The server has answered the baud rate command.
    bool baudAnswered() const { return m_baudAnswered; }

private:
    enum class Read { Data, Iac, Verb, Sub, SubIac };
    enum class Opt : quint8 { Off, Asked, On };
    void negotiate(quint8 verb, quint8 option, QByteArray& answer);
    void subnegotiation();

    Read m_read = Read::Data;
    quint8 m_verb = 0;
    QByteArray m_sub;
    std::array<Opt, 256> m_us{};   // options this side performs (WILL/WONT), the server agrees with DO/DONT
    std::array<Opt, 256> m_them{}; // options the server performs
    bool m_comPortRefused = false;
    bool m_baudAnswered = false;
};
