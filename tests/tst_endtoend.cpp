// End to end: Tivor's own send path writes to a pseudo-terminal and the virtual sign's decoder reads it.
#include "SignDecoder.h"
#include "link/SignProtocol.h"
#include "link/Filtro.h"
#include "link/SerialLink.h"
#include "link/PacedSend.h"
#include "link/Transmission.h"
#include "model/Module1.h"
#include "platform/MSComm.h"
#include "settings/RegSett.h"
#include "support/Pty.h"
#include "support/TestEnv.h"

#include <QStandardPaths>
#include <QTest>

using namespace Module1;

namespace
{
// What the sign must receive for one page: built from the model through the same filter the
// transmission uses, on a copy so the model is not touched here.
struct Expected
{
    int effect;
    QByteArray bytes;
    int pause;
};

QList<Expected> expectedPages()
{
    QList<Expected> out;
    for (int i = 1; i <= MaxPages; ++i) {
        if (PageText[i].isEmpty())
            continue;
        const int effect = PageEffect[i];
        QByteArray bytes;
        if (effect != signproto::EffectHora && effect != signproto::EffectFecha) {
            QString text = PageText[i];
            quint8 width = signproto::takesPause(effect) ? 16 : 0;
            quint8 align = PageAlign[i];
            bytes = Filtro(text, width, align).toLatin1();
        }
        out.append({effect, bytes, signproto::takesPause(effect) ? std::min(PagePause[i] + 1, 9) : 0});
    }
    return out;
}

void comparePages(const QList<sign::Page>& got, const QList<Expected>& want)
{
    QCOMPARE(got.size(), want.size());
    for (int i = 0; i < got.size(); ++i) {
        QCOMPARE(got[i].effect, want[i].effect);
        QCOMPARE(got[i].code, signproto::Effects[std::size_t(want[i].effect)].code);
        QCOMPARE(got[i].bytes, want[i].bytes);
        QCOMPARE(got[i].pause, want[i].pause);
        QVERIFY(!got[i].text.contains(QChar(0xFFFD)));
    }
}

// Opens Tivor's port on a fresh pseudo-terminal, sends TxBuffer with the real paced sending (and the
// terminator after a cancel), and decodes what arrived with the times it arrived.
struct Wire
{
    testpty::Pty pty;
    MSComm port;
    TxOutcome outcome = TxOutcome::Failed;
    QList<sign::Event> events;

    bool send(const std::function<void()>& progress = {})
    {
        ComPort = pty.slavePath();
        ComBaud = QStringLiteral("9600");
        if (!pty.ok() || !openComPort(port))
            return false;
        outcome = sendPaced(port, progress);
        int expected = TxLength;
        if (outcome == TxOutcome::Cancelled) {
            expected = TxPos + 2;
            if (!sendTerminator(port))
                return false;
        }
        if (!pty.waitForBytes(expected, 20000))
            return false;
        sign::Decoder decoder;
        for (const testpty::Received& r : pty.received())
            decoder.feedByte(r.byte, r.ns / 1000000);
        events = decoder.takeEvents();
        return true;
    }
};

void setPage(int slot, int effect, const QString& text, int pause = 0, int align = AlignLeft)
{
    PageText[slot] = text;
    PageEffect[slot] = quint8(effect);
    PagePause[slot] = quint8(pause);
    PageAlign[slot] = quint8(align);
    PageCount = std::max<int>(PageCount, slot);
}

void noDelays()
{
    TxDelayStart = 0;
    TxDelayChar = 0;
}
} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        testenv::reset(m_dir);
        resetTransmissionState();
        PageCount = 1;
        CurrentPage = 1;
        DY1 = QStringLiteral("10");
        DY2 = QStringLiteral("01");
    }

    void everyEffectBothAlignmentsRealTiming()
    {
        const QString accents = QString::fromUtf8("¡Año «ü» @Ñ¿");
        for (int e = 0; e <= 12; ++e)
            setPage(e + 1, e, signproto::isClock(e) ? signproto::placeholderOf(e)
                                  : e % 2 ? accents : QStringLiteral("Efecto %1").arg(e),
                    e % 9, e % 2 ? AlignCenter : AlignLeft);
        const QList<Expected> want = expectedPages();
        QVERIFY(buildMessageTransmission());
        Wire w;
        QVERIFY(w.send());
        QCOMPARE(w.outcome, TxOutcome::Completed);
        QCOMPARE(w.events.size(), 1);
        const sign::Transmission& t = w.events[0].transmission;
        QVERIFY2(t.complete(), qPrintable(t.errors.value(0).text));
        QCOMPARE(t.speed, signproto::Speeds.front().code);
        QCOMPARE(t.byteCount, qint64(TxLength));
        comparePages(t.pages, want);
        // The sign shows the Spanish characters as typed, centred in the line.
        QCOMPARE(t.pages[1].text, QString::fromUtf8("  ¡Año «ü» @Ñ¿  "));
        QCOMPARE(t.pages[0].text, QStringLiteral("Efecto 0")); // "Rotacion": the whole text, no padding
        QCOMPARE(t.pages[2].text, QStringLiteral("Efecto 2        "));
        // Paced as configured: 10 ms after each preamble byte, 1 ms after the others.
        const qint64 nominal = estimatedSendMs();
        const qint64 took = t.lastByteMs - t.firstByteMs;
        QVERIFY2(took >= nominal - 20 && took < nominal + 2000, qPrintable(QStringLiteral("%1 ms for %2").arg(took).arg(nominal)));
    }

    void charactersTheSignLacks()
    {
        // Capitals with accents become their plain letters; what has no letter becomes "#".
        setPage(1, 1, QString::fromUtf8("ÁÉ Ça€\tx"), 4, AlignLeft);
        setPage(2, 0, QString::fromUtf8("Canción ÑANDÚ"), 0);
        const QList<Expected> want = expectedPages();
        QVERIFY(buildMessageTransmission());
        noDelays();
        Wire w;
        QVERIFY(w.send());
        QCOMPARE(w.events.size(), 1);
        const sign::Transmission& t = w.events[0].transmission;
        QVERIFY(t.complete());
        comparePages(t.pages, want);
        QCOMPARE(t.pages[0].text, QStringLiteral("AE Ca##x        "));
        QCOMPARE(t.pages[1].text, QString::fromUtf8("Canción ÑANDU"));
        QCOMPARE(filterMarks(QString::fromUtf8("ÁÉ Ça€\tx")).size(), 5);
    }

    void sixtyFourPages()
    {
        for (int i = 1; i <= 64; ++i)
            setPage(i, 1 + i % 10, QStringLiteral("Pagina %1").arg(i), i % 9, i % 3 ? AlignLeft : AlignCenter);
        const QList<Expected> want = expectedPages();
        QVERIFY(buildMessageTransmission());
        QCOMPARE(TxLength, 7 + 64 * 18 + 2);
        noDelays();
        Wire w;
        QVERIFY(w.send());
        QCOMPARE(w.events.size(), 1);
        QVERIFY(w.events[0].transmission.complete());
        comparePages(w.events[0].transmission.pages, want);
    }

    void cappedStreamCutInsideAText()
    {
        for (int i = 1; i <= 40; ++i)
            setPage(i, 0, QString(250, QChar(u'a' + i % 26)));
        const QList<Expected> want = expectedPages();
        QVERIFY(buildMessageTransmission());
        QCOMPARE(TxLength, 8002);
        noDelays();
        Wire w;
        QVERIFY(w.send());
        QCOMPARE(w.events.size(), 1);
        const sign::Transmission& t = w.events[0].transmission;
        QVERIFY(t.complete()); // a Rotacion text has no length: a shorter one looks whole
        QCOMPARE(t.byteCount, qint64(8002));
        // 7 bytes of head, records of 251 bytes: the 32nd record holds bytes 7789..8000.
        QCOMPARE(t.pages.size(), 32);
        comparePages(t.pages.mid(0, 31), want.mid(0, 31));
        QCOMPARE(t.pages[31].bytes, want[31].bytes.left(8000 - 7 - 31 * 251 - 1));
    }

    void cappedStreamCutInsideAFixedRecord()
    {
        // 31 records of 256 bytes end at byte 7943; three fixed records of 18 reach 7997; the fourth is cut
        // after its code and two characters.
        for (int i = 1; i <= 31; ++i)
            setPage(i, 0, QString(255, QLatin1Char('r')));
        for (int i = 32; i <= 40; ++i)
            setPage(i, 2, QStringLiteral("Fija %1").arg(i), 3);
        const QList<Expected> want = expectedPages();
        QVERIFY(buildMessageTransmission());
        QCOMPARE(TxLength, 8002);
        noDelays();
        Wire w;
        QVERIFY(w.send());
        QCOMPARE(w.events.size(), 1);
        const sign::Transmission& t = w.events[0].transmission;
        QVERIFY(t.terminated);
        QCOMPARE(t.errors.size(), 1);
        QCOMPARE(t.errors[0].kind, sign::ErrorKind::CutByTerminator);
        QCOMPARE(t.errors[0].offset, qint64(8001)); // reported at the terminator's second byte, 0-based
        comparePages(t.pages, want.mid(0, 34));
    }

    void cancelHalfWay()
    {
        for (int i = 1; i <= 4; ++i)
            setPage(i, 3, QStringLiteral("Linea %1").arg(i), 1);
        const QList<Expected> want = expectedPages();
        QVERIFY(buildMessageTransmission());
        noDelays();
        Wire w;
        // "Cancelar" pressed while byte 47 goes out: records of 18 bytes start at 8, 26 and 44, so this is
        // the third character of the third record.
        QVERIFY(w.send([] {
            if (TxPos == 47)
                TxCancel = true;
        }));
        QCOMPARE(w.outcome, TxOutcome::Cancelled);
        QCOMPARE(w.pty.bytes().size(), 49);
        QCOMPARE(w.events.size(), 1);
        const sign::Transmission& t = w.events[0].transmission;
        QVERIFY(t.terminated);
        QVERIFY(!t.complete());
        comparePages(t.pages, want.mid(0, 2));
        QCOMPARE(t.errors.size(), 1);
        QCOMPARE(t.errors[0].kind, sign::ErrorKind::CutByTerminator);
        QCOMPARE(t.errors[0].text,
                 QStringLiteral("registro Enlazado (0x92) cortado por el terminador tras 3 de 16 caracteres"));
    }

    void cancelDuringThePreamble()
    {
        setPage(1, 1, QStringLiteral("x"));
        QVERIFY(buildMessageTransmission());
        noDelays();
        Wire w;
        QVERIFY(w.send([] {
            if (TxPos == 3)
                TxCancel = true;
        }));
        QCOMPARE(w.pty.bytes(), QByteArray("W-N\x01\x01"));
        QCOMPARE(w.events.size(), 1);
        QVERIFY(!w.events[0].isTransmission);
        QCOMPARE(w.events[0].error.kind, sign::ErrorKind::CutByTerminator);
    }

    void clockCommand_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("shown");
        QTest::newRow("09:07:03 1 March 2026") << QDateTime(QDate(2026, 3, 1), QTime(9, 7, 3))
                                               << "Hora 09:07:03 Fecha 01/03/26";
        QTest::newRow("last second of 2099") << QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59))
                                             << "Hora 23:59:59 Fecha 31/12/99";
        QTest::newRow("midnight 2000") << QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0)) << "Hora 00:00:00 Fecha 01/01/00";
    }
    void clockCommand()
    {
        QFETCH(QDateTime, when);
        QFETCH(QString, shown);
        QVERIFY(buildDateTransmission(when));
        Wire w;
        QVERIFY(w.send());
        QCOMPARE(w.events.size(), 1);
        const sign::Transmission& t = w.events[0].transmission;
        QVERIFY(t.complete());
        QCOMPARE(t.kind, sign::Transmission::Kind::Clock);
        QCOMPARE(sign::clockText(t.clock), shown);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
