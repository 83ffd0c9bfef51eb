// The page editor of the real main window: page commands, the fields against the model, the status line.
#include "support/EditorKit.h"

#include <QElapsedTimer>
#include <QMap>
#include <QTemporaryDir>

using namespace Module1;
using namespace editorkit;
using platform::testing::queuedAnswers;
using platform::testing::shownBoxes;

namespace
{
// Pages as "effect,pause,align,text" joined by '|'; "#N" is N pages "P1".."PN"; "-" opens no message.
void setUp(FrmMain& w, const QString& spec)
{
    if (spec == QLatin1String("-"))
        return;
    const QStringList pages = spec.startsWith(u'#') ? numbered(spec.mid(1).toInt()) : spec.split(u'|');
    QStringList texts;
    for (const QString& page : pages)
        texts << (spec.startsWith(u'#') ? page : page.section(u',', 3));
    openMessage(w, texts);
    for (int i = 0; i < pages.size() && !spec.startsWith(u'#'); ++i) {
        PageEffect[i + 1] = std::uint8_t(pages[i].section(u',', 0, 0).toInt());
        PagePause[i + 1] = std::uint8_t(pages[i].section(u',', 1, 1).toInt());
        PageAlign[i + 1] = std::uint8_t(pages[i].section(u',', 2, 2).toInt());
    }
    w.RefMensaje();
    MsgModified = false;
}

// Steps separated by ';': a page command, "goto N", "type T", "efe N", "pausa N", "center", "left", "clean".
void run(FrmMain& w, const QString& script)
{
    static const QMap<QString, const char*> buttons = {{"next", "cmdPagDwn"}, {"prev", "cmdPagUp"},
        {"first", "cmdPagFirst"}, {"last", "cmdPagLast"}, {"ins", "cmdInsertar"}, {"del", "cmdBorro"}};
    for (const QString& step : script.split(u';', Qt::SkipEmptyParts)) {
        const QString op = step.section(u' ', 0, 0);
        const QString arg = step.section(u' ', 1);
        if (op == QLatin1String("type"))
            txtMensaje(w)->setText(arg);
        else if (op == QLatin1String("efe"))
            cboEfe(w)->setCurrentIndex(arg.toInt());
        else if (op == QLatin1String("pausa"))
            cboPausa(w)->setCurrentIndex(arg.toInt());
        else if (op == QLatin1String("center") || op == QLatin1String("left"))
            (op == QLatin1String("left") ? optLeft(w) : optCenter(w))->setChecked(true);
        else if (op == QLatin1String("clean"))
            MsgModified = false;
        else if (op == QLatin1String("goto")) {
            txtGoto(w)->setText(arg);
            click(w, "cmdGtoPag");
        } else
            click(w, buttons.value(op));
    }
}
} // namespace

class TestEditor : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<FrmMain> w;

private slots:
    void init() { w = freshWindow(dir); }
    void cleanup() { w.reset(); }

    void startUp()
    {
        QCOMPARE(w->windowTitle(), QStringLiteral("Quendar - Tivor v1.8"));
        QCOMPARE(w->statusPanel(1) + "|" + w->statusPanel(2) + "|" + w->statusPanel(3), QStringLiteral("|Sin Nombre|"));
        QCOMPARE(state(*w), QStringLiteral("closed 1 de 1 [] e0 p0x L"));
    }

    void pageEditing_data()
    {
        QTest::addColumn<QString>("pages");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("answers"); // Y or N for each box, in order
        QTest::addColumn<QString>("boxes");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("model"); // empty: not compared
        const QString abc = QStringLiteral("0,0,0,A|0,0,0,B|0,0,0,C");
        QTest::newRow("no message: nothing answers") << "-" << "next;ins;del;center" << "" << ""
                                                    << "closed 1 de 1 [] e0 p0x C" << "0,0,0,";
        QTest::newRow("moving takes the fields") << "0,0,0,A|0,0,0,B" << "type A2;efe 3;pausa 4;center;clean;next"
                                                 << "" << "" << "2 de 2 [B] e0 p0x L *" << "3,4,2,A2|0,0,0,B";
        QTest::newRow("previous on 1") << "#64" << "clean;prev" << "" << "" << "1 de 64 [P1] e0 p0x L" << "";
        QTest::newRow("first on 1") << "#64" << "clean;first" << "" << "" << "1 de 64 [P1] e0 p0x L" << "";
        QTest::newRow("next on 64") << "#64" << "goto 64;clean;next" << "" << "" << "64 de 64 [P64] e0 p0x L" << "";
        QTest::newRow("last on 64") << "#64" << "goto 64;clean;last" << "" << "" << "64 de 64 [P64] e0 p0x L" << "";
        QTest::newRow("go to 64 on 64") << "#64" << "goto 64;clean;goto 64" << "" << "" << "64 de 64 [P64] e0 p0x L" << "";
        QTest::newRow("insert into 64 pages") << "#64" << "goto 64;clean;ins" << "" << "" << "64 de 64 [P64] e0 p0x L" << "";
        QTest::newRow("next on the last page, yes") << "0,0,0,A|0,0,0,B" << "last;efe 2;next" << "Y" << "Nueva Pagina"
                                                    << "3 de 3 [] e0 p0x L *" << "0,0,0,A|2,0,0,B|0,0,0,";
        QTest::newRow("next on the last page, no") << "0,0,0,A|0,0,0,B" << "last;efe 2;next" << "N" << "Nueva Pagina"
                                                   << "2 de 2 [B] e2 p0 L *" << "0,0,0,A|2,0,0,B";
        QTest::newRow("insert takes the typed page first") << abc << "next;type X;ins" << "Y" << "Insertar"
                                                           << "2 de 4 [] e0 p0x L *" << "0,0,0,A|0,0,0,|0,0,0,X|0,0,0,C";
        QTest::newRow("delete shows the page before") << abc + "|0,0,0,D" << "goto 3;type lost;del" << "Y" << "Borrar"
                                                       << "2 de 3 [B] e0 p0x L *" << "0,0,0,A|0,0,0,B|0,0,0,D";
        QTest::newRow("delete page 1") << "0,0,0,A|1,2,0,B" << "del" << "Y" << "Borrar" << "1 de 1 [B] e1 p2 L *"
                                       << "1,2,0,B";
        QTest::newRow("answered no") << abc << "next;clean;ins;del" << "NN" << "Insertar,Borrar"
                                     << "2 de 3 [B] e0 p0x L" << abc;
        QTest::newRow("the only page is not deleted") << "0,0,0,SOLA" << "del" << "" << "" << "1 de 1 [SOLA] e0 p0x L"
                                                      << "0,0,0,SOLA";
        // Codes a file can hold but the lists cannot: shown as an extra entry and kept until another is picked.
        const QString odd = QStringLiteral("0,0,0,A|200,20,0,B|13,0,0,C");
        QTest::newRow("Codigo entries") << odd << "next" << "" << "" << "2 de 3 [B] e13=Codigo 200 p9=Codigo 20x L *" << odd;
        QTest::newRow("Codigo to Codigo") << odd << "next;next" << "" << "" << "3 de 3 [C] e13=Codigo 13 p0x L *" << odd;
        QTest::newRow("Codigo entries removed") << odd << "next;next;first" << "" << "" << "1 de 3 [A] e0 p0x L *" << odd;
        QTest::newRow("listed effect picked") << odd << "next;efe 1;first" << "" << "" << "1 de 3 [A] e0 p0x L *"
                                              << "0,0,0,A|1,20,0,B|13,0,0,C";
        QTest::newRow("another Codigo is a change") << "200,0,0,X|201,0,0,X" << "clean;next" << "" << ""
                                                    << "2 de 2 [X] e13=Codigo 201 p0x L *" << "200,0,0,X|201,0,0,X";
        QTest::newRow("the same Codigo is none") << "200,0,0,X|200,0,0,X" << "clean;next" << "" << ""
                                                 << "2 de 2 [X] e13=Codigo 200 p0x L" << "200,0,0,X|200,0,0,X";
        // The clock effects write a placeholder and lock the text; a stored clock page shows its own text.
        QTest::newRow("Fecha placeholder") << "0,0,0,A" << "efe 12" << "" << "" << "1 de 1 [Fecha 12/07/07 ]x e12 p0x L *" << "0,0,0,A";
        QTest::newRow("placeholder kept") << "0,0,0,A" << "efe 12;efe 1" << "" << "" << "1 de 1 [Fecha 12/07/07 ] e1 p0 L *" << "0,0,0,A";
        QTest::newRow("Hora taken") << "0,0,0,A|1,0,0,B" << "pausa 3;efe 11;next" << "" << ""
                                    << "2 de 2 [B] e1 p0 L *" << "11,3,0, Hora 00:00:00 |1,0,0,B";
        QTest::newRow("effect 10, then a stored clock page") << "10,0,0,A|11,0,0,otro" << "" << "" << ""
                                                             << "1 de 2 [A] e10 p0 L" << "10,0,0,A|11,0,0,otro";
        QTest::newRow("stored clock page") << "10,0,0,A|11,0,0,otro" << "next" << "" << "" << "2 de 2 [otro]x e11 p0x L *"
                                           << "10,0,0,A|11,0,0,otro";
        // Alignment: anything but 0 shows centred; 1 is rewritten at once, 255 only when the page is taken.
        QTest::newRow("alignment 1") << "0,0,0,A|0,0,1,B" << "next" << "" << "" << "2 de 2 [B] e0 p0x C *" << "0,0,0,A|0,0,2,B";
        QTest::newRow("alignment 255 shown") << "0,0,2,A|0,0,255,B" << "next" << "" << "" << "2 de 2 [B] e0 p0x C *"
                                             << "0,0,2,A|0,0,255,B";
        QTest::newRow("alignment 255 taken") << "0,0,2,A|0,0,255,B" << "next;prev" << "" << "" << "1 de 2 [A] e0 p0x C *"
                                             << "0,0,2,A|0,0,2,B";
        QTest::newRow("centre writes at once") << "0,0,0,A" << "clean;center" << "" << "" << "1 de 1 [A] e0 p0x C *" << "0,0,2,A";
        QTest::newRow("left writes at once") << "0,0,2,A" << "clean;left" << "" << "" << "1 de 1 [A] e0 p0x L *" << "0,0,0,A";
    }
    void pageEditing()
    {
        QFETCH(QString, pages);
        QFETCH(QString, script);
        QFETCH(QString, answers);
        QFETCH(QString, boxes);
        QFETCH(QString, after);
        QFETCH(QString, model);
        setUp(*w, pages);
        for (QChar a : answers)
            queuedAnswers << (a == u'Y' ? MsgAnswer::Yes : MsgAnswer::No);
        run(*w, script);
        QCOMPARE(state(*w), after);
        if (!model.isEmpty())
            QCOMPARE(modelString(), model);
        static const QMap<QString, QPair<QString, MsgIcon>> prompts = {
            {"Nueva Pagina", {"No hay mas Paginas\rDesea Agregar una Nueva?", MsgIcon::Information}},
            {"Insertar", {"Desea Insertar una Pagina ?", MsgIcon::Information}},
            {"Borrar", {"Desea Borrar Pagina ?", MsgIcon::Critical}}};
        QStringList titles;
        for (const auto& box : shownBoxes) {
            titles << box.title;
            QCOMPARE(qMakePair(box.text, box.icon), prompts.value(box.title));
            QCOMPARE(box.buttons, MsgButtons::YesNo);
        }
        QCOMPARE(titles.join(u','), boxes);
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // Typing stops at 255 characters; a longer text from a file is shown and taken back whole.
    void longTexts()
    {
        setUp(*w, "0,0,0,A");
        txtMensaje(*w)->clear();
        QTest::keyClicks(txtMensaje(*w), QString(300, u'x'));
        QCOMPARE(txtMensaje(*w)->text().size(), 255);
        for (int size : {400, 40000}) {
            PageText[1] = QString(size, u'y');
            w->RefMensaje();
            w->TomoActual();
            QCOMPARE(PageText[1].size(), size);
        }
        txtMensaje(*w)->setText(QStringLiteral("yy")); // the start of the long text, typed: that is what counts
        w->TomoActual();
        QCOMPARE(PageText[1], QStringLiteral("yy"));
    }

    // Rounded to nearest (ties to even), leading blanks and a sign allowed, the number ends at the first other
    // character; anything that is not a page of the message leaves page 4 shown.
    void goToPage_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("page");
        const QList<QPair<const char*, int>> rows = {{"3", 3}, {"0", 4}, {"6", 4}, {"abc", 4}, {"", 4}, {"2.5", 2},
            {"3.5", 4}, {"2.6", 3}, {"1.4", 1}, {"0.5", 4}, {" 5x", 5}, {"\t+1", 1}, {"-1", 4}, {"0.2e1", 2},
            {"20e-1", 2}, {".5e1", 5}, {"3e", 3}, {"1e999", 4}, {"2,9", 2}, {"1 5", 1}};
        for (const auto& [typed, page] : rows)
            QTest::addRow("'%s'", typed) << QString::fromLatin1(typed) << page;
    }
    void goToPage()
    {
        QFETCH(QString, typed);
        QFETCH(int, page);
        setUp(*w, "#5");
        run(*w, "goto 4");
        txtGoto(*w)->setText(typed);
        click(*w, "cmdGtoPag");
        QCOMPARE(state(*w).section(u']', 0, 0), QStringLiteral("%1 de 5 [P%1").arg(page));
        QCOMPARE(txtGoto(*w)->text(), typed);
    }

    void statusLine_data()
    {
        QTest::addColumn<int>("tipo"); // -1: TypeErr
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("beeps");
        QTest::newRow("0") << 0 << "PGM: listo" << 0;
        QTest::newRow("1") << 1 << "COM: listo" << 0;
        QTest::newRow("2") << 2 << "listo" << 0;
        QTest::newRow("3") << 3 << "ERR: listo" << 0;
        QTest::newRow("255") << 255 << "listo" << 0;
        QTest::newRow("TypeErr") << -1 << "ERR: listo" << 2;
    }
    void statusLine()
    {
        QFETCH(int, tipo);
        QFETCH(QString, shown);
        QFETCH(int, beeps);
        tipo < 0 ? w->TypeErr(QStringLiteral("listo")) : w->TypeMsg(quint8(tipo), QStringLiteral("listo"));
        QCOMPARE(w->statusPanel(3), shown);
        QCOMPARE(platform::testing::beepCount, beeps);
    }

    // Real time: a tick due during the half-second wait clears the message at once; otherwise the message stays
    // 5000 ms from the end of that wait. (Timers may fire up to 5% early; never seconds early.)
    void statusLineInRealTime()
    {
        w = freshWindow(dir, 1.0);
        w->Timer1.start(100);
        w->TypeMsg(0, QStringLiteral("breve"));
        QCOMPARE(w->statusPanel(3), QString());
        QVERIFY(w->Timer1.isActive());

        w->Timer1.setInterval(5000);
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
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
