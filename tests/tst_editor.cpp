// The main window offscreen: start-up, status line, menus and tool buttons, and the page editor.
#include "support/EditorKit.h"

#include "platform/MsgBox.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>

using namespace Module1;
using namespace editorkit;
using platform::testing::queuedAnswers;
using platform::testing::shownBoxes;

class TestEditor : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<FrmMain> w;

    // Shows the window and waits until it is active, so focus can be checked.
    void showActive()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }
    void clearFocus()
    {
        child<QLineEdit>(*w, "txtGoto")->setFocus();
        QVERIFY(!txtMensaje(*w)->hasFocus());
    }

private slots:
    void init() { w = freshWindow(dir); }
    void cleanup() { w.reset(); }

    void startUpState()
    {
        QCOMPARE(w->windowTitle(), QStringLiteral("Quendar - Tivor v1.8"));
        QCOMPARE(VersionText, QStringLiteral("v1.8"));
        QCOMPARE(AppFolder, QCoreApplication::applicationDirPath());
        QCOMPARE(w->statusPanel(1), QString());
        QCOMPARE(w->statusPanel(2), QStringLiteral("Sin Nombre"));
        QCOMPARE(w->statusPanel(3), QString());
        QVERIFY(!w->messageOpen());
        QVERIFY(!fraMensaje(*w)->isEnabled());
        QCOMPARE(MsgFileName, QString());
        QCOMPARE(PageCount, 1);
        QCOMPARE(CurrentPage, 1);
        QVERIFY(!MsgModified);
        QStringList effects;
        for (int i = 0; i < cboEfe(*w)->count(); ++i)
            effects.append(cboEfe(*w)->itemText(i));
        QCOMPARE(effects, EffectList);
        QCOMPARE(cboPausa(*w)->count(), 9);
        QCOMPARE(cboPausa(*w)->itemText(8), QStringLiteral("9"));
        QCOMPARE(cboEfe(*w)->currentIndex(), 0);
        QVERIFY(!cboEfe(*w)->isEditable());
        QVERIFY(optLeft(*w)->isChecked());
        QVERIFY(w->Timer1.isActive());
        QCOMPARE(w->Timer1.interval(), 5000);
        // Nothing of the editor answers while no message is open.
        button(*w, "cmdPagDwn")->click();
        button(*w, "cmdInsertar")->click();
        QCOMPARE(PageCount, 1);
        QVERIFY(shownBoxes.isEmpty());
    }

    void fieldLooks()
    {
        QLineEdit* t = txtMensaje(*w);
        QCOMPARE(t->maxLength(), 255);
        QCOMPARE(t->font().family(), QStringLiteral("Courier New"));
        QCOMPARE(t->font().pointSize(), 15);
        QVERIFY(t->font().bold());
        QCOMPARE(t->toolTip(), QStringLiteral("Texto"));
        QCOMPARE(cboEfe(*w)->font().family(), QStringLiteral("Courier New"));
        QCOMPARE(cboEfe(*w)->font().pointSize(), 9);
        // Room for a whole sign line of 16 characters.
        const QFontMetrics fm(t->font());
        QVERIFY(t->minimumWidth() >= fm.horizontalAdvance(QString(16, QLatin1Char('W'))));
        const QImage shot = t->grab().toImage();
        const QColor background = shot.pixelColor(shot.width() / 2, 4);
        QVERIFY2(background.lightness() < 40, qPrintable(background.name()));
    }

    void toolButtonsInOrder()
    {
        const QList<QPair<const char*, QString>> expected = {
            {"cmdNew", "Nuevo Mensaje"},   {"cmdOpen", "Abrir Mensaje"},
            {"cmdSave", "Grabar Mensaje"}, {"cmdSaveAs", "Grabar Mensaje Como"},
            {"cmdClose", "Cerrar Mensaje"}, {"cmdImport", "Importar texto"},
            {"cmdOptions", "Opciones"},    {"cmdTx", "Enviar Mensaje al Cartel"},
            {"Command1", "Enviar Hora y Fecha"}, {"cmdAbout", "Acerca de"},
            {"cmdHelp", "Ayuda"},
        };
        w->resize(800, 400);
        w->show();
        int lastX = -1;
        for (const auto& [name, tip] : expected) {
            QToolButton* b = button(*w, name);
            QCOMPARE(b->toolTip(), tip);
            QVERIFY2(!b->icon().isNull(), name);
            QVERIFY(b->text().isEmpty() || b->toolButtonStyle() == Qt::ToolButtonIconOnly);
            const int x = b->mapTo(w.get(), QPoint(0, 0)).x();
            QVERIFY2(x > lastX, name);
            lastX = x;
        }
        const QList<QPair<const char*, QString>> pageCommands = {
            {"cmdPagDwn", "Proxima Pagina"}, {"cmdPagUp", "Pagina Anterior"}, {"cmdPagLast", "Ultima Pagina"},
            {"cmdPagFirst", "Primera Pagina"}, {"cmdInsertar", "Insertar Pagina"},
            {"cmdBorro", "Borrar Pagina Actual"}, {"cmdGtoPag", "Ir a Pagina"},
        };
        w->Nuevo_Click();
        QCoreApplication::processEvents();
        lastX = -1;
        for (const auto& [name, tip] : pageCommands) {
            QToolButton* b = button(*w, name);
            QCOMPARE(b->toolTip(), tip);
            QVERIFY2(!b->icon().isNull(), name);
            const int x = b->mapTo(w.get(), QPoint(0, 0)).x();
            QVERIFY2(x > lastX, name);
            lastX = x;
            if (QByteArray(name) == "cmdBorro")
                QVERIFY(child<QLineEdit>(*w, "txtGoto")->mapTo(w.get(), QPoint(0, 0)).x() > x);
        }
        QCOMPARE(txtGoto(*w)->toolTip(), QStringLiteral("Nro Pagina"));
        QCOMPARE(child<QLineEdit>(*w, "txtPag")->toolTip(), QStringLiteral("Pagina"));
        QCOMPARE(child<QLineEdit>(*w, "txtDe")->toolTip(), QStringLiteral("de"));
        QCOMPARE(cboEfe(*w)->toolTip(), QStringLiteral("Efecto"));
        QCOMPARE(cboPausa(*w)->toolTip(), QStringLiteral("Pausa"));
    }

    void menus()
    {
        auto entries = [](QMenu* menu) {
            QStringList list;
            for (QAction* a : menu->actions())
                list.append(a->isSeparator() ? QStringLiteral("-") : a->objectName() + QLatin1Char('=') + a->text());
            return list;
        };
        const QList<QAction*> top = w->menuBar()->actions();
        QCOMPARE(top.size(), 3);
        QCOMPARE(top[0]->text(), QStringLiteral("&Archivo"));
        QCOMPARE(top[1]->text(), QStringLiteral("&Opciones"));
        QCOMPARE(top[2]->text(), QStringLiteral("&Ayuda"));
        QCOMPARE(entries(top[0]->menu()),
                 QStringList({"Nuevo=&Nuevo Mensaje", "Cargar=&Abrir Mensaje ...", "cerrar=Cerrar Mensaje &Actual", "-",
                              "Importar=&Importar Archivo de Texto", "-", "save=&Grabar Mensaje",
                              "Grabar=&Grabar Mensaje como ...", "-", "Envio=&Enviar Mensaje al Cartel", "-",
                              "salir=&Salir"}));
        QCOMPARE(entries(top[1]->menu()), QStringList({"Opciones=&Puerto de Comunicacion"}));
        QCOMPARE(entries(top[2]->menu()),
                 QStringList({QStringLiteral("Help=&Contenido") + QString(12, QLatin1Char(' ')), "-",
                              "About=A&cerca de "}));
    }

    void statusBarHasThreePanels()
    {
        auto* bar = child<QStatusBar>(*w, "StatusBar1");
        QCOMPARE(bar->findChildren<QLabel*>().size(), 3);
        w->setStatusPanel(1, QStringLiteral("COM2: 9600"));
        QCOMPARE(child<QLabel>(*w, "panel1")->text(), QStringLiteral("COM2: 9600"));
        QCOMPARE(child<QLabel>(*w, "panel2")->text(), QStringLiteral("Sin Nombre"));
    }

    // A tool button does what its menu item does: the same dialog, the same state afterwards.
    void toolButtonsCallTheirMenuItem_data()
    {
        QTest::addColumn<QByteArray>("buttonName");
        QTest::addColumn<QByteArray>("actionName");
        QTest::newRow("new") << QByteArray("cmdNew") << QByteArray("Nuevo");
        QTest::newRow("open") << QByteArray("cmdOpen") << QByteArray("Cargar");
        QTest::newRow("save") << QByteArray("cmdSave") << QByteArray("save");
        QTest::newRow("save as") << QByteArray("cmdSaveAs") << QByteArray("Grabar");
        QTest::newRow("close") << QByteArray("cmdClose") << QByteArray("cerrar");
        QTest::newRow("import") << QByteArray("cmdImport") << QByteArray("Importar");
    }
    void toolButtonsCallTheirMenuItem()
    {
        QFETCH(QByteArray, buttonName);
        QFETCH(QByteArray, actionName);
        auto run = [&](bool viaButton) {
            w = freshWindow(dir);
            openMessage(*w, {QStringLiteral("UNO")});
            MsgModified = true;
            platform::testing::queuedFileNames = {QString()}; // any dialog is cancelled
            queuedAnswers = {MsgAnswer::No};
            if (viaButton)
                button(*w, buttonName.constData())->click();
            else
                action(*w, actionName.constData())->trigger();
            QStringList seen;
            for (const auto& d : platform::testing::shownDialogs)
                seen << QStringLiteral("dialog %1 %2 %3").arg(d.save).arg(d.filter).arg(d.flags);
            for (const auto& b : shownBoxes)
                seen << QStringLiteral("box ") + b.title;
            seen << w->statusPanel(3) << QString::number(w->messageOpen()) << QString::number(MsgSaveAs);
            return seen;
        };
        const QStringList byMenu = run(false);
        const QStringList byButton = run(true);
        QCOMPARE(byButton, byMenu);
        QVERIFY(byMenu.size() > 3); // something happened: a box, a dialog or a message
    }

    void typeMsgPrefixes_data()
    {
        QTest::addColumn<int>("tipo");
        QTest::addColumn<QString>("shown");
        QTest::newRow("0 PGM") << 0 << "PGM: Mensaje cargado OK!";
        QTest::newRow("1 COM") << 1 << "COM: Mensaje cargado OK!";
        QTest::newRow("2 none") << 2 << "Mensaje cargado OK!";
        QTest::newRow("3 ERR") << 3 << "ERR: Mensaje cargado OK!";
        QTest::newRow("5 none") << 5 << "Mensaje cargado OK!";
        QTest::newRow("255 none") << 255 << "Mensaje cargado OK!";
    }
    void typeMsgPrefixes()
    {
        QFETCH(int, tipo);
        QFETCH(QString, shown);
        w->TypeMsg(static_cast<quint8>(tipo), QStringLiteral("Mensaje cargado OK!"));
        QCOMPARE(w->statusPanel(3), shown);
        QCOMPARE(platform::testing::beepCount, 0);
    }

    void typeErrBeepsTwiceAndBorrMsgClears()
    {
        w->TypeErr(QStringLiteral("No se Grabo Mensaje..."));
        QCOMPARE(w->statusPanel(3), QStringLiteral("ERR: No se Grabo Mensaje..."));
        QCOMPARE(platform::testing::beepCount, 2);
        w->BorrMsg();
        QCOMPARE(w->statusPanel(3), QString());
    }

    void timerClearsPanel3AndStops()
    {
        w->Timer1.setInterval(60);
        w->TypeMsg(0, QStringLiteral("hola"));
        QVERIFY(w->Timer1.isActive());
        QCOMPARE(w->statusPanel(3), QStringLiteral("PGM: hola"));
        QTRY_COMPARE(w->statusPanel(3), QString());
        QVERIFY(!w->Timer1.isActive());
    }

    // A second message restarts the count: the first one's deadline passes without clearing it.
    void secondMessageRestartsTheCount()
    {
        w->Timer1.setInterval(600);
        QElapsedTimer clock;
        clock.start();
        w->TypeMsg(0, QStringLiteral("uno"));
        QTest::qWait(350);
        w->TypeMsg(0, QStringLiteral("dos"));
        const qint64 second = clock.elapsed();
        QTest::qWait(qMax(0, int(700 - clock.elapsed()))); // past the first message's deadline
        if (clock.elapsed() < second + 550) // a busy machine may have slept past the second one's too
            QCOMPARE(w->statusPanel(3), QStringLiteral("PGM: dos"));
        QTRY_COMPARE(w->statusPanel(3), QString());
        QVERIFY(clock.elapsed() >= second + 570);
    }

    void iniFrameClearsModifiedAfterItsRefresh()
    {
        openMessage(*w, {QStringLiteral("A"), QStringLiteral("B")});
        CurrentPage = 2;
        w->RefMensaje();
        QVERIFY(MsgModified); // the refresh wrote another text
        txtGoto(*w)->setText(QStringLiteral("2"));
        w->Ini_Frame();
        QVERIFY(!MsgModified);
        QCOMPARE(txtGoto(*w)->text(), QString());
        QCOMPARE(txtMensaje(*w)->text(), QString());
        QCOMPARE(shownPage(*w), QStringLiteral("1 de 1"));
        QVERIFY(slotsAboveCountBlank());
    }

    void firstAndPreviousAtPageOne()
    {
        showActive();
        openMessage(*w, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        clearFocus();
        button(*w, "cmdPagUp")->click();
        QCOMPARE(CurrentPage, 1);
        QVERIFY(txtMensaje(*w)->hasFocus());
        clearFocus();
        button(*w, "cmdPagLast")->click();
        QCOMPARE(shownPage(*w), QStringLiteral("3 de 3"));
        QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("C"));
        QVERIFY(!txtMensaje(*w)->hasFocus());
        button(*w, "cmdPagFirst")->click();
        QCOMPARE(shownPage(*w), QStringLiteral("1 de 3"));
        QVERIFY(!txtMensaje(*w)->hasFocus());
        button(*w, "cmdPagDwn")->click();
        QCOMPARE(shownPage(*w), QStringLiteral("2 de 3"));
        QVERIFY(txtMensaje(*w)->hasFocus());
        QVERIFY(shownBoxes.isEmpty());
    }

    void movingTakesTheFieldsAndSetsModified()
    {
        openMessage(*w, {QStringLiteral("A"), QStringLiteral("B")});
        txtMensaje(*w)->setText(QStringLiteral("A2"));
        cboEfe(*w)->setCurrentIndex(3);
        cboPausa(*w)->setCurrentIndex(4);
        optCenter(*w)->setChecked(true);
        MsgModified = false;
        button(*w, "cmdPagDwn")->click();
        QCOMPARE(PageText[1], QStringLiteral("A2"));
        QCOMPARE(PageEffect[1], 3);
        QCOMPARE(PagePause[1], 4);
        QCOMPARE(PageAlign[1], 2);
        // Nothing was edited on the way, but the refresh changed the fields.
        QVERIFY(MsgModified);
        QCOMPARE(cboEfe(*w)->currentIndex(), 0);
        QVERIFY(optLeft(*w)->isChecked());
        QVERIFY(!cboPausa(*w)->isEnabled());
    }

    // Staying on the same page rewrites nothing, so the flag is left as it was, set or clear.
    void commandsAtTheirLimitsKeepTheFlag_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<int>("startPage");
        QTest::addColumn<bool>("modified");
        for (bool modified : {false, true}) {
            const char* m = modified ? "set" : "clear";
            QTest::addRow("previous on 1, %s", m) << QByteArray("cmdPagUp") << 1 << modified;
            QTest::addRow("first on 1, %s", m) << QByteArray("cmdPagFirst") << 1 << modified;
            QTest::addRow("last on 64, %s", m) << QByteArray("cmdPagLast") << 64 << modified;
            QTest::addRow("next on 64, %s", m) << QByteArray("cmdPagDwn") << 64 << modified;
            QTest::addRow("go to 64 on 64, %s", m) << QByteArray("cmdGtoPag") << 64 << modified;
        }
    }
    void commandsAtTheirLimitsKeepTheFlag()
    {
        QFETCH(QByteArray, command);
        QFETCH(int, startPage);
        QFETCH(bool, modified);
        QStringList texts;
        for (int i = 1; i <= 64; ++i)
            texts << QStringLiteral("P%1").arg(i);
        openMessage(*w, texts);
        txtGoto(*w)->setText(QString::number(startPage));
        button(*w, "cmdGtoPag")->click();
        MsgModified = modified;
        button(*w, command.constData())->click();
        QCOMPARE(int(CurrentPage), startPage);
        QCOMPARE(PageCount, 64);
        QCOMPARE(MsgModified, modified);
        QVERIFY(shownBoxes.isEmpty());
    }

    void addPageAtTheEnd_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void addPageAtTheEnd()
    {
        QFETCH(bool, yes);
        openMessage(*w, {"1", "2", "3", "4", "5"});
        button(*w, "cmdPagLast")->click();
        cboEfe(*w)->setCurrentIndex(2);
        optCenter(*w)->setChecked(true);
        queuedAnswers = {yes ? MsgAnswer::Yes : MsgAnswer::No};
        button(*w, "cmdPagDwn")->click();
        QCOMPARE(shownBoxes.size(), 1);
        QCOMPARE(shownBoxes[0].title, QStringLiteral("Nueva Pagina"));
        QCOMPARE(shownBoxes[0].text, QStringLiteral("No hay mas Paginas\rDesea Agregar una Nueva?"));
        QCOMPARE(shownBoxes[0].icon, MsgIcon::Information);
        QCOMPARE(shownBoxes[0].buttons, MsgButtons::YesNo);
        if (yes) {
            QCOMPARE(shownPage(*w), QStringLiteral("6 de 6"));
            QCOMPARE(txtMensaje(*w)->text(), QString());
            QCOMPARE(cboEfe(*w)->currentText(), QStringLiteral("Rotacion"));
            QCOMPARE(cboPausa(*w)->currentText(), QStringLiteral("1"));
            QVERIFY(optLeft(*w)->isChecked());
        } else {
            QCOMPARE(shownPage(*w), QStringLiteral("5 de 5"));
            QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("5"));
        }
        QCOMPARE(PageEffect[5], 2);
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    void fullMessageLimits()
    {
        QStringList texts;
        for (int i = 1; i <= 64; ++i)
            texts << QStringLiteral("P%1").arg(i);
        openMessage(*w, texts);
        button(*w, "cmdPagLast")->click();
        button(*w, "cmdPagDwn")->click();
        QCOMPARE(shownPage(*w), QStringLiteral("64 de 64"));
        button(*w, "cmdInsertar")->click();
        QCOMPARE(PageCount, 64);
        QVERIFY(shownBoxes.isEmpty());

        txtGoto(*w)->setText(QStringLiteral("30"));
        button(*w, "cmdGtoPag")->click();
        queuedAnswers = {MsgAnswer::Yes};
        button(*w, "cmdBorro")->click();
        QCOMPARE(PageCount, 63);
        QCOMPARE(shownPage(*w), QStringLiteral("29 de 63"));
        QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("P29"));
        QCOMPARE(PageText[30], QStringLiteral("P31"));
        QCOMPARE(PageText[63], QStringLiteral("P64"));
        QVERIFY(slotsAboveCountBlank());
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    void onePageCannotBeDeleted()
    {
        openMessage(*w, {QStringLiteral("SOLA")});
        button(*w, "cmdBorro")->click();
        QCOMPARE(PageCount, 1);
        QCOMPARE(PageText[1], QStringLiteral("SOLA"));
        QVERIFY(shownBoxes.isEmpty());
    }

    void insertTakesTheTypedPageFirst()
    {
        openMessage(*w, {"A", "B", "C"});
        button(*w, "cmdPagDwn")->click();
        txtMensaje(*w)->setText(QStringLiteral("X"));
        queuedAnswers = {MsgAnswer::Yes};
        button(*w, "cmdInsertar")->click();
        QCOMPARE(shownBoxes.last().title, QStringLiteral("Insertar"));
        QCOMPARE(shownBoxes.last().text, QStringLiteral("Desea Insertar una Pagina ?"));
        QCOMPARE(shownBoxes.last().icon, MsgIcon::Information);
        QCOMPARE(modelTexts(), QStringList({"A", "", "X", "C"}));
        QCOMPARE(shownPage(*w), QStringLiteral("2 de 4"));
        QCOMPARE(txtMensaje(*w)->text(), QString());
        QVERIFY(slotsAboveCountBlank());
    }

    void deleteShowsThePageBefore()
    {
        openMessage(*w, {"A", "B", "C", "D"});
        txtGoto(*w)->setText(QStringLiteral("3"));
        button(*w, "cmdGtoPag")->click();
        txtMensaje(*w)->setText(QStringLiteral("typed, not kept"));
        queuedAnswers = {MsgAnswer::Yes};
        button(*w, "cmdBorro")->click();
        QCOMPARE(shownBoxes.last().title, QStringLiteral("Borrar"));
        QCOMPARE(shownBoxes.last().text, QStringLiteral("Desea Borrar Pagina ?"));
        QCOMPARE(shownBoxes.last().icon, MsgIcon::Critical);
        QCOMPARE(modelTexts(), QStringList({"A", "B", "D"}));
        QCOMPARE(shownPage(*w), QStringLiteral("2 de 3"));
        QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("B"));
        QVERIFY(slotsAboveCountBlank());

        button(*w, "cmdPagFirst")->click();
        queuedAnswers = {MsgAnswer::Yes};
        button(*w, "cmdBorro")->click();
        QCOMPARE(modelTexts(), QStringList({"B", "D"}));
        QCOMPARE(shownPage(*w), QStringLiteral("1 de 2"));
        QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("B"));
    }

    void answeringNoChangesNothing()
    {
        openMessage(*w, {"A", "B", "C"});
        button(*w, "cmdPagDwn")->click();
        queuedAnswers = {MsgAnswer::No, MsgAnswer::No};
        button(*w, "cmdInsertar")->click();
        button(*w, "cmdBorro")->click();
        QCOMPARE(modelTexts(), QStringList({"A", "B", "C"}));
        QCOMPARE(shownPage(*w), QStringLiteral("2 de 3"));
        QCOMPARE(shownBoxes.size(), 2);
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    void goToPage_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("page");
        QTest::newRow("3") << "3" << 3;
        QTest::newRow("0") << "0" << 4;
        QTest::newRow("6 is past the end") << "6" << 4;
        QTest::newRow("-2") << "-2" << 4;
        QTest::newRow("300") << "300" << 4;
        QTest::newRow("abc") << "abc" << 4;
        QTest::newRow("empty") << "" << 4;
        QTest::newRow("2.5 to even") << "2.5" << 2;
        QTest::newRow("3.5 to even") << "3.5" << 4;
        QTest::newRow("2.6") << "2.6" << 3;
        QTest::newRow("blank 4x") << " 4x" << 4;
        QTest::newRow("tab and plus") << "\t+1" << 1;
        QTest::newRow("1.4 rounds down") << "1.4" << 1;
        QTest::newRow("0.5 to even 0") << "0.5" << 4;
        QTest::newRow("exponent") << "5e-1" << 4;
        QTest::newRow("exponent up") << "0.2e1" << 2;
        QTest::newRow("huge") << "1e999" << 4;
        QTest::newRow("dot alone") << "." << 4;
        QTest::newRow("comma stops") << "2,9" << 2;
        QTest::newRow("inner blank stops") << "1 5" << 1;
    }
    void goToPage()
    {
        QFETCH(QString, typed);
        QFETCH(int, page);
        openMessage(*w, {"A", "B", "C", "D", "E"});
        txtGoto(*w)->setText(QStringLiteral("4"));
        button(*w, "cmdGtoPag")->click();
        QCOMPARE(CurrentPage, 4);
        txtGoto(*w)->setText(typed);
        button(*w, "cmdGtoPag")->click();
        QCOMPARE(int(CurrentPage), page);
        QCOMPARE(txtMensaje(*w)->text(), PageText[page]);
        QCOMPARE(txtGoto(*w)->text(), typed);
        QVERIFY(shownBoxes.isEmpty());
    }

    void clockPlaceholders()
    {
        openMessage(*w, {"A", "B"});
        cboPausa(*w)->setCurrentIndex(3);
        cboEfe(*w)->setCurrentIndex(EffectHora);
        QCOMPARE(txtMensaje(*w)->text(), HoraPlaceholder);
        QCOMPARE(HoraPlaceholder.size(), 15);
        QVERIFY(!txtMensaje(*w)->isEnabled());
        QVERIFY(!cboPausa(*w)->isEnabled());
        button(*w, "cmdPagDwn")->click();
        QCOMPARE(PageText[1], QStringLiteral(" Hora 00:00:00 "));
        QCOMPARE(PageEffect[1], EffectHora);
        QVERIFY(txtMensaje(*w)->isEnabled()); // page 2 is "Rotacion"

        cboEfe(*w)->setCurrentIndex(EffectFecha);
        QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("Fecha 12/07/07 "));
        // Leaving the clock effects enables the field again and keeps the placeholder.
        cboEfe(*w)->setCurrentIndex(1);
        QVERIFY(txtMensaje(*w)->isEnabled());
        QVERIFY(cboPausa(*w)->isEnabled());
        QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("Fecha 12/07/07 "));

        // Showing a stored clock page shows the stored text, not the placeholder.
        PageText[1] = QStringLiteral("otro");
        button(*w, "cmdPagFirst")->click();
        QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("otro"));
        QVERIFY(!txtMensaje(*w)->isEnabled());
    }

    void alignmentOneShowsCentredAndIsStoredAsTwo()
    {
        openMessage(*w, {"A", "B"});
        PageAlign[2] = 1;
        button(*w, "cmdPagDwn")->click();
        QVERIFY(optCenter(*w)->isChecked());
        QVERIFY(txtMensaje(*w)->alignment() & Qt::AlignHCenter);
        button(*w, "cmdPagFirst")->click();
        QCOMPARE(PageAlign[2], 2);

        // From a centred page to a page with 255: no handler runs, the page is taken on leaving.
        PageAlign[1] = 2;
        PageAlign[2] = 255;
        w->RefMensaje();
        button(*w, "cmdPagDwn")->click();
        QVERIFY(optCenter(*w)->isChecked());
        QCOMPARE(PageAlign[2], 255);
        button(*w, "cmdPagUp")->click();
        QCOMPARE(PageAlign[2], 2);
    }

    void alignmentOptionsWriteAtOnce()
    {
        showActive();
        openMessage(*w, {"A"});
        clearFocus();
        MsgModified = false;
        optCenter(*w)->click();
        QCOMPARE(PageAlign[1], 2);
        QVERIFY(MsgModified);
        QVERIFY(txtMensaje(*w)->hasFocus());
        QVERIFY(txtMensaje(*w)->alignment() & Qt::AlignHCenter);
        optLeft(*w)->click();
        QCOMPARE(PageAlign[1], 0);
        QVERIFY(txtMensaje(*w)->alignment() & Qt::AlignLeft);
    }

    void optionHandlersIdleWithoutMessage()
    {
        PageAlign[1] = 2;
        w->RefMensaje(); // the frame is disabled: selecting the option runs a handler that does nothing
        QVERIFY(optCenter(*w)->isChecked());
        PageAlign[1] = 0;
        MsgModified = false;
        optCenter(*w)->setChecked(false);
        optLeft(*w)->setChecked(true);
        QCOMPARE(PageAlign[1], 0);
        QVERIFY(!MsgModified);
    }

    // Codes a file can hold but the lists cannot: shown as they are and kept until the operator picks another.
    void outOfListCodesOnLaterPages()
    {
        openMessage(*w, {"A", "B", "C"});
        PageEffect[2] = 200;
        PagePause[2] = 20;
        PageEffect[3] = 13;
        button(*w, "cmdPagDwn")->click();
        QCOMPARE(cboEfe(*w)->currentText(), QStringLiteral("Codigo 200"));
        QCOMPARE(cboPausa(*w)->currentText(), QStringLiteral("Codigo 20"));
        QVERIFY(!cboPausa(*w)->isEnabled());
        QVERIFY(txtMensaje(*w)->isEnabled());
        QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("B"));
        MsgModified = false;
        button(*w, "cmdPagDwn")->click(); // to another out-of-list effect
        QCOMPARE(PageEffect[2], 200);
        QCOMPARE(PagePause[2], 20);
        QCOMPARE(cboEfe(*w)->currentText(), QStringLiteral("Codigo 13"));
        QVERIFY(MsgModified);
        QCOMPARE(cboEfe(*w)->count(), 14);
        button(*w, "cmdPagFirst")->click();
        QCOMPARE(PageEffect[3], 13);
        QCOMPARE(cboEfe(*w)->count(), 13);
        QCOMPARE(cboPausa(*w)->count(), 9);
        QCOMPARE(cboEfe(*w)->currentIndex(), 0);

        // The operator picks a listed effect: that one is stored.
        txtGoto(*w)->setText(QStringLiteral("2"));
        button(*w, "cmdGtoPag")->click();
        cboEfe(*w)->setCurrentIndex(1);
        QVERIFY(cboPausa(*w)->isEnabled());
        button(*w, "cmdPagFirst")->click();
        QCOMPARE(PageEffect[2], 1);
        QCOMPARE(PagePause[2], 20); // the pause was left alone
    }

    void typedTextIsLimited()
    {
        openMessage(*w, {"A"});
        txtMensaje(*w)->clear();
        QTest::keyClicks(txtMensaje(*w), QString(300, QLatin1Char('x')));
        QCOMPARE(txtMensaje(*w)->text().size(), 255);
        // A loader's longer text is shown and taken whole, even past what a line edit can hold.
        for (int size : {400, 40000}) {
            PageText[1] = QString(size, QLatin1Char('y'));
            w->RefMensaje();
            w->TomoActual();
            QCOMPARE(PageText[1].size(), size);
        }
        // A shorter page brings the typing limit back.
        PageText[1] = QStringLiteral("corto");
        w->RefMensaje();
        QCOMPARE(txtMensaje(*w)->maxLength(), 255);
    }

    void helpFromButtonAndMenu_data()
    {
        QTest::addColumn<bool>("viaButton");
        QTest::newRow("cmdHelp") << true;
        QTest::newRow("Contenido") << false;
    }
    void helpFromButtonAndMenu()
    {
        QFETCH(bool, viaButton);
        AppFolder = dir.path(); // the help document is looked for beside the program
        QVERIFY(testenv::writeFile(dir.filePath(QStringLiteral("tivor.html")), "<h1>Ayuda de Tivor</h1>"));
        if (viaButton)
            button(*w, "cmdHelp")->click();
        else
            action(*w, "Help")->trigger();
        auto* help = w->findChild<QWidget*>(QStringLiteral("frmAyuda"));
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QVERIFY(shownBoxes.isEmpty());
    }

    void aboutFromButtonAndMenu_data() { helpFromButtonAndMenu_data(); }
    void aboutFromButtonAndMenu()
    {
        QFETCH(bool, viaButton);
        QString opened;
        testenv::onNextModal([&](QWidget* modal) {
            opened = modal->objectName();
            modal->close();
        });
        if (viaButton)
            button(*w, "cmdAbout")->click();
        else
            action(*w, "About")->trigger();
        QCOMPARE(opened, QStringLiteral("frmAcerca"));
    }

    // One real message box, answered from the event loop.
    void realQuestionBoxAddsAPage()
    {
        platform::testing::scriptedBoxes = false;
        openMessage(*w, {"A"});
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        testenv::onNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            box->button(QMessageBox::Yes)->click();
        });
        button(*w, "cmdPagDwn")->click();
        QCOMPARE(title, QStringLiteral("Nueva Pagina"));
        QVERIFY(text.startsWith(QStringLiteral("No hay mas Paginas")));
        QVERIFY(text.endsWith(QStringLiteral("Desea Agregar una Nueva?")));
        QCOMPARE(icon, QMessageBox::Information);
        QCOMPARE(shownPage(*w), QStringLiteral("2 de 2"));
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
