// The main window offscreen: start-up, status line, menus and tool buttons, and the page editor.
#include "support/EditorKit.h"
#include "link/SignProtocol.h"

#include "platform/MsgBox.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
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
        QCOMPARE(AppFolder, QCoreApplication::applicationDirPath());
        QCOMPARE(child<QStatusBar>(*w, "StatusBar1")->findChildren<QLabel*>().size(), 3);
        QCOMPARE(w->statusPanel(1) + "|" + w->statusPanel(2) + "|" + w->statusPanel(3), QStringLiteral("|Sin Nombre|"));
        QVERIFY(!w->messageOpen());
        QVERIFY(!fraMensaje(*w)->isEnabled());
        QCOMPARE(cboEfe(*w)->count(), 13);
        QCOMPARE(cboPausa(*w)->count(), 9);
        QCOMPARE(cboPausa(*w)->itemText(8), QStringLiteral("9"));
        QVERIFY(!cboEfe(*w)->isEditable());
        QVERIFY(optLeft(*w)->isChecked());
        QVERIFY(w->Timer1.isActive());
        // A whole sign line of 16 characters fits, light on a dark field.
        QLineEdit* t = txtMensaje(*w);
        QVERIFY(t->minimumWidth() >= QFontMetrics(t->font()).horizontalAdvance(QString(16, QLatin1Char('W'))));
        const QImage shot = t->grab().toImage();
        QVERIFY2(shot.pixelColor(shot.width() / 2, 4).lightness() < 40, "field background not dark");
        // Nothing of the editor answers while no message is open.
        click(*w, "cmdPagDwn");
        click(*w, "cmdInsertar");
        QCOMPARE(PageCount, 1);
        QVERIFY(shownBoxes.isEmpty());
    }

    // Every control's tooltip, with an icon, left to right in this order (a null name starts the page row).
    void controlsTooltipsAndOrder()
    {
        const QList<QPair<const char*, const char*>> buttons = {
            {"cmdNew", "Nuevo Mensaje"}, {"cmdOpen", "Abrir Mensaje"}, {"cmdSave", "Grabar Mensaje"},
            {"cmdSaveAs", "Grabar Mensaje Como"}, {"cmdClose", "Cerrar Mensaje"}, {"cmdImport", "Importar texto"},
            {"cmdOptions", "Opciones"}, {"cmdTx", "Enviar Mensaje al Cartel"}, {"Command1", "Enviar Hora y Fecha"},
            {"cmdAbout", "Acerca de"}, {"cmdHelp", "Ayuda"}, {nullptr, nullptr},
            {"cmdPagDwn", "Proxima Pagina"}, {"cmdPagUp", "Pagina Anterior"}, {"cmdPagLast", "Ultima Pagina"},
            {"cmdPagFirst", "Primera Pagina"}, {"cmdInsertar", "Insertar Pagina"},
            {"cmdBorro", "Borrar Pagina Actual"}, {"txtGoto", "Nro Pagina"}, {"cmdGtoPag", "Ir a Pagina"},
        };
        w->resize(800, 400);
        w->show();
        w->Nuevo_Click();
        QCoreApplication::processEvents();
        int lastX = -1;
        for (const auto& [name, tip] : buttons) {
            if (!name) {
                lastX = -1;
                continue;
            }
            QWidget* c = child<QWidget>(*w, name);
            QCOMPARE(c->toolTip(), QString::fromLatin1(tip));
            if (auto* b = qobject_cast<QToolButton*>(c))
                QVERIFY2(!b->icon().isNull() && (b->text().isEmpty() || b->toolButtonStyle() == Qt::ToolButtonIconOnly), name);
            const int x = c->mapTo(w.get(), QPoint(0, 0)).x();
            QVERIFY2(x > lastX, name);
            lastX = x;
        }
        for (const auto& [name, tip] : {std::pair{"txtPag", "Pagina"}, {"txtDe", "de"}, {"txtMensaje", "Texto"},
                                        {"cboEfe", "Efecto"}, {"cboPausa", "Pausa"}})
            QCOMPARE(child<QWidget>(*w, name)->toolTip(), QString::fromLatin1(tip));
    }

    void menus()
    {
        QStringList shown;
        for (QAction* top : w->menuBar()->actions()) {
            shown << top->text() + QLatin1Char(':');
            for (QAction* a : top->menu()->actions())
                shown << (a->isSeparator() ? QStringLiteral("-") : a->objectName() + QLatin1Char('=') + a->text());
        }
        QCOMPARE(shown, QStringList({"&Archivo:", "Nuevo=&Nuevo Mensaje", "Cargar=&Abrir Mensaje ...",
                                     "cerrar=Cerrar Mensaje &Actual", "-", "Importar=&Importar Archivo de Texto", "-",
                                     "save=&Grabar Mensaje", "Grabar=&Grabar Mensaje como ...", "-",
                                     "Envio=&Enviar Mensaje al Cartel", "-", "salir=&Salir", "&Opciones:",
                                     "Opciones=&Puerto de Comunicacion", "&Ayuda:",
                                     QStringLiteral("Help=&Contenido") + QString(12, QLatin1Char(' ')), "-",
                                     "About=A&cerca de "}));
    }

    // A tool button does what its menu item does: the same dialog, the same state afterwards.
    void toolButtonsCallTheirMenuItem_data()
    {
        QTest::addColumn<QByteArray>("buttonName");
        QTest::addColumn<QByteArray>("actionName");
        for (const auto& [b, a] : {std::pair{"cmdNew", "Nuevo"}, {"cmdOpen", "Cargar"}, {"cmdSave", "save"},
                                   {"cmdSaveAs", "Grabar"}, {"cmdClose", "cerrar"}, {"cmdImport", "Importar"}})
            QTest::newRow(b) << QByteArray(b) << QByteArray(a);
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

    void typeErrBeepsTwiceAndTheTimerClears()
    {
        w->Timer1.setInterval(60);
        w->TypeErr(QStringLiteral("No se Grabo Mensaje..."));
        QCOMPARE(w->statusPanel(3), QStringLiteral("ERR: No se Grabo Mensaje..."));
        QCOMPARE(platform::testing::beepCount, 2);
        QVERIFY(w->Timer1.isActive());
        QTRY_COMPARE(w->statusPanel(3), QString());
        QVERIFY(!w->Timer1.isActive());
    }

    void iniFrameClearsModifiedAfterItsRefresh()
    {
        openMessage(*w, {"A", "B"});
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
        openMessage(*w, {"A", "B", "C"});
        clearFocus();
        click(*w, "cmdPagUp");
        QCOMPARE(CurrentPage, 1);
        QVERIFY(txtMensaje(*w)->hasFocus());
        clearFocus();
        click(*w, "cmdPagLast");
        QCOMPARE(shownPage(*w), QStringLiteral("3 de 3"));
        QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("C"));
        QVERIFY(!txtMensaje(*w)->hasFocus());
        click(*w, "cmdPagFirst");
        QCOMPARE(shownPage(*w), QStringLiteral("1 de 3"));
        QVERIFY(!txtMensaje(*w)->hasFocus());
        click(*w, "cmdPagDwn");
        QCOMPARE(shownPage(*w), QStringLiteral("2 de 3"));
        QVERIFY(txtMensaje(*w)->hasFocus());
        QVERIFY(shownBoxes.isEmpty());
    }

    void movingTakesTheFieldsAndSetsModified()
    {
        openMessage(*w, {"A", "B"});
        txtMensaje(*w)->setText(QStringLiteral("A2"));
        cboEfe(*w)->setCurrentIndex(3);
        cboPausa(*w)->setCurrentIndex(4);
        optCenter(*w)->setChecked(true);
        MsgModified = false;
        click(*w, "cmdPagDwn");
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
        openMessage(*w, numbered(64));
        goTo(*w, startPage);
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
        click(*w, "cmdPagLast");
        cboEfe(*w)->setCurrentIndex(2);
        optCenter(*w)->setChecked(true);
        queuedAnswers = {yes ? MsgAnswer::Yes : MsgAnswer::No};
        click(*w, "cmdPagDwn");
        QCOMPARE(shownBoxes.size(), 1);
        checkLastBox("Nueva Pagina", "No hay mas Paginas\rDesea Agregar una Nueva?", MsgIcon::Information,
                     MsgButtons::YesNo);
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
        openMessage(*w, numbered(64));
        click(*w, "cmdPagLast");
        click(*w, "cmdPagDwn");
        QCOMPARE(shownPage(*w), QStringLiteral("64 de 64"));
        click(*w, "cmdInsertar");
        QCOMPARE(PageCount, 64);
        QVERIFY(shownBoxes.isEmpty());

        goTo(*w, 30);
        queuedAnswers = {MsgAnswer::Yes};
        click(*w, "cmdBorro");
        QCOMPARE(PageCount, 63);
        QCOMPARE(shownPage(*w), QStringLiteral("29 de 63"));
        QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("P29"));
        QCOMPARE(PageText[30], QStringLiteral("P31"));
        QCOMPARE(PageText[63], QStringLiteral("P64"));
        QVERIFY(slotsAboveCountBlank());
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    void insertTakesTheTypedPageFirst()
    {
        openMessage(*w, {"A", "B", "C"});
        click(*w, "cmdPagDwn");
        txtMensaje(*w)->setText(QStringLiteral("X"));
        queuedAnswers = {MsgAnswer::Yes};
        click(*w, "cmdInsertar");
        checkLastBox("Insertar", "Desea Insertar una Pagina ?", MsgIcon::Information, MsgButtons::YesNo);
        QCOMPARE(modelTexts(), QStringList({"A", "", "X", "C"}));
        QCOMPARE(shownPage(*w), QStringLiteral("2 de 4"));
        QCOMPARE(txtMensaje(*w)->text(), QString());
        QVERIFY(slotsAboveCountBlank());
    }

    void deleteShowsThePageBefore()
    {
        openMessage(*w, {"A", "B", "C", "D"});
        goTo(*w, 3);
        txtMensaje(*w)->setText(QStringLiteral("typed, not kept"));
        queuedAnswers = {MsgAnswer::Yes};
        click(*w, "cmdBorro");
        checkLastBox("Borrar", "Desea Borrar Pagina ?", MsgIcon::Critical, MsgButtons::YesNo);
        QCOMPARE(modelTexts(), QStringList({"A", "B", "D"}));
        QCOMPARE(shownPage(*w), QStringLiteral("2 de 3"));
        QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("B"));
        QVERIFY(slotsAboveCountBlank());

        click(*w, "cmdPagFirst");
        queuedAnswers = {MsgAnswer::Yes};
        click(*w, "cmdBorro");
        QCOMPARE(modelTexts(), QStringList({"B", "D"}));
        QCOMPARE(shownPage(*w), QStringLiteral("1 de 2"));
        QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("B"));
    }

    void answeringNoOrOnlyPageChangesNothing()
    {
        openMessage(*w, {"A", "B", "C"});
        click(*w, "cmdPagDwn");
        queuedAnswers = {MsgAnswer::No, MsgAnswer::No};
        click(*w, "cmdInsertar");
        click(*w, "cmdBorro");
        QCOMPARE(modelTexts(), QStringList({"A", "B", "C"}));
        QCOMPARE(shownPage(*w), QStringLiteral("2 de 3"));
        QCOMPARE(shownBoxes.size(), 2);
        QVERIFY(testenv::noUnexpectedPrompts());

        // A message's only page cannot be deleted: not even asked.
        MsgModified = false;
        openMessage(*w, {QStringLiteral("SOLA")});
        click(*w, "cmdBorro");
        QCOMPARE(modelTexts(), QStringList({"SOLA"}));
        QCOMPARE(shownBoxes.size(), 2);
    }

    void goToPage_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("page");
        QTest::newRow("3") << "3" << 3;
        QTest::newRow("0") << "0" << 4;
        QTest::newRow("6 is past the end") << "6" << 4;
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
        QTest::newRow("exponent up") << "0.2e1" << 2;
        QTest::newRow("huge") << "1e999" << 4;
        QTest::newRow("comma stops") << "2,9" << 2;
        QTest::newRow("inner blank stops") << "1 5" << 1;
    }
    void goToPage()
    {
        QFETCH(QString, typed);
        QFETCH(int, page);
        openMessage(*w, {"A", "B", "C", "D", "E"});
        goTo(*w, 4);
        QCOMPARE(CurrentPage, 4);
        txtGoto(*w)->setText(typed);
        click(*w, "cmdGtoPag");
        QCOMPARE(int(CurrentPage), page);
        QCOMPARE(txtMensaje(*w)->text(), PageText[page]);
        QCOMPARE(txtGoto(*w)->text(), typed);
        QVERIFY(shownBoxes.isEmpty());
    }

    void clockPlaceholders()
    {
        openMessage(*w, {"A", "B"});
        cboPausa(*w)->setCurrentIndex(3);
        cboEfe(*w)->setCurrentIndex(signproto::EffectHora);
        QCOMPARE(txtMensaje(*w)->text(), QStringLiteral(" Hora 00:00:00 "));
        QVERIFY(!txtMensaje(*w)->isEnabled());
        QVERIFY(!cboPausa(*w)->isEnabled());
        click(*w, "cmdPagDwn");
        QCOMPARE(PageText[1], QStringLiteral(" Hora 00:00:00 "));
        QVERIFY(txtMensaje(*w)->isEnabled()); // page 2 is "Rotacion"

        cboEfe(*w)->setCurrentIndex(signproto::EffectFecha);
        QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("Fecha 12/07/07 "));
        // Leaving the clock effects enables the field again and keeps the placeholder.
        cboEfe(*w)->setCurrentIndex(1);
        QVERIFY(txtMensaje(*w)->isEnabled());
        QVERIFY(cboPausa(*w)->isEnabled());
        QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("Fecha 12/07/07 "));

        // Showing a stored clock page shows the stored text, not the placeholder.
        PageText[1] = QStringLiteral("otro");
        click(*w, "cmdPagFirst");
        QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("otro"));
        QVERIFY(!txtMensaje(*w)->isEnabled());
    }

    void alignmentOneShowsCentredAndIsStoredAsTwo()
    {
        openMessage(*w, {"A", "B"});
        PageAlign[2] = 1;
        click(*w, "cmdPagDwn");
        QVERIFY(optCenter(*w)->isChecked());
        QVERIFY(txtMensaje(*w)->alignment() & Qt::AlignHCenter);
        click(*w, "cmdPagFirst");
        QCOMPARE(PageAlign[2], 2);

        // From a centred page to a page with 255: no handler runs, the page is taken on leaving.
        PageAlign[1] = 2;
        PageAlign[2] = 255;
        w->RefMensaje();
        click(*w, "cmdPagDwn");
        QVERIFY(optCenter(*w)->isChecked());
        QCOMPARE(PageAlign[2], 255);
        click(*w, "cmdPagUp");
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
        click(*w, "cmdPagDwn");
        QCOMPARE(cboEfe(*w)->currentText(), QStringLiteral("Codigo 200"));
        QCOMPARE(cboPausa(*w)->currentText(), QStringLiteral("Codigo 20"));
        QVERIFY(!cboPausa(*w)->isEnabled());
        QVERIFY(txtMensaje(*w)->isEnabled());
        QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("B"));
        MsgModified = false;
        click(*w, "cmdPagDwn"); // to another out-of-list effect
        QCOMPARE(PageEffect[2], 200);
        QCOMPARE(PagePause[2], 20);
        QCOMPARE(cboEfe(*w)->currentText(), QStringLiteral("Codigo 13"));
        QVERIFY(MsgModified);
        QCOMPARE(cboEfe(*w)->count(), 14);
        click(*w, "cmdPagFirst");
        QCOMPARE(PageEffect[3], 13);
        QCOMPARE(cboEfe(*w)->count(), 13);
        QCOMPARE(cboPausa(*w)->count(), 9);
        QCOMPARE(cboEfe(*w)->currentIndex(), 0);

        // The operator picks a listed effect: that one is stored.
        goTo(*w, 2);
        cboEfe(*w)->setCurrentIndex(1);
        QVERIFY(cboPausa(*w)->isEnabled());
        click(*w, "cmdPagFirst");
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

    // Help and About open from their tool button and from their menu item.
    void helpAndAbout_data()
    {
        QTest::addColumn<bool>("viaButton");
        QTest::newRow("tool buttons") << true;
        QTest::newRow("menu items") << false;
    }
    void helpAndAbout()
    {
        QFETCH(bool, viaButton);
        AppFolder = dir.path(); // the help document is looked for beside the program
        QVERIFY(testenv::writeFile(dir.filePath(QStringLiteral("tivor.html")), "<h1>Ayuda de Tivor</h1>"));
        viaButton ? click(*w, "cmdHelp") : action(*w, "Help")->trigger();
        auto* help = w->findChild<QWidget*>(QStringLiteral("frmAyuda"));
        QVERIFY(help && help->isVisible());
        help->close();
        QVERIFY(shownBoxes.isEmpty());

        QString opened;
        testenv::onNextModal([&](QWidget* modal) {
            opened = modal->objectName();
            modal->close();
        });
        viaButton ? click(*w, "cmdAbout") : action(*w, "About")->trigger();
        QCOMPARE(opened, QStringLiteral("frmAcerca"));
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
