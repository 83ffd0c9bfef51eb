// What goes on the wire, byte for byte against literal expectations: the message and clock transmissions,
// the 8000-byte cap, the delay lookup, and the character filter.
#include "core/link/SendDelays.h"
#include "core/model/Message.h"
#include "core/protocol/Filtro.h"
#include "core/protocol/MessageBuilder.h"
#include "core/settings/LineSettings.h"
#include "support/TestEnv.h"

#include <QTest>

namespace
{
using testenv::hex;
const QByteArray kSixteen("0123456789abcdef");
// The characters the sign shows with bytes 0x10 to 0x1B, in that order.
const QString kSignCodes = QStringLiteral("\u00E1\u00E9\u00ED\u00F3\u00FA\u00F1\u00D1\u00FC\u00A1\u00BF\u00BB\u00AB");
} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT

private slots:
    // Pages as "slot|effect|pause|align|text"; the body goes between "W-NT9" DF E0 and 01 01. (The one-page
    // example, HOLA Estatico centred pause 5, goes out from the window in tst_txdialogs' windowCommands.)
    void messageBytes_data()
    {
        const testenv::Table<QStringList, QByteArray> row;
        row("Hora, Fecha", QStringList{"1|11|3|2|x", "2|12|3|2|x"}, hex("A0A0A0A0A0 A2C3"));
        row("Rotacion: sign code, no padding", QStringList{"1|0|0|0|A\u00F1o"}, hex("9041156F"));
        row("empty slots skipped up to 64, quotes kept", QStringList{"1|0|0|0|AB", "3|0|0|0|\"C", "64|0|0|0|Z"},
            hex("904142 902243 905A"));
        row("Rotacion whole, fixed cut to 16", QStringList{"1|0|0|0|" + kSixteen + "XYZ", "2|1|0|0|" + kSixteen + "X"},
            "\x90" + kSixteen + "XYZ\x80" + kSixteen + "\xC2");
        row("pause 9 and a stored 200 are CA", QStringList{"1|1|8|0|a", "2|1|200|2|b"},
            hex("80 61202020202020202020202020202020 CA 80 20202020202020622020202020202020 CA"));
        QStringList all;
        QByteArray records;
        for (char code : hex("919293949596979899")) {
            all << QStringLiteral("%1|%2|0|0|").arg(all.size() + 1).arg(all.size() + 2) + kSixteen;
            records += code + kSixteen + "\xC2";
        }
        row("effects 2 to 10", all, records);
        // Only a damaged file brings these: a static page, never a record the sign cannot parse.
        row("effects 13 and 255 as Estatico", QStringList{"1|13|2|0|Hi", "2|255|0|2|Hi"},
            QByteArray("\x80Hi              \xC4\x80       Hi       \xC2"));
        // 63 Rotacion pages of 121 bytes and one that makes up 8000 or 8001: cut at 8000, terminated once more.
        QStringList full;
        QByteArray fullBody;
        for (int slot = 1; slot <= 63; ++slot) {
            full << QStringLiteral("%1|0|0|0|").arg(slot) + QString(120, u'y');
            fullBody += '\x90' + QByteArray(120, 'y');
        }
        row("8000 bytes", full + QStringList{"64|0|0|0|" + QString(367, u'z')},
            fullBody + '\x90' + QByteArray(367, 'z'));
        row("8001 bytes cut at 8000", full + QStringList{"64|0|0|0|" + QString(368, u'z')},
            fullBody + '\x90' + QByteArray(368, 'z') + '\x01');
    }
    void messageBytes()
    {
        auto [pages, body] = testenv::Table<QStringList, QByteArray>::fetch();
        Message m;
        for (const QString& p : pages) {
            const QStringList f = p.split(u'|');
            const int slot = f[0].toInt();
            m.effect[slot] = quint8(f[1].toInt());
            m.pause[slot] = quint8(f[2].toInt());
            m.align[slot] = quint8(f[3].toInt());
            m.text[slot] = f[4];
        }
        QCOMPARE(messageTransmission(m).toHex(' '), ("W-NT9\xDF\xE0" + body + "\x01\x01").toHex(' '));
    }

    // The clock's BCD: the year goes as its last two digits however many it has. (09:07:03 on 1 March 2026 and
    // 23:59:59 on 31 December go out from the date dialog in tst_txdialogs' outcomes and clockRuns.)
    void clockBcd()
    {
        QCOMPARE(dateTransmission(QDateTime(QDate(999, 1, 2), QTime(3, 4, 5))).toHex(' '),
                 hex("572D4E5439B0 030405020199 0101").toHex(' '));
    }

    // By exact text: one outside its list keeps the previous delay. (The estimate these delays give: tst_txdialogs,
    // estimate.)
    void delays_data()
    {
        const testenv::Table<QString, QString, QString> row;
        row("both listed", "200", "05", "200 5");
        row("5 is not 05", "500", "5", "500 20");
        row("1000 is not listed", "1000", "90", "10 90");
    }
    void delays()
    {
        auto [dy1, dy2, ms] = testenv::Table<QString, QString, QString>::fetch();
        DelaysInForce inForce;
        inForce.take({"", "", false, "10", "20"});
        const SendDelays d = inForce.take({"", "", false, dy1, dy2});
        QCOMPARE(QStringLiteral("%1 %2").arg(qRound(d.start * 1000)).arg(qRound(d.perChar * 1000)), ms);
    }

    // Width 0 sends the text (padded only when centred), 16 a fixed line; "model" is the page text a send leaves,
    // "=" when it stays as it was.
    void filtro_data()
    {
        const testenv::Table<QString, int, QString, QString> row;
        const QString abc = "ABC", abc16 = "ABC             ", twenty = "ABCDEFGHIJKLMNOPQRST";
        row("w16 left pads model and wire", abc, 160, abc16, abc16);
        row("w0 left sends the text only", abc, 0, abc, abc16);
        row("w0 centred sends 16", abc, 2, "      ABC       ", "      ABC       ");
        row("w16 long, cut on the wire only", twenty, 160, twenty.left(16), "=");
        row("15 centred", twenty.left(15), 2, twenty.left(15) + " ", twenty.left(15) + " ");
        row("other alignment, w16: wire padded", abc, 161, abc16, "=");
        row("controls become #", "a\tb\rc\nd\u007F#_", 3, "a#b#c#d##_", "=");
        row("sign codes", kSignCodes + u'@', 3, "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1A\x1B\x1E", "=");
        row("plain letters", "\u00C1\u00C9\u00DC\u00C7\u00E7\u00E0\u0152\u0153\u0141", 3, "AEUCcaOoL", "=");
        row("no letter is #, no-break space a blank", "5\u00B0\u20AC\u0085\u2026\u2014\u00A0", 3, "5##### ", "=");
        row("surrogate pair is two #", "a\U0001F600", 160, "a##" + abc16.mid(3), "a\U0001F600" + abc16.mid(3));
    }
    void filtro()
    {
        auto [text, widthAlign, sent, model] = testenv::Table<QString, int, QString, QString>::fetch();
        const quint8 width = quint8(widthAlign / 10), align = quint8(widthAlign % 10);
        QCOMPARE(Filtro(text, width, align), sent);
        QCOMPARE(paddedText(text, align), model == u"=" ? text : model);
    }

    // Whatever a file or the clipboard brings, each code unit is one byte below 0x80, and a byte under 0x20
    // only for the one character the sign shows with it (0x1A, say, is "»" and nothing else). Every letter of
    // Latin Extended-A goes as its base letter, whatever the low byte of its code; marks that are no letters keep
    // the low-byte rule.
    void everyCodeUnitIsOneSafeByte()
    {
        QString all;
        for (int u = 0; u <= 0xFFFF; ++u)
            all += QChar(char16_t(u));
        const QString out = Filtro(all, 0, 0);
        QCOMPARE(out.size(), all.size());
        for (int u = 0; u <= 0xFFFF; ++u) {
            const char16_t c = out.at(u).unicode();
            const bool own = c >= 0x10 && c <= 0x1B ? kSignCodes.at(c - 0x10) == QChar(u) : c == 0x1E && u == '@';
            if (c >= 0x80 || (c < 0x20 && !own))
                QFAIL(qPrintable(QStringLiteral("U+%1 -> %2").arg(u, 4, 16).arg(c, 2, 16)));
        }
        QCOMPARE(out.mid(0x100, 0x80),
                 QStringLiteral("AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiIiJjKkk"
                                "LlLlLlLlLlNnNnNnnNnOoOoOoOoRrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs"));
        QCOMPARE(QString(out.at(0x2019)) + out.at(0x2013) + out.at(0x2014), QStringLiteral("###"));
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
