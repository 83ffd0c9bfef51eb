// The page editor of the real main window: page commands, the fields against the model, the status line.
#include "support/EditorKit.h"

#include "platform/Wait.h"

#include <QElapsedTimer>
#include <QMap>
#include <QTemporaryDir>

using namespace Module1;
using namespace editorkit;

class TestEditor : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<FrmMain> w;

    // Pages as "effect,pause,align,text" joined by '|', opened from a real file; "-" opens no message.
    void setUp(const QString& pages)
    {
        QByteArray bytes;
        for (const QString& page : pages.split(u'|'))
            bytes += (page.section(u',', 0, 2) + ",\"" + page.section(u',', 3) + "\"\r\n").toLatin1();
        if (pages != QLatin1String("-")) {
            QVERIFY(testenv::writeFile(dir.filePath("p.mnm"), bytes));
            run(*w, "<p.mnm>;Cargar", dir.path());
        }
    }

private slots:
    void init() { w = freshWindow(dir); }
    void cleanup() { w.reset(); }

    // Each row: the pages, the steps, and the editor's state, the model and the boxes shown afterwards.
    void pageEditing_data()
    {
        QTest::addColumn<QString>("pages");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QString& pages, const QString& script, const QString& expected) {
            QTest::newRow(name) << pages << script << expected;
        };
        QStringList full;
        for (int i = 1; i <= MaxPages; ++i)
            full << QStringLiteral("0,0,0,P%1").arg(i);
        const QString p64 = full.join(u'|');
        const QString abc = QStringLiteral("0,0,0,A|0,0,0,B|0,0,0,C");
        row("no message open", "-", "optCenter", "closed 1 de 1 [] e0 p0x C # 0,0,0, # ");
        row("moving takes the fields", "0,0,0,A|0,0,0,B", "txtMensaje A2;cboEfe 3;cboPausa 4;optCenter;clean;cmdPagDwn",
            "2 de 2 [B] e0 p0x L * # 3,4,2,A2|0,0,0,B # ");
        row("previous on 1", p64, "clean;cmdPagUp", "1 de 64 [P1] e0 p0x L # " + p64 + " # ");
        row("next on 64", p64, "txtGoto 64;cmdGtoPag;clean;cmdPagDwn", "64 de 64 [P64] e0 p0x L # " + p64 + " # ");
        row("insert into 64 pages", p64, "txtGoto 64;cmdGtoPag;clean;cmdInsertar",
            "64 de 64 [P64] e0 p0x L # " + p64 + " # ");
        row("next on the last page, yes", "0,0,0,A|0,0,0,B", "cmdPagLast;cboEfe 2;Y;cmdPagDwn",
            "3 de 3 [] e0 p0x L * # 0,0,0,A|2,0,0,B|0,0,0, # Nueva Pagina");
        row("next on the last page, no", "0,0,0,A|0,0,0,B", "cmdPagLast;cboEfe 2;N;cmdPagDwn",
            "2 de 2 [B] e2 p0 L * # 0,0,0,A|2,0,0,B # Nueva Pagina");
        row("insert takes the typed page first", abc, "cmdPagDwn;txtMensaje X;Y;cmdInsertar",
            "2 de 4 [] e0 p0x L * # 0,0,0,A|0,0,0,|0,0,0,X|0,0,0,C # Insertar");
        row("delete shows the page before", abc + "|0,0,0,D", "txtGoto 3;cmdGtoPag;txtMensaje lost;Y;cmdBorro",
            "2 de 3 [B] e0 p0x L * # 0,0,0,A|0,0,0,B|0,0,0,D # Borrar");
        row("delete page 1", "0,0,0,A|1,2,0,B", "Y;cmdBorro", "1 de 1 [B] e1 p2 L * # 1,2,0,B # Borrar");
        row("the only page is not deleted", "0,0,0,A", "cmdBorro", "1 de 1 [A] e0 p0x L # 0,0,0,A # ");
        row("answered no", abc, "cmdPagDwn;clean;N;cmdInsertar;N;cmdBorro",
            "2 de 3 [B] e0 p0x L # " + abc + " # Insertar,Borrar");
        // The keys: the page keys press the page buttons (also from the text field), the others the menu items.
        row("Page Down", abc, "^PgDown", "2 de 3 [B] e0 p0x L * # " + abc + " # ");
        row("Ctrl+End, Page Up, Ctrl+Home", abc, "^Ctrl+End;txtMensaje Z;^PgUp;^Ctrl+End;^Ctrl+Home",
            "1 de 3 [A] e0 p0x L * # 0,0,0,A|0,0,0,B|0,0,0,Z # ");
        row("Page Down on the last page", abc, "^Ctrl+End;Y;^PgDown", "4 de 4 [] e0 p0x L * # " + abc + "|0,0,0, # Nueva Pagina");
        row("Page Down, no message", "-", "^PgDown", "closed 1 de 1 [] e0 p0x L # 0,0,0, # ");
        row("Ctrl+N", "-", "^Ctrl+N", "1 de 1 [] e0 p0x L # 0,0,0, # ");
        row("Ctrl+O", "0,0,0,A", "txtMensaje Z;N;<p.mnm>;^Ctrl+O", "1 de 1 [A] e0 p0x L # 0,0,0,A # Grabar");
        row("Ctrl+W", "0,0,0,A", "txtMensaje Z;N;^Ctrl+W", "closed 1 de 1 [Z] e0 p0x L * # 0,0,0,A # Grabar");
        row("Ctrl+S", "0,0,0,A", "txtMensaje Z;^Ctrl+S", "1 de 1 [Z] e0 p0x L # 0,0,0,Z # ");
        row("Ctrl+Shift+S", "0,0,0,A", "dirty;<q.mnm>;^Ctrl+Shift+S", "1 de 1 [A] e0 p0x L # 0,0,0,A # ");
        row("Ctrl+I", "0,0,0,A", "<p.mnm>;^Ctrl+I", "1 de 1 [0,0,0,\"A\"       ] e0 p0x L * # 0,0,0,0,0,0,\"A\"        # ");
        row("Ctrl+Q", "0,0,0,A", "dirty;N;^Ctrl+Q", "1 de 1 [A] e0 p0x L * # 0,0,0,A # Grabar");
        // Codes a file can hold but the lists cannot: shown as an extra entry and kept until another is picked.
        const QString odd = QStringLiteral("0,0,0,A|200,20,0,B|13,0,0,C");
        row("Codigo entries", odd, "cmdPagDwn", "2 de 3 [B] e13=Codigo 200 p9=Codigo 20x L * # " + odd + " # ");
        row("Codigo to Codigo", odd, "cmdPagDwn;cmdPagDwn", "3 de 3 [C] e13=Codigo 13 p0x L * # " + odd + " # ");
        row("listed effect picked", odd, "cmdPagDwn;cboEfe 1;cmdPagFirst",
            "1 de 3 [A] e0 p0x L * # 0,0,0,A|1,20,0,B|13,0,0,C # ");
        row("Codigo changed", "0,0,0,X|200,0,0,X|201,0,0,X", "cmdPagDwn;clean;cmdPagDwn",
            "3 de 3 [X] e13=Codigo 201 p0x L * # 0,0,0,X|200,0,0,X|201,0,0,X # ");
        // The clock effects write a placeholder and lock the text; a stored clock page shows its own text.
        row("Fecha", "0,0,0,A", "cboEfe 12", "1 de 1 [Fecha 12/07/07 ]x e12 p0x L * # 0,0,0,A # ");
        row("Hora taken", "0,0,0,A|1,0,0,B", "cboPausa 3;cboEfe 11;cmdPagDwn",
            "2 de 2 [B] e1 p0 L * # 11,3,0, Hora 00:00:00 |1,0,0,B # ");
        row("effect 10", "10,0,0,A|11,0,0,otro", "", "1 de 2 [A] e10 p0 L # 10,0,0,A|11,0,0,otro # ");
        row("stored clock page", "10,0,0,A|11,0,0,otro", "cmdPagDwn",
            "2 de 2 [otro]x e11 p0x L * # 10,0,0,A|11,0,0,otro # ");
        // Alignment: anything but 0 shows centred; 1 is rewritten at once, 255 only when the page is taken.
        row("alignment 1", "0,0,0,A|0,0,1,B", "cmdPagDwn", "2 de 2 [B] e0 p0x C * # 0,0,0,A|0,0,2,B # ");
        row("alignment 255", "0,0,2,A|0,0,255,B", "cmdPagDwn", "2 de 2 [B] e0 p0x C * # 0,0,2,A|0,0,255,B # ");
        row("centre writes at once", "0,0,0,A", "clean;optCenter", "1 de 1 [A] e0 p0x C * # 0,0,2,A # ");
        row("left writes at once", "0,0,2,A", "clean;optLeft", "1 de 1 [A] e0 p0x L * # 0,0,0,A # ");
        // Go to: rounded to nearest (ties to even), leading blanks and a sign allowed, the number ends at the first
        // other character; anything that is not a page of the message leaves page 4 shown.
        const QString p5 = QStringLiteral("0,0,0,P1|0,0,0,P2|0,0,0,P3|0,0,0,P4|0,0,0,P5");
        for (const auto& [typed, page] : {std::pair{"3", 3}, {"0", 4}, {"6", 4}, {"abc", 4}, {"", 4}, {"2.5", 2},
                 {"3.5", 4}, {"2.6", 3}, {"1.4", 1}, {"0.5", 4}, {" 5x", 5}, {"\t+1", 1}, {"-1", 4}, {"0.2e1", 2},
                 {"20e-1", 2}, {".5e1", 5}, {"3e", 3}, {"1e999", 4}, {"2,9", 2}, {"1 5", 1}}) {
            row(qPrintable(QStringLiteral("go to '%1'").arg(typed)), p5,
                QStringLiteral("txtGoto 4;cmdGtoPag;txtGoto %1;cmdGtoPag").arg(typed),
                QStringLiteral("%1 de 5 [P%1] e0 p0x L * # ").arg(page) + p5 + " # ");
        }
    }
    void pageEditing()
    {
        QFETCH(QString, pages);
        QFETCH(QString, script);
        QFETCH(QString, expected);
        setUp(pages);
        run(*w, script, dir.path());
        static const QMap<QString, QString> texts = {{"Nueva Pagina", "No hay mas Paginas\rDesea Agregar una Nueva?"},
            {"Insertar", "Desea Insertar una Pagina ?"}, {"Borrar", "Desea Borrar Pagina ?"},
            {"Grabar", "Hay cambios Realizados\rDesea Grabar el Mensaje?"}};
        QStringList titles;
        for (const auto& box : platform::testing::shownBoxes) {
            titles << box.title;
            QCOMPARE(box.text, texts.value(box.title));
            QCOMPARE(box.icon, box.title == QLatin1String("Borrar") ? MsgIcon::Critical : MsgIcon::Information);
            QCOMPARE(box.buttons, MsgButtons::YesNo);
        }
        QCOMPARE(state(*w) + " # " + modelString() + " # " + titles.join(u','), expected);
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // Typing stops at 255 characters; a longer text from a file is shown and taken back whole.
    void longTexts()
    {
        setUp("0,0,0,A");
        QTest::keyClicks(txtMensaje(*w), QString(300, u'x'));
        QCOMPARE(txtMensaje(*w)->text(), "A" + QString(254, u'x'));
        for (int size : {400, 40000}) {
            PageText[1] = QString(size, u'y');
            w->RefMensaje();
            w->TomoActual();
            QCOMPARE(PageText[1].size(), size);
        }
        run(*w, "txtMensaje yy"); // the start of the long text, typed: that is what counts
        w->TomoActual();
        QCOMPARE(PageText[1], QStringLiteral("yy"));
    }

    // The prefixes and the beeps through the wait seam; then in real time: a message stays 5000 ms from the end of
    // its half-second wait (timers may fire up to 5% early; never seconds early), and a tick that falls due during
    // that wait runs inside it and clears the message at once.
    void statusLine()
    {
        QCOMPARE(w->windowTitle() + "|" + w->statusPanel(2), QStringLiteral("Quendar - Tivor v1.8|Sin Nombre"));
        for (const auto& [tipo, prefix] : {std::pair{0, "PGM: "}, {1, "COM: "}, {2, ""}, {3, "ERR: "}, {255, ""}}) {
            w->TypeMsg(quint8(tipo), QStringLiteral("listo"));
            QCOMPARE(w->statusPanel(3), prefix + QStringLiteral("listo"));
        }
        QCOMPARE(platform::testing::beepCount, 0);
        w->TypeErr(QStringLiteral("mal"));
        QCOMPARE(w->statusPanel(3) + QString::number(platform::testing::beepCount), QStringLiteral("ERR: mal2"));

        platform::testing::waitScale = 1.0;
        QElapsedTimer clock;
        clock.start();
        w->TypeMsg(0, QStringLiteral("dos"));
        const qint64 waited = clock.elapsed();
        QVERIFY(waited >= 500);
        QTest::qWait(4000);
        QCOMPARE(w->statusPanel(3), QStringLiteral("PGM: dos"));
        QTRY_COMPARE_WITH_TIMEOUT(w->statusPanel(3), QString(), 5000);
        QVERIFY(clock.elapsed() - waited >= 4750);
        QVERIFY(!w->Timer1.isActive());
        w->Timer1.start(100);
        w->TypeMsg(0, QStringLiteral("breve"));
        QCOMPARE(w->statusPanel(3), QString());
        QVERIFY(w->Timer1.isActive());
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
