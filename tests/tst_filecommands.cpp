// The file commands through the real main window: save, open, close, new, exit, closing the window, import,
// the unsaved-changes prompt and the two faults mended in it (a failed save never loses the old file, and a
// save that was asked for and did not happen stops the command).
#include "support/EditorKit.h"

#include "platform/CommonDialog.h"
#include "platform/MsgBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <csignal>
#include <sys/resource.h>

using namespace Module1;
using namespace editorkit;
using platform::testing::queuedAnswers;
using platform::testing::queuedFileNames;
using platform::testing::shownBoxes;
using platform::testing::shownDialogs;

namespace
{
const QByteArray WorkedExample("1,3,2,\"HOLA MUNDO\"\r\n0,0,0,\"DIGA \xffSI\xff\"\r\n");
const QString GrabarText = QStringLiteral("Hay cambios Realizados\rDesea Grabar el Mensaje?");
} // namespace

class TestFileCommands : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<FrmMain> w;

    QString path(const QString& name) const { return dir.filePath(name); }

    // The worked example's two pages, typed into a new message.
    void typeWorkedExample()
    {
        w->Nuevo_Click();
        txtMensaje(*w)->setText(QStringLiteral("HOLA MUNDO"));
        cboEfe(*w)->setCurrentIndex(1);
        cboPausa(*w)->setCurrentIndex(3);
        optCenter(*w)->click();
        queuedAnswers.append(MsgAnswer::Yes);
        click(*w, "cmdPagDwn");
        txtMensaje(*w)->setText(QStringLiteral("DIGA \"SI\""));
    }

    // A named, modified message whose file exists: the state every prompt flow starts from.
    void modifiedNamedMessage(const QString& name)
    {
        testenv::writeFile(path(name), WorkedExample);
        queuedFileNames = {path(name)};
        w->Cargar_Click();
        QCOMPARE(w->statusPanel(3), QStringLiteral("PGM: Mensaje cargado OK!"));
        txtMensaje(*w)->setText(QStringLiteral("CAMBIADO"));
        QVERIFY(MsgModified);
        shownDialogs.clear();
        shownBoxes.clear();
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() { w = freshWindow(dir); }
    void cleanup()
    {
        w.reset();
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
    }

    void saveAsWritesTheWorkedExample()
    {
        typeWorkedExample();
        queuedFileNames = {path("ejemplo.mnm")};
        action(*w, "Grabar")->trigger();
        QCOMPARE(shownDialogs.size(), 1);
        QVERIFY(shownDialogs[0].save);
        QCOMPARE(shownDialogs[0].filter, QStringLiteral("Archivos de Mensajes(*.mnm)|*.mnm"));
        QCOMPARE(shownDialogs[0].flags, 8194);
        QCOMPARE(shownDialogs[0].proposedFileName, QString());
        QCOMPARE(testenv::readFile(path("ejemplo.mnm")), WorkedExample);
        QCOMPARE(w->statusPanel(3), QStringLiteral("PGM: Mensajes Grabado OK"));
        QCOMPARE(w->statusPanel(2), QStringLiteral("ejemplo.mnm"));
        QCOMPARE(MsgFileName, QStringLiteral("ejemplo.mnm"));
        QCOMPARE(MsgFilePath, path("ejemplo.mnm"));
        QVERIFY(!MsgModified);
        QVERIFY(MsgSaveAs); // Save As leaves it set
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // A named message: Save As cancelled keeps name, flag and file; Save writes the file without a dialog,
    // and with nothing changed since does nothing at all.
    void saveAsCancelledThenSave()
    {
        modifiedNamedMessage("a.mnm");
        queuedFileNames = {QString()};
        w->Grabar_Click();
        QCOMPARE(w->statusPanel(3), QStringLiteral("ERR: NO se Grabo Archivo Mensajes"));
        QCOMPARE(platform::testing::beepCount, 2);
        QCOMPARE(MsgFilePath, path("a.mnm"));
        QVERIFY(MsgModified);
        QCOMPARE(testenv::readFile(path("a.mnm")), WorkedExample);

        shownDialogs.clear();
        click(*w, "cmdSave");
        QVERIFY(testenv::readFile(path("a.mnm")).startsWith("1,3,2,\"CAMBIADO\"\r\n"));
        QCOMPARE(w->statusPanel(3), QStringLiteral("PGM: Mensajes Grabado OK"));
        QVERIFY(!MsgModified);
        w->BorrMsg();
        click(*w, "cmdSave");
        QCOMPARE(w->statusPanel(3), QString());
        QVERIFY(shownDialogs.isEmpty());
    }

    void savingEmptyPagesWritesNothing()
    {
        w->Nuevo_Click();
        MsgModified = true;
        queuedFileNames = {path("vacio.mnm")};
        w->save_Click();
        QCOMPARE(shownDialogs.size(), 1); // unnamed: the dialog still comes
        QVERIFY(!QFile::exists(path("vacio.mnm")));
        QCOMPARE(w->statusPanel(3), QString());
        QCOMPARE(MsgFileName, QStringLiteral("vacio.mnm")); // the name chosen stays
        QVERIFY(MsgModified);
        // Named now, and still empty: Save As shows nothing and writes nothing.
        shownDialogs.clear();
        w->Grabar_Click();
        QVERIFY(shownDialogs.isEmpty());
        QVERIFY(!QFile::exists(path("vacio.mnm")));
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // Mended fault: a write that fails part-way (the file grows past the process's limit) leaves the old
    // file byte for byte and no temporary file beside it.
    void failedWriteKeepsTheOldFile()
    {
        const QString target = path("viejo.mnm");
        testenv::writeFile(target, WorkedExample);
        QStringList texts;
        for (int i = 0; i < 64; ++i)
            texts << QString(255, QLatin1Char('a' + i % 26));
        openMessage(*w, texts);
        MsgFileName = QStringLiteral("viejo.mnm");
        MsgFilePath = target;
        MsgModified = true;
        std::signal(SIGXFSZ, SIG_IGN); // writing past 4 KiB then fails with EFBIG instead of killing us
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        w->save_Click();
        setrlimit(RLIMIT_FSIZE, &saved);
        QCOMPARE(w->statusPanel(3), QStringLiteral("ERR: NO se Grabo Archivo Mensajes"));
        QVERIFY(MsgModified);
        QCOMPARE(testenv::readFile(target), WorkedExample);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"viejo.mnm"}));
    }

    void openReadsPagesAndProposesLastPath()
    {
        testenv::writeFile(path("ej.mnm"), WorkedExample + "5,1,0,\"tres\"");
        w->CommonDialog1.FileName = path("antes.mnm");
        queuedFileNames = {path("ej.mnm")};
        click(*w, "cmdOpen");
        QCOMPARE(shownDialogs.size(), 1);
        QVERIFY(!shownDialogs[0].save);
        QCOMPARE(shownDialogs[0].filter, QStringLiteral("Archivos de Mensajes(*.mnm)|*.mnm"));
        QCOMPARE(shownDialogs[0].flags, 4);
        QCOMPARE(shownDialogs[0].proposedFileName, path("antes.mnm"));
        QVERIFY(w->messageOpen());
        QVERIFY(fraMensaje(*w)->isEnabled());
        QCOMPARE(modelTexts(), QStringList({"HOLA MUNDO", "DIGA \"SI\"", "tres"}));
        QCOMPARE(shownPage(*w), QStringLiteral("1 de 3"));
        QCOMPARE(cboEfe(*w)->currentIndex(), 1);
        QCOMPARE(cboPausa(*w)->currentIndex(), 3);
        QVERIFY(optCenter(*w)->isChecked());
        QCOMPARE(w->statusPanel(2), QStringLiteral("ej.mnm"));
        QCOMPARE(w->statusPanel(3), QStringLiteral("PGM: Mensaje cargado OK!"));
        QVERIFY(!MsgModified);
        QVERIFY(!MsgSaveAs);
        QCOMPARE(txtGoto(*w)->text(), QString());

        // The next dialog proposes this file.
        queuedFileNames = {QString()};
        w->Cargar_Click();
        QCOMPARE(shownDialogs.last().proposedFileName, path("ej.mnm"));
        QCOMPARE(modelTexts().size(), 3); // cancelled: nothing changed
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    void brokenFilesEndAsNewMessage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("missing file") << QByteArray();
        QTest::newRow("effect 13 on page 1") << QByteArray("13,0,0,\"x\"\r\n0,0,0,\"y\"\r\n");
        QTest::newRow("pause 9 on page 1") << QByteArray("1,9,0,\"x\"\r\n");
        QTest::newRow("truncated record") << QByteArray("1,2,0,\"x\"\r\n3,4");
    }
    void brokenFilesEndAsNewMessage()
    {
        QFETCH(QByteArray, bytes);
        const QString file = path("roto.mnm");
        if (!bytes.isEmpty())
            testenv::writeFile(file, bytes);
        openMessage(*w, {"ANTES"});
        MsgFileName = QStringLiteral("antes.mnm");
        w->setStatusPanel(2, MsgFileName);
        queuedFileNames = {file};
        w->Cargar_Click();
        QCOMPARE(w->statusPanel(3), QStringLiteral("ERR: Error en Archivo de Mensaje"));
        QCOMPARE(platform::testing::beepCount, 2);
        QCOMPARE(PageCount, 1);
        QCOMPARE(PageText[1], QString());
        QVERIFY(slotsAboveCountBlank());
        QVERIFY(w->messageOpen());
        QVERIFY(fraMensaje(*w)->isEnabled());
        QCOMPARE(w->statusPanel(2), QStringLiteral("Sin Nombre"));
        QCOMPARE(MsgFileName, QString());
        QVERIFY(MsgSaveAs);
        QVERIFY(!MsgModified);
        QCOMPARE(cboEfe(*w)->count(), 13);
    }

    void emptyFileEmptiesTheMessageQuietly()
    {
        testenv::writeFile(path("vacio.mnm"), QByteArray());
        queuedFileNames = {path("vacio.mnm")};
        w->Cargar_Click();
        QVERIFY(!w->messageOpen()); // keeps its visibility
        QCOMPARE(w->statusPanel(3), QString());
        QCOMPARE(w->statusPanel(2), QStringLiteral("Sin Nombre"));
        QCOMPARE(MsgFileName, QStringLiteral("vacio.mnm"));
        QCOMPARE(PageCount, 1);
        QVERIFY(!MsgModified);
    }

    // Page 2 with codes the lists do not hold: loaded, shown, and saved back unchanged.
    void outOfListCodesSurviveARoundTrip()
    {
        const QByteArray bytes("1,0,0,\"uno\"\r\n200,77,1,\"dos\"\r\n");
        testenv::writeFile(path("raro.mnm"), bytes);
        queuedFileNames = {path("raro.mnm")};
        w->Cargar_Click();
        click(*w, "cmdPagDwn");
        QCOMPARE(cboEfe(*w)->currentText(), QStringLiteral("Codigo 200"));
        QCOMPARE(cboPausa(*w)->currentText(), QStringLiteral("Codigo 77"));
        click(*w, "cmdPagUp");
        w->save_Click(); // modified by the refreshes
        QCOMPARE(testenv::readFile(path("raro.mnm")), QByteArray("1,0,0,\"uno\"\r\n200,77,2,\"dos\"\r\n"));
    }

    // The prompt before every command that leaves the message, with each answer and each outcome of the save
    // it asks for (mended fault: a save that was asked for and did not happen stops the command).
    void unsavedChangesPrompt_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("error"); // the save's own error; empty when the command carries on
        const QString notWritten = QStringLiteral("ERR: NO se Grabo Archivo Mensajes");
        for (const char* command : {"new", "open", "close", "exit", "window"}) {
            QTest::addRow("%s no", command) << command << "No" << QString();
            QTest::addRow("%s yes written", command) << command << "Yes-written" << QString();
            QTest::addRow("%s yes write failed", command) << command << "Yes-failed" << notWritten;
        }
        // The other outcomes of the save take the same path whatever the command.
        QTest::newRow("exit yes cancelled") << "exit" << "Yes-cancelled" << notWritten;
        QTest::newRow("window yes no name") << "window" << "Yes-noname" << "ERR: No se Grabo Mensaje...";
        QTest::newRow("open yes no text") << "open" << "Yes-notext" << QString();
    }
    void unsavedChangesPrompt()
    {
        QFETCH(QString, command);
        QFETCH(QString, answer);
        QFETCH(QString, error);
        const bool carriesOn = error.isEmpty();
        w->show();
        w->Nuevo_Click(); // unnamed
        if (answer != "Yes-notext")
            txtMensaje(*w)->setText(QStringLiteral("SIN GRABAR"));
        MsgModified = true;
        testenv::writeFile(path("otro.mnm"), "0,0,0,\"OTRO\"\r\n");
        const QMap<QString, QString> chosen = {{"Yes-written", path("grabado.mnm")},
                                               {"Yes-notext", path("grabado.mnm")},
                                               {"Yes-cancelled", QString()},
                                               {"Yes-failed", dir.path()}, // a folder cannot be written as a file
                                               {"Yes-noname", dir.path() + QStringLiteral("/")}};
        queuedAnswers = {answer == "No" ? MsgAnswer::No : MsgAnswer::Yes};
        if (answer != "No")
            queuedFileNames.append(chosen.value(answer));
        if (command == "open" && carriesOn)
            queuedFileNames.append(path("otro.mnm"));

        bool closed = false;
        if (command == "window")
            closed = w->close();
        else if (command == "exit")
            action(*w, "salir")->trigger();
        else
            (w.get()->*(command == "new" ? &FrmMain::Nuevo_Click
                        : command == "open" ? &FrmMain::Cargar_Click : &FrmMain::cerrar_Click))();

        QCOMPARE(shownBoxes.size(), 1);
        checkLastBox("Grabar", GrabarText, MsgIcon::Information, MsgButtons::YesNo);
        QVERIFY(testenv::noUnexpectedPrompts());
        if (answer == "Yes-written")
            QCOMPARE(testenv::readFile(path("grabado.mnm")), QByteArray("0,0,0,\"SIN GRABAR\"\r\n"));
        if (answer == "Yes-notext")
            QVERIFY(!QFile::exists(path("grabado.mnm")));
        QCOMPARE(int(platform::testing::endCount), int(carriesOn && command == "exit"));
        if (command == "window") {
            QCOMPARE(closed, carriesOn);
            QCOMPARE(w->isVisible(), !carriesOn);
        }
        if (!carriesOn) {
            // The message is intact and still open; the save's own error is what the operator sees.
            QCOMPARE(w->statusPanel(3), error);
            QVERIFY(w->messageOpen());
            QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("SIN GRABAR"));
            QVERIFY(MsgModified);
        } else if (command == "new") {
            QVERIFY(w->messageOpen());
            QCOMPARE(PageText[1], QString());
            QCOMPARE(MsgFileName, QString());
            QCOMPARE(w->statusPanel(2), QStringLiteral("Sin Nombre"));
            QVERIFY(MsgSaveAs);
            QVERIFY(!MsgModified);
        } else if (command == "open") {
            QCOMPARE(modelTexts(), QStringList({"OTRO"}));
            QCOMPARE(MsgFileName, QStringLiteral("otro.mnm"));
        } else if (command == "close") {
            QVERIFY(!w->messageOpen());
            QVERIFY(!fraMensaje(*w)->isEnabled());
            QCOMPARE(MsgFileName, QString());
        }
    }

    void noPromptWithoutChangesOrWithoutMessage()
    {
        w->Nuevo_Click();
        txtMensaje(*w)->setText(QStringLiteral("X"));
        queuedAnswers = {MsgAnswer::No};
        w->cerrar_Click();
        QCOMPARE(shownBoxes.size(), 1);
        // Closed: no message open, so no prompt although MsgModified is still set.
        QVERIFY(MsgModified);
        w->Nuevo_Click();
        QCOMPARE(shownBoxes.size(), 1);
        w->cerrar_Click();
        w->salir_Click();
        QCOMPARE(shownBoxes.size(), 1);
        QCOMPARE(platform::testing::endCount, 1);
        // Close again with nothing open: nothing happens.
        w->cerrar_Click();
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    void closeKeepsPagesAndPanelThenSaveAsksForAName()
    {
        modifiedNamedMessage("a.mnm");
        queuedAnswers = {MsgAnswer::No};
        w->cerrar_Click();
        QCOMPARE(w->statusPanel(2), QStringLiteral("a.mnm"));
        QCOMPARE(MsgFileName, QString());
        queuedFileNames = {path("b.mnm")};
        w->save_Click();
        QCOMPARE(shownDialogs.size(), 1);
        QVERIFY(testenv::readFile(path("b.mnm")).startsWith("1,3,2,\"CAMBIADO\"\r\n"));
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    void newAfterSaveAsAsksForANameAgain()
    {
        modifiedNamedMessage("a.mnm");
        queuedFileNames = {path("b.mnm")};
        w->Grabar_Click();
        txtMensaje(*w)->setText(QStringLiteral("OTRA VEZ"));
        queuedAnswers = {MsgAnswer::Yes};
        queuedFileNames = {path("c.mnm")};
        w->Nuevo_Click();
        QCOMPARE(shownDialogs.size(), 2);
        QVERIFY(testenv::readFile(path("c.mnm")).startsWith("1,3,2,\"OTRA VEZ\"\r\n"));
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    void openAfterYesOnNamedMessageWritesItsFile()
    {
        modifiedNamedMessage("a.mnm");
        MsgSaveAs = true; // cleared by Yes to Open's prompt
        queuedAnswers = {MsgAnswer::Yes};
        queuedFileNames = {QString()};
        w->Cargar_Click();
        QCOMPARE(shownDialogs.size(), 1); // only the open dialog
        QVERIFY(!shownDialogs[0].save);
        QVERIFY(testenv::readFile(path("a.mnm")).startsWith("1,3,2,\"CAMBIADO\"\r\n"));
        QVERIFY(!MsgSaveAs);
    }

    void importReplacesPagesAndKeepsTheName()
    {
        openMessage(*w, numbered(10));
        MsgFileName = QStringLiteral("m.mnm");
        MsgFilePath = path("m.mnm");
        w->setStatusPanel(2, MsgFileName);
        MsgSaveAs = true;
        testenv::writeFile(path("t.txt"), "uno\r\n\r\ndos\nuna linea de mas de dieciseis\r");
        queuedFileNames = {path("t.txt")};
        click(*w, "cmdImport");
        QCOMPARE(shownDialogs.size(), 1);
        QCOMPARE(shownDialogs[0].filter, QStringLiteral("Archivos de Texto(*.txt)|*.txt"));
        QCOMPARE(shownDialogs[0].flags, 4);
        QCOMPARE(modelTexts(), QStringList({"uno             ", "dos             ", "una linea de mas de dieciseis"}));
        QCOMPARE(shownPage(*w), QStringLiteral("1 de 3"));
        QCOMPARE(txtMensaje(*w)->text(), QStringLiteral("uno             "));
        QVERIFY(slotsAboveCountBlank());
        QVERIFY(MsgModified);
        QVERIFY(!MsgSaveAs);
        QCOMPARE(MsgFileName, QStringLiteral("m.mnm"));
        QCOMPARE(w->statusPanel(2), QStringLiteral("m.mnm"));
        QCOMPARE(w->statusPanel(3), QStringLiteral("PGM: Mensaje importado OK!"));

        // Save writes the imported pages to the message's own file, and Open proposes the text file.
        w->save_Click();
        QVERIFY(testenv::readFile(path("m.mnm")).startsWith("0,0,0,\"uno             \"\r\n"));
        queuedFileNames = {QString()};
        w->Cargar_Click();
        QCOMPARE(shownDialogs.last().proposedFileName, path("t.txt"));
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    void importFailures_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::newRow("cancelled") << QString();
        QTest::newRow("missing file") << QStringLiteral("no-existe.txt");
    }
    void importFailures()
    {
        QFETCH(QString, chosen);
        openMessage(*w, {"A", "B"});
        queuedFileNames = {chosen.isEmpty() ? chosen : path(chosen)};
        w->Importar_Click();
        QCOMPARE(w->statusPanel(3), QStringLiteral("ERR: NO se pudo leer Archivo"));
        QCOMPARE(platform::testing::beepCount, 2);
        QCOMPARE(modelTexts(), QStringList({"A", "B"}));
        QVERIFY(!MsgModified);
    }

    void importAndSaveAsWithoutMessageOrLines()
    {
        w->Importar_Click();
        QCOMPARE(w->statusPanel(3), QStringLiteral("ERR: NO hay mensaje!"));
        QCOMPARE(platform::testing::beepCount, 0);
        w->Grabar_Click(); // nor is there anything to save
        QVERIFY(shownDialogs.isEmpty());

        openMessage(*w, {"A", "B"});
        testenv::writeFile(path("vacias.txt"), "\r\n\n\r");
        queuedFileNames = {path("vacias.txt")};
        w->Importar_Click();
        QCOMPARE(PageCount, 1);
        QCOMPARE(PageText[1], QString());
        QVERIFY(MsgModified);
        QCOMPARE(w->statusPanel(3), QStringLiteral("PGM: Mensaje importado OK!"));
    }

    // The prompt as a real message box, answered from the event loop.
    void realPromptBoxAnsweredNo()
    {
        platform::testing::scriptedBoxes = false;
        w->show();
        w->Nuevo_Click();
        txtMensaje(*w)->setText(QStringLiteral("X"));
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        testenv::onNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            title = box->windowTitle();
            icon = box->icon();
            buttons = box->standardButtons();
            box->button(QMessageBox::No)->click();
        });
        w->cerrar_Click();
        QCOMPARE(title, QStringLiteral("Grabar"));
        QCOMPARE(icon, QMessageBox::Information);
        QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(!w->messageOpen());
    }
};

QTEST_MAIN(TestFileCommands)
#include "tst_filecommands.moc"
