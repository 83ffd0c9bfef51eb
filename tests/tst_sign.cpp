// The virtual sign fed hand-written byte strings (never bytes the builder made), the LED matrix and its
// animations, and the editor's live preview; tivor-sign as a real process: fed through its link (an endless
// transmission too), on a serial line of its own, and on the network.
#include "SignDecoder.h"
#include "gui/preview/LedMatrix.h"
#include "gui/preview/PagePreview.h"
#include "support/Pty.h"
#include "support/TestEnv.h"

#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>
#include <csignal>
#include <unistd.h>

namespace
{
using Pieces = QList<QPair<QByteArray, qint64>>; // bytes fed and the time they arrive, ms
using testenv::hex;
QByteArray message(const QByteArray& records)
{
    return "W-NT9\xDF\xE0" + records + "\x01\x01";
}
QByteArray clock(const char* bcd)
{
    return "W-NT9\xB0" + hex(bcd) + "\x01\x01";
}
const QByteArray kFecha = message(hex("A2C3")), kLine("ABCDEFGHIJKLMNOP");

// One short line per event, so the expectations can be written by hand.
QString describe(const sign::Event& e)
{
    if (!e.isTransmission)
        return QStringLiteral("error %1@%2").arg(sign::errorKindName(e.error.kind)).arg(e.error.offset);
    const sign::Transmission& t = e.transmission;
    QStringList parts;
    if (t.kind == sign::Transmission::Kind::Message) {
        parts << QStringLiteral("message");
        for (const sign::Page& p : t.pages)
            parts << QString::number(p.code, 16) + (p.bytes.isEmpty() ? QString() : u'|' + p.text + u'|') +
                         (p.pause ? QStringLiteral(":%1").arg(p.pause) : QString());
    } else {
        parts << (t.kind == sign::Transmission::Kind::Unknown ? QStringLiteral("unknown")
                  : t.clockValid                              ? sign::clockText(t.clock)
                                                              : QStringLiteral("clock"));
    }
    for (const sign::ProtocolError& err : t.errors)
        parts << QStringLiteral("!%1@%2").arg(sign::errorKindName(err.kind)).arg(err.offset);
    parts << (t.terminated ? QStringLiteral("end") : QStringLiteral("open"));
    if (t.raw.size() != t.byteCount)
        parts << QStringLiteral("raw %1 of %2 bytes").arg(t.raw.size()).arg(t.byteCount);
    return parts.join(u' ');
}

// Feeds the pieces (no bytes: a poll at that time) whole or byte by byte, and describes what came out.
QStringList decode(const Pieces& pieces, bool byteByByte)
{
    sign::Decoder d;
    for (const auto& [bytes, ms] : pieces) {
        if (bytes.isEmpty())
            d.poll(ms);
        for (qsizetype i = 0; i < bytes.size(); i += byteByByte ? 1 : bytes.size())
            byteByByte ? d.feedByte(std::uint8_t(bytes[i]), ms) : d.feed(bytes, ms);
    }
    QStringList out;
    for (const sign::Event& e : d.takeEvents())
        out << describe(e);
    return out;
}

// A decoder row: what is fed (at time 0, or in timed pieces) and the events it gives, ';' between them.
void row(const char* name, const Pieces& fed, const QString& events)
{
    QTest::newRow(name) << fed << events.split(u';', Qt::SkipEmptyParts);
}
void row(const char* name, const QByteArray& fed, const QString& events)
{
    row(name, Pieces{{fed, 0}}, events);
}
} // namespace

class TestSign : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void init() { testenv::reset(m_dir); }

    void streams_data()
    {
        const testenv::Table<Pieces, QStringList> columns; // rows through the file's own row()
        for (char code : hex("80919293949596979899"))
            row(qPrintable(QStringLiteral("fixed %1").arg(quint8(code), 0, 16)), message(code + kLine + "\xC2"),
                QStringLiteral("message %1|%2|:1 end").arg(quint8(code), 0, 16).arg(kLine));
        row("HOLA", message("\x80      HOLA      \xC6"), "message 80|      HOLA      |:5 end");
        row("every sign code, then fecha", message(hex("90 101112131415161718191A1B1E A2C3")),
            "message 90|\u00E1\u00E9\u00ED\u00F3\u00FA\u00F1\u00D1\u00FC\u00A1\u00BF\u00BB\u00AB@| a2 end");
        row("hora, back to back", message(hex("A0A0A0A0A0 90 6869") + "\x97" + kLine + "\xC3"),
            "message a0 90|hi| 97|ABCDEFGHIJKLMNOP|:2 end");
        row("no pages, two messages", message({}) + message("\x90z"), "message end;message 90|z| end");
        row("clock", clock("090703010326"), "Hora 09:07:03 Fecha 01/03/26 end");
        row("29 February 2024", clock("120000290224"), "Hora 12:00:00 Fecha 29/02/24 end");
        // Errors; offsets count from the first byte fed.
        row("junk before, once", "xyz" + kFecha, "error bad-preamble@0;message a2 end");
        row("unknown command, resync", hex("572D4E5439C5 6162 0101") + kFecha,
            "unknown !unknown-command@5 open;message a2 end");
        row("bad speed", QByteArray("W-NT9\xDF\xE1\xA2\xC3\x01\x01"), "message !bad-speed@6 open");
        row("unknown record", message("\x80" + kLine + hex("C29A61")),
            "message 80|ABCDEFGHIJKLMNOP|:1 !unknown-record@25 open");
        row("fixed cut by a code", message(hex("91616263 9078")), "message !short-record@11 open");
        row("rotacion empty", message("\x90\xA2\xC3"), "message !short-record@8 open");
        row("cancel in a fixed record", message("\x80" + kLine + hex("C293 6162636465")),
            "message 80|ABCDEFGHIJKLMNOP|:1 !cut-by-terminator@32 end");
        row("cancel in hora", message("\xA0\xA0"), "message !cut-by-terminator@10 end");
        row("cancel after the command", QByteArray("W-NT9\xDF\x01\x01"), "message !cut-by-terminator@7 end");
        row("cancel in the preamble", "W-N\x01\x01" + kFecha, "error cut-by-terminator@4;message a2 end");
        row("bad pause", message("\x91" + kLine + "\xCB"), "message !bad-pause@24 open");
        row("fecha without C3", message(hex("A2C2")), "message !bad-clock-record@8 open");
        row("character the sign lacks", message(hex("90 61 05 62 1C A2C3")),
            "message 90|a\uFFFDb\uFFFD| a2 !bad-character@9 !bad-character@11 end");
        row("BCD digit above 9", clock("1A0000010126"), "clock !invalid-bcd@6 end");
        row("31 February", clock("120000310226"), "clock !invalid-bcd@11 end");
        row("day 32", clock("120000320126"), "clock !invalid-bcd@9 end");
        row("hour 24", clock("240000010126"), "clock !invalid-bcd@6 end");
        row("second 60", clock("120060010126"), "clock !invalid-bcd@8 end");
        row("each field at its top", clock("235959311299"), "Hora 23:59:59 Fecha 31/12/99 end");
        row("extra clock byte", clock("12000001022400"), "Hora 12:00:00 Fecha 01/02/24 !bad-terminator@12 open");
        row("bytes after the end", kFecha + "zz" + kFecha,
            "message a2 end;error bytes-after-terminator@11;message a2 end");
        row("broken preambles, once", "W-xW-N" + kFecha, "error bad-preamble@2;message a2 end");
        row("junk like a preamble after the end", kFecha + "W-x" + kFecha,
            "message a2 end;error bytes-after-terminator@13;message a2 end");
        row("capped: 01 01 01", message(hex("9061")) + "\x01", "message 90|a| end;error bytes-after-terminator@11");
        // More than two seconds without a byte drops a transmission; between transmissions it is normal.
        row("inside, then junk and a message",
            Pieces{{hex("572D4E5439DFE080 6162"), 1000}, {"cd", 3001}, {kFecha, 3100}},
            "message !silence@9 open;error bad-preamble@10;message a2 end");
        row("exactly two seconds", Pieces{{"W-NT9\xDF\xE0\xA2", 0}, {"\xC3\x01\x01", 2000}}, "message a2 end");
        row("poll after two seconds", Pieces{{"W-NT9\xDF", 500}, {{}, 2501}}, "message !silence@5 open");
        row("poll at two seconds", Pieces{{"W-NT9\xDF", 500}, {{}, 2500}}, "");
        row("inside the preamble", Pieces{{"W-N", 0}, {kFecha, 5000}}, "error silence@2;message a2 end");
    }
    void streams()
    {
        auto [fed, expected] = testenv::Table<Pieces, QStringList>::fetch();
        QCOMPARE(decode(fed, false), expected);
        QCOMPARE(decode(fed, true), expected); // a stream: byte by byte gives the same
    }

    // What a test compares with a sender's dump: the transmission's own bytes, not the junk or the cancel around it.
    void aTransmissionKeepsItsBytes()
    {
        sign::Decoder d;
        const QByteArray cancelled = "W-NT9\xDF\xE0\x80HO" + hex("0101");
        d.feed("W-NxW-" + kHola + cancelled, 0);
        const QList<sign::Event> events = d.takeEvents();
        QCOMPARE(events.size(), 3); // the junk, the message, the one cancelled in its first page
        QCOMPARE(events[1].transmission.raw, kHola);
        QCOMPARE(events[2].transmission.raw, cancelled);
    }

    void everyEntranceEndsOnTheStillImage_data()
    {
        QTest::addColumn<int>("effect");
        for (int e = 2; e <= 10; ++e)
            QTest::addRow("%d", e) << e;
    }
    void everyEntranceEndsOnTheStillImage()
    {
        QFETCH(int, effect);
        const led::Page p{effect, "HOLA Mundo 2026!", 4, {5}};
        const led::Bitmap still = led::lineBitmap(p);
        const int frames = led::animationFrames(p);
        QCOMPARE(led::renderFrame(p, frames - 1), still);
        QCOMPARE(led::renderFrame(p, frames + 100), still);
        QCOMPARE(led::holdMs(p), 4000);
        QVERIFY(frames > 8 && frames * led::FrameMs <= 5000);
        QVERIFY(led::renderFrame(p, 0).litCount() < still.litCount());
        int changes = 0;
        for (int f = 1; f < frames; ++f)
            changes += !(led::renderFrame(p, f) == led::renderFrame(p, f - 1));
        QVERIFY(changes >= frames / 3);
        QVERIFY(std::count(still.dots.begin(), still.dots.end(), led::Marked) > 0); // so on the last frame too
    }

    // The player in real time: an entrance, the hold, the next page, round again; idle when hidden. Clock pages
    // show the sign's clock, which starts at the computer's and can be set apart from it.
    void player()
    {
        testenv::SettableClock clock;
        LedMatrix m;
        m.setComputerClock(clock);
        m.setPages({{1, "HOLA", 2}});
        QVERIFY(!m.hasTimerRunning()); // nothing runs while hidden
        m.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m));
        QVERIFY(!m.isAnimating() && m.hasTimerRunning()); // a still page: only the hold's single shot
        QList<int> started;
        connect(&m, &LedMatrix::pageStarted, this, [&](int i) { started << i; });
        const led::Page rain{2, "HOLA Mundo 2026!", 1};
        m.setPages({rain, {1, "SEGUNDA", 1}});
        QVERIFY(m.isAnimating());
        QTRY_VERIFY_WITH_TIMEOUT(!m.isAnimating(), led::animationFrames(rain) * led::FrameMs + 1000);
        QCOMPARE(m.bitmap(), led::lineBitmap(rain));
        QTRY_COMPARE_WITH_TIMEOUT(m.pageIndex(), 1, 2500);
        QCOMPARE(m.bitmap(), led::lineBitmap({1, "SEGUNDA"}));
        QTRY_COMPARE_WITH_TIMEOUT(m.pageIndex(), 0, 2500);
        QCOMPARE(started.mid(0, 3), (QList<int>{0, 1, 0}));
        m.hide();
        QVERIFY(!m.hasTimerRunning());
        m.show();
        m.setPages({});
        QVERIFY(m.bitmap().litCount() == 0 && !m.hasTimerRunning());

        clock.time = QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9));
        m.setPages({{11}, {12}});
        QCOMPARE(m.shownPage().bytes, QByteArray("    14:05:09    "));
        QCOMPARE(m.bitmap(), led::lineBitmap({1, "    14:05:09    "}));
        m.setClockOffsetMs(-(14 * 3600 + 5 * 60 + 10) * 1000LL); // 23:59:59 the day before
        QCOMPARE(m.shownPage().bytes, QByteArray("    23:59:59    "));
        QVERIFY(m.hasTimerRunning());
        m.setPages({{12}});
        QCOMPARE(m.shownPage().bytes, QByteArray("    04/12/26    "));
    }

    void previewLine_data()
    {
        // marks: the marked cells, then what the short summary says
        const testenv::Table<QString, int, int, QByteArray, QString> row;
        row("fixed, left", "HOLA", 1, 0, "HOLA            ", "|");
        row("fixed, centred, odd", "ABC", 3, 2, "      ABC       ", "|");
        row("rotacion, left: no blanks", "HOLA", 0, 0, "HOLA", "|");
        row("rotacion, centred", "HOLA", 0, 2, "      HOLA      ", "|");
        row("marks", "A\u00F1o \u20ACuro \u00C1#\t", 1, 0, "A\x15o #uro A##    ",
            "4,9,11|Cambia: \"\u20AC\" > #, \"\u00C1\" > A, tabulador > #");
        row("marks move with the centring", "\u20AC", 1, 2, "       #        ", "7|Cambia: \"\u20AC\" > #");
        row("cut at 16", "Oferta de la semana \u20AC", 4, 0, "Oferta de la sem", "|No se envia: \"ana \u20AC\"");
        row("rotacion sends all", "Oferta de la semana \u20AC", 0, 0, "Oferta de la semana #",
            "20|Cambia: \"\u20AC\" > #");
    }
    void previewLine()
    {
        auto [text, effect, align, bytes, marks] = testenv::Table<QString, int, int, QByteArray, QString>::fetch();
        PagePreview preview;
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        preview.showPage(text, effect, 4, align);
        QCOMPARE(preview.page().bytes, bytes);
        QCOMPARE(preview.page().pause, 5);
        QStringList cells;
        for (int i : preview.page().marked)
            cells << QString::number(i);
        QCOMPARE(cells.join(u',') + u'|' + preview.summaryText(), marks);
        QCOMPARE(preview.matrix()->cutMarker(), !preview.cutText().isEmpty());
        QCOMPARE(preview.findChild<QLabel*>(QStringLiteral("lblPreviewNota"))->isVisible(), marks.size() > 1);
        preview.matrix()->showStill();
        const led::Bitmap still = preview.matrix()->bitmap();
        QCOMPARE(still, led::lineBitmap(preview.page()));
        for (int cell = 0; cell < 16; ++cell) { // the mark colour on the marked cells only
            int dots = 0;
            for (int y = 0; y < led::Rows; ++y)
                for (int x = cell * led::CellWidth; x < (cell + 1) * led::CellWidth; ++x)
                    dots += still.at(x, y) == led::Marked;
            QCOMPARE(dots > 0, preview.page().marked.contains(cell));
        }
    }

    // An empty clock page still shows the sign's clock; an empty text page shows nothing at all.
    void emptyPreviewPages()
    {
        PagePreview preview;
        QList<int> lit;
        for (int effect : {11, 0}) {
            preview.showPage(QString(), effect, 0, 0);
            preview.matrix()->showStill();
            lit << preview.matrix()->bitmap().litCount();
        }
        QVERIFY2(lit[0] > 0 && lit[1] == 0, qPrintable(QStringLiteral("%1 %2").arg(lit[0]).arg(lit[1])));
    }

    // tivor-sign as a process, fed literal bytes through its link: the text it prints, a clean SIGINT. A
    // transmission that never ends (a stuck line, noise) is dropped past twice the cap: the sign stays small and
    // takes the next message. Kept whole, a megabyte of such bytes grew the process by hundreds of MB.
    void tivorSignEndToEnd()
    {
        const QString link = m_dir.filePath(QStringLiteral("cartel")), log = m_dir.filePath(QStringLiteral("log"));
        QProcess p;
        p.setStandardOutputFile(log); // the endless transmission's errors, a line a byte, would fill a pipe
        p.start(QStringLiteral(TIVOR_SIGN_PROGRAM), {"--headless", "--link", link});
        QTRY_VERIFY(QFileInfo(link).isSymLink());
        QFile f(link); // any program may write to the link: a message, a cancelled one, a clock and a stray byte
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        f.write(kHola + hex("572D4E5439DFE0914142430101 572D4E5439DFE090410A420101 572D4E5439B0140509051226010178"));
        QTRY_VERIFY_WITH_TIMEOUT(testenv::readFile(log).count('\n') >= 11, 10000);
        QCOMPARE(
            QString::fromUtf8(testenv::readFile(log)).split(u'\n', Qt::SkipEmptyParts),
            (QStringList{"Cartel virtual escuchando en " + QFileInfo(link).symLinkTarget(),
                         "Enlace: " + link + "  (escriba esta ruta en el campo Puerto de las opciones de Tivor)",
                         "Mensaje: 1 paginas, 27 bytes, velocidad Rapida",
                         "  Pagina  1  Estatico   pausa 5  |      HOLA      |",
                         "Mensaje: 0 paginas, 13 bytes, velocidad Rapida (con errores: el cartel la descarta)",
                         "  Error: registro LLuvia (0x91) cortado por el terminador tras 3 de 16 caracteres",
                         // A line end from a writer that set no line mode comes through as it went.
                         "Mensaje: 1 paginas, 13 bytes, velocidad Rapida (con bytes que el cartel no sabe mostrar)",
                         "  Pagina  1  Rotacion            |A\uFFFDB|",
                         "  Error: byte 0x0A en el texto de la pagina 1: el cartel no tiene ese caracter",
                         "Hora 14:05:09 Fecha 05/12/26", "Error: byte 0x78 despues del terminador"}));
        f.write(hex("572D4E5439DFE090") + QByteArray(1 << 20, '\x7f') + kHola);
        QTRY_VERIFY_WITH_TIMEOUT(testenv::readFile(log).count("|      HOLA      |") == 2, 20000);
        const QByteArray text = testenv::readFile(log);
        QVERIFY(
            text.contains("Mensaje: 0 paginas, 16001 bytes, velocidad Rapida (incompleta: el cartel la descarta)\n"));
        QVERIFY(text.contains("  Error: transmision de mas de 16000 bytes: se descarta y se espera otro preambulo\n"
                              "Mensaje: 1 paginas, 27 bytes"));
        const qint64 peakKb = testenv::peakMemoryKb(p.processId());
        QVERIFY2(peakKb > 0 && peakKb < 100 * 1024, qPrintable(QString::number(peakKb)));
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, 0);
        QVERIFY(!QFileInfo(link).isSymLink() && !QFileInfo::exists(link + QStringLiteral(".lock")));
    }

    // Before it listens: a window needs a display, the options that need none work without one, and the link's
    // path is taken over only from an earlier virtual sign of this user (a link into /dev/pts). Running, it says
    // where it listens (an IPv6 address in brackets, as a port text takes it).
    void tivorSignStarts_data()
    {
        // args: %1: a link path of the row's own
        const testenv::Table<QString, QString, QString> row;
        const QString listening = QStringLiteral("running|Cartel virtual escuchando en ");
        testenv::row("no display", "--link %1", "", "2|tivor-sign: no hay pantalla (DISPLAY no definido)");
        testenv::row("version without display", "--version", "", "0|");
        testenv::row("an earlier sign's link", "--headless --link %1", "/dev/pts/9999", listening + "/dev/pts/");
        testenv::row("a file of the user's", "--headless --link %1", "file",
                     "1|tivor-sign: %1 ya existe y no es un enlace de un cartel virtual");
        testenv::row("a link elsewhere", "--headless --link %1", "/tmp",
                     "1|tivor-sign: %1 ya existe y no es un enlace");
        testenv::row("IPv6", "--headless --listen tcp://[::1]:0", "", listening + "tcp://[::1]:");
        // With no place given, a pseudo-terminal behind the link in the user's runtime folder.
        testenv::row("no place", "--headless", "", listening + "/dev/pts/");
        testenv::row("a port that cannot be opened", "--headless --port %1", "", "1|tivor-sign: no se puede abrir %1:");
    }
    void tivorSignStarts()
    {
        auto [args, atLink, expected] = testenv::Table<QString, QString, QString>::fetch();
        const QString link = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(atLink != "file" ? atLink.isEmpty() || QFile::link(atLink, link) : testenv::writeFile(link, "x"));
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TIVOR_SIGN_PROGRAM), args.split(u' ').replaceInStrings(QStringLiteral("%1"), link));
        QString got;
        if (expected.startsWith("running|")) {
            QVERIFY(p.waitForReadyRead(10000));
            got = "running|" + QString::fromUtf8(p.readLine());
            QVERIFY(atLink.isEmpty() || QFileInfo(link).symLinkTarget() != atLink);
            if (args == QLatin1String("--headless"))
                QTRY_VERIFY(
                    QFileInfo(m_dir.filePath(QStringLiteral("tivor-sign"))).symLinkTarget().startsWith("/dev/pts/"));
            p.kill();
        } else {
            QVERIFY(p.waitForFinished(10000));
            got = QString::number(p.exitCode()) + u'|' + QString::fromUtf8(p.readAllStandardError());
        }
        p.waitForFinished(5000);
        QVERIFY2(got.startsWith(expected.contains("%1") ? expected.arg(link) : expected), qPrintable(got));
    }

    // tivor-sign on a serial line of its own (--port): what comes down the line is shown (one that cannot be
    // opened: tivorSignStarts).
    void tivorSignOnAPort()
    {
        testpty::Pty line;
        QVERIFY2(line.ok(), qPrintable(line.error()));
        QProcess sign;
        sign.start(QStringLiteral(TIVOR_SIGN_PROGRAM), {"--headless", "--port", line.slavePath()});
        QVERIFY(sign.waitForReadyRead(10000));
        QCOMPARE(::write(line.masterFd(), kHola.constData(), size_t(kHola.size())), ssize_t(kHola.size()));
        QString out;
        QTRY_VERIFY_WITH_TIMEOUT(
            (out += QString::fromUtf8(sign.readAllStandardOutput())).contains("|      HOLA      |"), 10000);
        QVERIFY2(out.startsWith(QStringLiteral("Cartel virtual escuchando en ") + line.slavePath()), qPrintable(out));
        sign.kill();
        sign.waitForFinished();
    }

    // tivor-sign as a network sign, fed by tivor-cli over TCP. A client that leaves half a message behind ends it
    // there; one that connected and went quiet for longer than the sign's silence rule does not keep the sender
    // out; the message then comes whole.
    void tivorSignListens()
    {
        QProcess sign;
        sign.start(QStringLiteral(TIVOR_SIGN_PROGRAM), {"--headless", "--listen", "tcp://127.0.0.1:0"});
        QVERIFY(sign.waitForReadyRead(10000));
        const QString where = QString::fromUtf8(sign.readLine()).section(u' ', -1).trimmed();
        QString out;
        const auto seen = [&](const char* text) {
            return (out += QString::fromUtf8(sign.readAllStandardOutput())).contains(text);
        };
        QTcpSocket half, quiet;
        half.connectToHost(QStringLiteral("127.0.0.1"), QUrl(where).port());
        QVERIFY(half.waitForConnected(5000));
        half.write("W-NT9\xDF\xE0\x80      HO");
        half.disconnectFromHost();
        QTRY_VERIFY_WITH_TIMEOUT(seen("conexion cerrada"), 10000);
        quiet.connectToHost(QStringLiteral("127.0.0.1"), QUrl(where).port());
        QVERIFY(quiet.waitForConnected(5000));
        QTest::qWait(int(sign::Decoder::SilenceLimitMs) + 500);
        QVERIFY(testenv::writeFile(m_dir.filePath("m.mnm"), "1,4,2,\"HOLA\"\r\n"));
        QCOMPARE(
            QProcess::execute(QStringLiteral(TIVOR_CLI_BINARY), {"send", m_dir.filePath("m.mnm"), "--port", where}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(seen("|      HOLA      |"), 10000);
        QCOMPARE(
            out,
            "Mensaje: 0 paginas, 16 bytes, velocidad Rapida (incompleta: el cartel la descarta)\n"
            "  Error: conexion cerrada dentro de una transmision: se descarta y se espera otro preambulo\n"
            "Mensaje: 1 paginas, 27 bytes, velocidad Rapida\n  Pagina  1  Estatico   pausa 5  |      HOLA      |\n");
        sign.kill();
        sign.waitForFinished();
    }
};

QTEST_MAIN(TestSign)
#include "tst_sign.moc"
