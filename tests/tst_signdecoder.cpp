// The virtual sign's decoder against hand-written byte streams: every record, every error, resync.
#include "SignDecoder.h"

#include <QTest>

namespace
{
QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

const QByteArray preamble("W-NT9");
const QByteArray term = bytes({0x01, 0x01});

QByteArray message(const QByteArray& records) { return preamble + bytes({0xDF, 0xE0}) + records + term; }

QByteArray fixed(int code, const QByteArray& text16, int pauseByte)
{
    return bytes({code}) + text16 + bytes({pauseByte});
}

// One line per event, short enough to write expectations by hand.
QString describe(const sign::Event& e)
{
    if (!e.isTransmission)
        return QStringLiteral("error %1@%2").arg(sign::errorKindName(e.error.kind)).arg(e.error.offset);
    const sign::Transmission& t = e.transmission;
    QStringList parts;
    if (t.kind == sign::Transmission::Kind::Message) {
        parts << QStringLiteral("message");
        for (const sign::Page& p : t.pages) {
            QString s = QString::number(p.code, 16);
            if (!p.bytes.isEmpty())
                s += QLatin1Char('|') + p.text + QLatin1Char('|');
            if (p.pause)
                s += QLatin1Char(':') + QString::number(p.pause);
            parts << s;
        }
    } else if (t.kind == sign::Transmission::Kind::Clock) {
        parts << (t.clockValid ? sign::clockText(t.clock) : QStringLiteral("clock"));
    } else {
        parts << QStringLiteral("unknown");
    }
    for (const sign::ProtocolError& err : t.errors)
        parts << QStringLiteral("!%1@%2").arg(sign::errorKindName(err.kind)).arg(err.offset);
    parts << (t.terminated ? QStringLiteral("end") : QStringLiteral("open"));
    return parts.join(QLatin1Char(' '));
}

QStringList decodeAll(const QByteArray& stream, bool byteByByte = false)
{
    sign::Decoder d;
    if (byteByByte) {
        for (const char b : stream)
            d.feedByte(std::uint8_t(b), 0);
    } else {
        d.feed(stream, 0);
    }
    QStringList out;
    for (const sign::Event& e : d.takeEvents())
        out << describe(e);
    return out;
}
} // namespace

class TestSignDecoder : public QObject
{
    Q_OBJECT
private slots:
    void streams_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QStringList>("expected");

        const QByteArray hola = QByteArray(6, ' ') + "HOLA" + QByteArray(6, ' ');
        QTest::newRow("worked example HOLA") << message(fixed(0x80, hola, 0xC6))
                                             << QStringList{"message 80|      HOLA      |:5 end"};

        const QByteArray line("ABCDEFGHIJKLMNOP");
        for (int code : {0x80, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99}) {
            QTest::addRow("fixed record %x", code)
                << message(fixed(code, line, 0xC2))
                << QStringList{QStringLiteral("message %1|ABCDEFGHIJKLMNOP|:1 end").arg(code, 0, 16)};
        }
        QTest::newRow("pause 9") << message(fixed(0x99, line, 0xCA))
                                 << QStringList{"message 99|ABCDEFGHIJKLMNOP|:9 end"};
        QTest::newRow("rotacion with sign code, then a record")
            << message(bytes({0x90, 'A', 0x15, 'o', 0xA2, 0xC3}))
            << QStringList{QString::fromUtf8("message 90|Año| a2 end")};
        QTest::newRow("rotacion last, long text")
            << message(bytes({0x90}) + QByteArray(300, 'x'))
            << QStringList{QStringLiteral("message 90|%1| end").arg(QString(300, QLatin1Char('x')))};
        QTest::newRow("hora and fecha") << message(bytes({0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA2, 0xC3}))
                                        << QStringList{"message a0 a2 end"};
        QTest::newRow("every sign code")
            << message(bytes({0x90, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1E}))
            << QStringList{QString::fromUtf8("message 90|áéíóúñÑü¡¿»«@| end")};
        QTest::newRow("records back to back")
            << message(fixed(0x80, line, 0xC2) + bytes({0x90, 'h', 'i'}) + fixed(0x97, line, 0xC3))
            << QStringList{"message 80|ABCDEFGHIJKLMNOP|:1 90|hi| 97|ABCDEFGHIJKLMNOP|:2 end"};
        QTest::newRow("no pages (cancel right after the speed byte)") << message({}) << QStringList{"message end"};
        QTest::newRow("clock 09:07:03 01/03/26")
            << preamble + bytes({0xB0, 0x09, 0x07, 0x03, 0x01, 0x03, 0x26}) + term
            << QStringList{"Hora 09:07:03 Fecha 01/03/26 end"};
        QTest::newRow("clock bytes of 0x01 are data")
            << preamble + bytes({0xB0, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01}) + term
            << QStringList{"Hora 01:01:01 Fecha 01/01/01 end"};
        QTest::newRow("clock 23:59:59 31/12/99")
            << preamble + bytes({0xB0, 0x23, 0x59, 0x59, 0x31, 0x12, 0x99}) + term
            << QStringList{"Hora 23:59:59 Fecha 31/12/99 end"};
        QTest::newRow("two transmissions") << message(bytes({0xA2, 0xC3})) + message(bytes({0x90, 'z'}))
                                           << QStringList{"message a2 end", "message 90|z| end"};

        // Errors. Offsets count from the first byte fed.
        QTest::newRow("junk before the preamble, reported once")
            << QByteArray("xyz") + message(bytes({0xA2, 0xC3}))
            << QStringList{"error bad-preamble@0", "message a2 end"};
        QTest::newRow("wrong preamble letter") << QByteArray("W-NX9") + message(bytes({0xA2, 0xC3}))
                                               << QStringList{"error bad-preamble@3", "message a2 end"};
        QTest::newRow("stray W before the preamble") << QByteArray("W") + message(bytes({0xA2, 0xC3}))
                                                     << QStringList{"error bad-preamble@1", "message a2 end"};
        QTest::newRow("unknown command, resync on the next preamble")
            << preamble + bytes({0xC5, 'a', 'b'}) + term + message(bytes({0xA2, 0xC3}))
            << QStringList{"unknown !unknown-command@5 open", "message a2 end"};
        QTest::newRow("bad speed") << preamble + bytes({0xDF, 0xE1, 0xA2, 0xC3}) + term
                                   << QStringList{"message !bad-speed@6 open"};
        QTest::newRow("unknown record code") << message(fixed(0x80, line, 0xC2) + bytes({0x9A, 'a'}))
                                             << QStringList{"message 80|ABCDEFGHIJKLMNOP|:1 !unknown-record@25 open"};
        QTest::newRow("text where a record code belongs") << message(fixed(0x80, line, 0xC2) + "abc")
                                                          << QStringList{"message 80|ABCDEFGHIJKLMNOP|:1 !unknown-record@25 open"};
        QTest::newRow("fixed record cut short by the next code")
            << message(bytes({0x91, 'a', 'b', 'c', 0x90, 'x'}))
            << QStringList{"message !short-record@11 open"};
        QTest::newRow("pause byte missing") << message(bytes({0x91}) + line + bytes({0xA2, 0xC3}))
                                            << QStringList{"message !short-record@24 open"};
        QTest::newRow("rotacion without text") << message(bytes({0x90, 0xA2, 0xC3}))
                                               << QStringList{"message !short-record@8 open"};
        QTest::newRow("cancel inside a fixed record")
            << message(fixed(0x80, line, 0xC2) + bytes({0x93, 'a', 'b', 'c', 'd', 'e'}))
            << QStringList{"message 80|ABCDEFGHIJKLMNOP|:1 !cut-by-terminator@32 end"};
        QTest::newRow("cancel before the pause byte") << message(bytes({0x93}) + line)
                                                      << QStringList{"message !cut-by-terminator@25 end"};
        QTest::newRow("cancel after a rotacion code") << message(bytes({0x90}))
                                                      << QStringList{"message !cut-by-terminator@9 end"};
        QTest::newRow("cancel inside hora") << message(bytes({0xA0, 0xA0}))
                                            << QStringList{"message !cut-by-terminator@10 end"};
        QTest::newRow("cancel inside fecha") << message(bytes({0xA2})) << QStringList{"message !cut-by-terminator@9 end"};
        QTest::newRow("cancel after the command") << preamble + bytes({0xDF}) + term
                                                  << QStringList{"message !cut-by-terminator@7 end"};
        QTest::newRow("cancel during the preamble") << QByteArray("W-N") + term + message(bytes({0xA2, 0xC3}))
                                                    << QStringList{"error cut-by-terminator@4", "message a2 end"};
        QTest::newRow("bad pause byte") << message(bytes({0x91}) + line + bytes({0xCB}))
                                        << QStringList{"message !bad-pause@24 open"};
        QTest::newRow("hora with four A0") << message(bytes({0xA0, 0xA0, 0xA0, 0xA0, 0xA2, 0xC3}))
                                           << QStringList{"message !bad-clock-record@11 open"};
        QTest::newRow("fecha without C3") << message(bytes({0xA2, 0xC2})) << QStringList{"message !bad-clock-record@8 open"};
        QTest::newRow("character the sign lacks, decoding goes on")
            << message(bytes({0x90, 'a', 0x05, 'b', 0x1C, 0xA2, 0xC3}))
            << QStringList{QString::fromUtf8("message 90|a\uFFFDb\uFFFD| a2 !bad-character@9 !bad-character@11 end")};
        QTest::newRow("BCD digit above 9") << preamble + bytes({0xB0, 0x1A, 0x00, 0x00, 0x01, 0x01, 0x26}) + term
                                           << QStringList{"clock !invalid-bcd@6 end"};
        QTest::newRow("hour 24") << preamble + bytes({0xB0, 0x24, 0x00, 0x00, 0x01, 0x01, 0x26}) + term
                                 << QStringList{"clock !invalid-bcd@6 end"};
        QTest::newRow("month 13") << preamble + bytes({0xB0, 0x12, 0x00, 0x00, 0x01, 0x13, 0x26}) + term
                                  << QStringList{"clock !invalid-bcd@10 end"};
        QTest::newRow("31 February") << preamble + bytes({0xB0, 0x12, 0x00, 0x00, 0x31, 0x02, 0x26}) + term
                                     << QStringList{"clock !invalid-bcd@11 end"};
        QTest::newRow("29 February 2024 exists") << preamble + bytes({0xB0, 0x12, 0x00, 0x00, 0x29, 0x02, 0x24}) + term
                                                 << QStringList{"Hora 12:00:00 Fecha 29/02/24 end"};
        QTest::newRow("extra byte after the clock") << preamble + bytes({0xB0, 0x12, 0x00, 0x00, 0x01, 0x02, 0x24, 0x00}) + term
                                                    << QStringList{"Hora 12:00:00 Fecha 01/02/24 !bad-terminator@12 open"};
        QTest::newRow("lone 0x01") << message(bytes({0xA2, 0xC3, 0x01, 0x02}))
                                   << QStringList{"message a2 !bad-terminator@10 open"};
        QTest::newRow("bytes after the terminator") << message(bytes({0xA2, 0xC3})) + "zz" + message(bytes({0xA2, 0xC3}))
                                                    << QStringList{"message a2 end", "error bytes-after-terminator@11",
                                                                   "message a2 end"};
        QTest::newRow("capped stream ends 01 01 01") << message(bytes({0x90, 'a'})) + bytes({0x01})
                                                     << QStringList{"message 90|a| end", "error bytes-after-terminator@11"};
        QTest::newRow("W after the terminator that is no preamble")
            << message(bytes({0xA2, 0xC3})) + "Wx"
            << QStringList{"message a2 end", "error bytes-after-terminator@12"};
    }
    void streams()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QStringList, expected);
        QCOMPARE(decodeAll(stream), expected);
        // The decoder is a stream: bytes one per call give the same events.
        QCOMPARE(decodeAll(stream, true), expected);
    }

    void whatTheSignTakes()
    {
        sign::Decoder d;
        d.feed(message(bytes({0x90, 'a', 0x05})) + message(bytes({0x90})) + message(bytes({0x90, 'b'})), 0);
        const QList<sign::Event> events = d.takeEvents();
        QCOMPARE(events.size(), 3);
        // An unknown character is shown as it comes; a cut record makes the sign drop the message.
        QVERIFY(!events[0].transmission.complete());
        QVERIFY(events[0].transmission.accepted());
        QVERIFY(!events[1].transmission.accepted());
        QVERIFY(events[2].transmission.complete() && events[2].transmission.accepted());
    }

    void silenceInsideTransmissionDropsItAndResyncs()
    {
        sign::Decoder d;
        d.feed(preamble + bytes({0xDF, 0xE0, 0x80, 'a', 'b'}), 1000);
        d.feed(QByteArray("cd"), 3001); // 2001 ms later
        d.feed(message(bytes({0xA2, 0xC3})), 3100);
        const QList<sign::Event> events = d.takeEvents();
        QCOMPARE(events.size(), 3);
        QVERIFY(events[0].isTransmission);
        QCOMPARE(events[0].transmission.errors.size(), 1);
        QCOMPARE(events[0].transmission.errors[0].kind, sign::ErrorKind::Silence);
        QVERIFY(!events[0].transmission.terminated);
        QCOMPARE(events[0].transmission.byteCount, qint64(10));
        QCOMPARE(events[0].transmission.lastByteMs, qint64(1000));
        QCOMPARE(events[1].error.kind, sign::ErrorKind::BadPreamble); // "cd" is junk after the silence
        QCOMPARE(describe(events[2]), QStringLiteral("message a2 end"));
    }

    void twoSecondsExactlyIsNoSilence()
    {
        sign::Decoder d;
        d.feed(preamble + bytes({0xDF, 0xE0, 0xA2}), 0);
        d.feed(bytes({0xC3}) + term, 2000);
        const QList<sign::Event> events = d.takeEvents();
        QCOMPARE(events.size(), 1);
        QCOMPARE(describe(events[0]), QStringLiteral("message a2 end"));
    }

    void pollReportsSilenceWithoutAnotherByte()
    {
        sign::Decoder d;
        d.feed(preamble + bytes({0xDF}), 500);
        QVERIFY(d.inTransmission());
        d.poll(2400);
        QVERIFY(d.takeEvents().isEmpty());
        d.poll(2600);
        const QList<sign::Event> events = d.takeEvents();
        QCOMPARE(events.size(), 1);
        QCOMPARE(events[0].transmission.errors.value(0).kind, sign::ErrorKind::Silence);
        QVERIFY(!d.inTransmission());
        d.poll(9000); // reported once
        QVERIFY(d.takeEvents().isEmpty());
    }

    void silenceBetweenTransmissionsIsNormal()
    {
        sign::Decoder d;
        d.feed(message(bytes({0xA2, 0xC3})), 0);
        d.poll(60000);
        d.feed(message(bytes({0xA2, 0xC3})), 60000);
        QCOMPARE(d.takeEvents().size(), 2);
    }

    void silenceInsidePreamble()
    {
        sign::Decoder d;
        d.feed(QByteArray("W-N"), 0);
        d.feed(message(bytes({0xA2, 0xC3})), 5000);
        const QList<sign::Event> events = d.takeEvents();
        QCOMPARE(events.size(), 2);
        QCOMPARE(events[0].error.kind, sign::ErrorKind::Silence);
        QCOMPARE(describe(events[1]), QStringLiteral("message a2 end"));
    }

    void timesAndLengthOfATransmission()
    {
        sign::Decoder d;
        d.feed(QByteArray("junk"), 0);
        const QByteArray m = message(bytes({0xA2, 0xC3}));
        for (int i = 0; i < m.size(); ++i)
            d.feedByte(std::uint8_t(m[i]), 100 + 10 * i);
        const QList<sign::Event> events = d.takeEvents();
        QCOMPARE(events.size(), 2);
        const sign::Transmission& t = events[1].transmission;
        QCOMPARE(t.byteCount, qint64(m.size()));
        QCOMPARE(t.firstByteMs, qint64(100));
        QCOMPARE(t.lastByteMs, qint64(100 + 10 * (m.size() - 1)));
        QCOMPARE(t.speed, std::uint8_t(0xE0));
        QVERIFY(t.complete());
    }

    void errorsAreSpanishTextsWithoutAccents()
    {
        sign::Decoder d;
        d.feed(QByteArray("x") + message(bytes({0x91, 'a', 0xFF})) + "W-NT9" + bytes({0xB0, 0x1F, 0x00, 0x00, 0x01, 0x01, 0x26}) + term, 0);
        const QList<sign::Event> events = d.takeEvents();
        QCOMPARE(events.size(), 3);
        for (const sign::Event& e : events) {
            const QList<sign::ProtocolError> errs = e.isTransmission ? e.transmission.errors : QList{e.error};
            for (const sign::ProtocolError& err : errs) {
                QVERIFY(!err.text.isEmpty());
                for (QChar c : err.text)
                    QVERIFY2(c.unicode() < 0x80, qPrintable(err.text));
            }
        }
        QCOMPARE(events[1].transmission.errors.value(0).text,
                 QStringLiteral("registro LLuvia (0x91) con 1 de 16 caracteres: lo corta el byte 0xFF"));
        QCOMPARE(events[2].transmission.errors.value(0).text,
                 QStringLiteral("hora 0x1F en la orden de hora: no es BCD"));
    }
};

QTEST_GUILESS_MAIN(TestSignDecoder)
#include "tst_signdecoder.moc"
