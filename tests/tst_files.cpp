// Message files and text import: the reader's rules, the writer's bytes, saves that must not lose the old file,
// and the file commands of the real main window with their unsaved-changes prompt.
#include "core/files/TextImport.h"
#include "core/model/Cp1252.h"
#include "gui/platform/Translations.h"
#include "support/EditorKit.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringDecoder>
#include <cstring>

namespace
{
using testenv::hex;
const QByteArray WorkedExample("1,3,2,\"HOLA MUNDO\"\r\n0,0,0,\"DIGA \xff"
                               "SI\xff\"\r\n");
const QString Loaded = QStringLiteral("a.mnm|PGM: Mensaje cargado OK!|a.mnm|--O|1,3,2,HOLA MUNDO|0,0,0,DIGA \"SI\"");
const QString Broken = QStringLiteral("Sin Nombre|ERR: Error en Archivo de Mensaje||A-O|0,0,0,");
const QString Changed = QStringLiteral("|1,3,2,CAMBIADO|0,0,0,DIGA \"SI\"");
} // namespace

class TestFiles : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    std::unique_ptr<FrmMain> w;

    QString path(const QString& name) const { return dir.filePath(name); }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init()
    {
        QDir(dir.path()).removeRecursively();
        QVERIFY(QDir().mkpath(path("sub")));
        QVERIFY(testenv::writeFile(path("a.mnm"), WorkedExample));
        QVERIFY(testenv::writeFile(path("t.txt"), "uno\r\n\r\ndos\nuna linea de mas de dieciseis\r"));
        w = editorkit::freshWindow(dir);
    }
    void cleanup() { w.reset(); }

    // A message file's records by the reader's rules ("broken" when the file is refused); a text to import, one
    // page per non-empty line, at most 64, padded to 16: UTF-8 when valid and not plain ASCII, else Windows-1252,
    // only the file's first byte order mark dropped.
    void reading_data()
    {
        const testenv::Table<bool, QByteArray, QString> row;
        QByteArray full;
        for (int i = 0; i < 64; ++i)
            full += "0,0,0,\"x\"\r\n";
        row("LF, CR, none", false, "1,2,0,\"a\"\n3,4,2,\"b\"\r5,6,1,\"c\"", "1,2,0,a|3,4,2,b|5,6,1,c");
        row("blanks", false, "\r\n 1 ,\t2, 0 , \"a b\" \r\n\r\n  \r\n3,4,2,\"\"\r\n", "1,2,0,a b|3,4,2,");
        row("a field a line", false, "001\r\n0255\r\n00\r\n\"a\r\nb\"\r\n", "1,255,0,a\r\nb");
        row("only line ends", false, "\r\n\r\n\n", "");
        row("64 records", false, full + "\r\n  \r\n", QStringList(64, "0,0,0,x").join(u'|'));
        row("65 records", false, full + "0,0,0,\"x\"", "broken");
        row("256", false, "256,0,0,\"x\"\r\n", "broken");
        row("empty number", false, "1,,0,\"x\"\r\n", "broken");
        row("cut inside the text", false, "1,2,0,\"HOLA", "broken");
        row("cut after the quote", false, "1,2,0,\"\r\n", "broken");
        row("second record cut", false, "1,2,0,\"a\"\r\n3,4\r\n", "broken");
        row("text without quotes", false, "1,2,0,HOLA\r\n", "broken");
        row("more after the text", false, "1,2,0,\"a\"b\r\n", "broken");
        const auto pages = [](const QStringList& lines) {
            QStringList padded;
            for (const QString& line : lines)
                padded << line.leftJustified(16);
            return padded.join(u'|');
        };
        row("import UTF-8", true, "a\xc3\xb1o \xe2\x82\xac \xe0\xa4\x85\xf0\x9f\x98\x80", pages({"año € अ😀"}));
        row("import BOM", true, hex("efbbbf 61c3b16f 0d0a efbbbf 74"), pages({"año", QChar(0xfeff) + QString("t")}));
        row("import BOM, not UTF-8", true, "\xef\xbb\xbf\xf1", pages({"ñ"}));
        row("import Windows-1252", true, "\xc3\xb1 y \xf1 \x80\xff", pages({"Ã± y ñ €ÿ"}));
        row("import line ends", true, "\r\nuno\rdos\n\n\r\r\n0123456789ABCDEF\r\n \r\n",
            pages({"uno", "dos", "0123456789ABCDEF", " "}));
        row("import only line ends", true, "\r\n\n\r", "");
        QStringList lines;
        for (int i = 1; i <= 70; ++i)
            lines << QStringLiteral("linea de mas de dieciseis %1").arg(i);
        row("import 70 lines", true, lines.join("\r\n\r\n").toLatin1(), lines.mid(0, 64).join(u'|'));
    }
    void reading()
    {
        auto [import, bytes, read] = testenv::Table<bool, QByteArray, QString>::fetch();
        QVERIFY(testenv::writeFile(path("r"), bytes));
        QStringList shown{QStringLiteral("antes")};    // what an import replaces
        QList<MessageRecord> records{MessageRecord{}}; // and a read
        if (import) {
            QVERIFY(readImportFile(path("r"), &shown));
        } else {
            shown = readMessageFile(path("r"), &records) ? QStringList() : QStringList{QStringLiteral("broken")};
            for (const MessageRecord& r : records)
                shown << QStringLiteral("%1,%2,%3,").arg(r.effect).arg(r.pause).arg(r.align) + r.text;
        }
        QCOMPARE(shown.join(u'|'), read);
    }

    // The writer's bytes: double quotes stored as byte 255, Windows-1252 with '?' for what it cannot hold, one
    // record per page slot with text; and every byte a text can hold comes back from a file unchanged (255 read
    // as a double quote and written back as 255).
    void writing()
    {
        Message m;
        m.text[1] = QStringLiteral("\u20ac\u00a0\u00f1\u00ff\u0178\u0081\u0080\u4e2d\U0001F600."
                                   "\u0105\u010d\u0119\u0110\u0111\u0141\U0001F600");
        QCOMPARE(messageFileBytes(m), "0,0,0,\"\x80\xa0\xf1y\x9f\x81???.aceDdL?\"\r\n");
        QCOMPARE(Cp1252::unkept(m.text[1] + "?\u4e2d"), QStringLiteral("\u0080\u4e2d\U0001F600"));
        // Characters beyond the 16-bit range are named whole, each once, also two that begin alike and one at the end.
        QCOMPARE(Cp1252::unkept(QStringLiteral("\U0001F600\U0001F601\U0001F600")),
                 QStringLiteral("\U0001F600\U0001F601"));
        m.text[1] = QStringLiteral("HOLA MUNDO");
        m.effect[1] = 1, m.pause[1] = 3, m.align[1] = 2;
        m.text[3] = QStringLiteral("DIGA \"SI\"");
        m.text[64] = QStringLiteral("fin");
        m.effect[64] = 255, m.pause[64] = 9, m.align[64] = 255;
        QCOMPARE(messageFileBytes(m), WorkedExample + "255,9,255,\"fin\"\r\n");

        QByteArray all("0,0,0,\"");
        for (int b = 0; b < 256; ++b)
            all += b == '"' ? QByteArray() : QByteArray(1, char(b));
        QVERIFY(testenv::writeFile(path("r.mnm"), all + "\"\r\n"));
        QList<MessageRecord> records;
        QVERIFY(readMessageFile(path("r.mnm"), &records));
        Message read;
        read.text[1] = records.value(0).text;
        QCOMPARE(messageFileBytes(read), all + "\"\r\n");
    }

    // A write cut short by the file-size limit names the system's reason and leaves the old file byte for byte,
    // with no temporary file beside it.
    void failedSaveKeepsTheOldFile()
    {
        if (!testenv::FileSizeLimit::available())
            QSKIP("no way here to make a write run out of room");
        Message m;
        m.text[1] = QString(5000, u'a');
        QString error;
        {
            testenv::FileSizeLimit limit(4096);
            QVERIFY(!writeMessageFile(path("a.mnm"), m, &error));
        }
        QCOMPARE(error, QString::fromLocal8Bit(std::strerror(EFBIG)));
        QCOMPARE(testenv::readFile(path("a.mnm")), WorkedExample);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).join(u' '), QStringLiteral("a.mnm t.txt"));
    }

    // The validator agrees with Qt's own decoder, at each boundary of the encoding.
    void utf8()
    {
        for (const char* b :
             {"\xc2\x80", "\xc1\xbf", "\xdf\xbf", "\xe0\xa0\x80", "\xe0\x9f\xbf", "\xed\x9f\xbf", "\xed\xa0\x80",
              "\xef\xbf\xbf", "\xf0\x90\x80\x80", "\xf0\x8f\xbf\xbf", "\xf4\x8f\xbf\xbf", "\xf4\x90\x80\x80",
              "\xf5\x80\x80\x80", "\xc2\xc0", "\xe2\x82\x41", "\xe2\x82", "1234567\xc3\xb1", "1234567\x80"}) {
            QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
            static_cast<void>(QString(decoder(b)));
            QVERIFY2(isValidUtf8(b) == !decoder.hasError(), QByteArray(b).toHex(' ').constData());
        }
    }

    // The file commands through their menu items, in EditorKit's steps with the answers of their prompts and file
    // dialogs. Compared: the dialogs shown (save or open, flags, filter, the file name proposed), then
    // panel 2|panel 3|file name|SaveAs Modified Open|pages|closed/ended, then every file with its first text.
    void commands_data()
    {
        // xBytes: written to x.mnm first, unless "-"; "big": one byte over the limit
        const testenv::Table<QString, QByteArray, QString> columns;
        const auto row = [](const char* name, const char* script, const QString& expected, const char* x = "-") {
            QTest::newRow(name) << QString(script) << QByteArray(x) << expected;
        };
        const QString a = QStringLiteral(" # a.mnm:HOLA MUNDO");
        const QString open2 = QStringLiteral("O4mnm: O4mnm:a.mnm # ");
        row("open", "<a.mnm>;Cargar;<->;Cargar", open2 + Loaded + a);
        // (A save names what the file cannot keep: tst_faults, windowSaveSaysWhatItCouldNot.)
        row("save as", "Nuevo;txtMensaje HOLA;<b.mnm>;Grabar",
            "S8194mnm: # b.mnm|PGM: Mensajes Grabado OK|b.mnm|A-O|0,0,0,HOLA" + a + " b.mnm:HOLA");
        row("save as cancelled keeps the name", "<a.mnm>;Cargar;txtMensaje CAMBIADO;<->;Grabar;save",
            "O4mnm: S8194mnm: # a.mnm|PGM: Mensajes Grabado OK|a.mnm|--O" + Changed + " # a.mnm:CAMBIADO");
        row("empty pages write nothing", "Nuevo;dirty;<v.mnm>;save;Grabar",
            "S8194mnm: # Sin Nombre||v.mnm|AMO|0,0,0," + a);
        row("close, then save asks a name", "<a.mnm>;Cargar;txtMensaje CAMBIADO;N;cerrar;<b.mnm>;save",
            "O4mnm: S8194mnm: # b.mnm|PGM: Mensajes Grabado OK|b.mnm|---" + Changed + a + " b.mnm:CAMBIADO");
        row("new after save as asks again", "<a.mnm>;Cargar;txtMensaje X;<b.mnm>;Grabar;txtMensaje Y;Y;<c.mnm>;Nuevo",
            "O4mnm: S8194mnm: S8194mnm: # Sin Nombre|PGM: Mensajes Grabado OK||A-O|0,0,0," + a + " b.mnm:X c.mnm:Y");
        row("open after yes writes the named file", "<a.mnm>;Cargar;txtMensaje CAMBIADO;<->;Grabar;Y;<->;Cargar",
            "O4mnm: S8194mnm: O4mnm: # a.mnm|PGM: Mensajes Grabado OK|a.mnm|--O" + Changed + " # a.mnm:CAMBIADO");
        row("import, save, open", "<a.mnm>;Cargar;<t.txt>;Importar;save;<->;Cargar",
            "O4mnm: O4txt:a.mnm O4mnm:t.txt # a.mnm|PGM: Mensajes Grabado OK|a.mnm|--O|0,0,0,uno             |"
            "0,0,0,dos             |0,0,0,una linea de mas de dieciseis # a.mnm:uno             ");
        row("import missing", "<a.mnm>;Cargar;<nada.txt>;Importar",
            "O4mnm: O4txt:a.mnm # " +
                QString(Loaded).replace("PGM: Mensaje cargado OK!", "ERR: NO se pudo leer Archivo") + a);
        row("no message to import or save", "Importar;Grabar", " # Sin Nombre|ERR: NO hay mensaje!||---|0,0,0," + a);
        // Page 1 is shown at once: its codes must be in the lists. A file that cannot be used leaves a new message.
        row("codes at the top on page 1", "<a.mnm>;Cargar;<x.mnm>;Cargar",
            open2 + "x.mnm|PGM: Mensaje cargado OK!|x.mnm|--O|12,8,0,x" + a + " x.mnm:x", "12,8,0,\"x\"\r\n");
        row("effect 13 on page 1", "<a.mnm>;Cargar;<x.mnm>;Cargar", open2 + Broken + a + " x.mnm:x",
            "13,0,0,\"x\"\r\n0,0,0,\"y\"");
        row("pause 9 on page 1", "<a.mnm>;Cargar;<x.mnm>;Cargar", open2 + Broken + a + " x.mnm:x", "1,9,0,\"x\"\r\n");
        row("missing file", "<a.mnm>;Cargar;<nada.mnm>;Cargar", open2 + Broken + a);
        row("empty file", "<x.mnm>;Cargar",
            "O4mnm: # Sin Nombre|ERR: x.mnm no tiene paginas|x.mnm|---|0,0,0," + a + " x.mnm:", "");
        // A file too large to read is refused before anything of the open message is lost, however it came; its
        // changes still save to its own file.
        const QString big = QStringLiteral("a.mnm|ERR: x.mnm es demasiado grande (mas de 64 MB)|a.mnm|-");
        row("too large to open", "<a.mnm>;Cargar;txtMensaje CAMBIADO;N;<x.mnm>;Cargar;save",
            open2 + "a.mnm|PGM: Mensajes Grabado OK|a.mnm|--O" + Changed + " # a.mnm:CAMBIADO x.mnm:", "big");
        row("too large to import", "<a.mnm>;Cargar;<x.mnm>;Importar",
            "O4mnm: O4txt:a.mnm # " + big + "-O|1,3,2,HOLA MUNDO|0,0,0,DIGA \"SI\"" + a + " x.mnm:", "big");
        row("at the limit: read, not a message", "<a.mnm>;Cargar;<x.mnm>;Cargar",
            open2 + Broken + a + " x.mnm:", "limit");
        row("too large dropped", "<a.mnm>;Cargar;+x.mnm",
            "O4mnm: # " + big + "-O|1,3,2,HOLA MUNDO|0,0,0,DIGA \"SI\"" + a + " x.mnm:", "big");
        // The prompt before each command that leaves the message; a save asked for that does not happen stops it.
        const QString failed = QStringLiteral("S8194mnm: # Sin Nombre|ERR: NO se Grabo Archivo Mensajes (sub no es un "
                                              "archivo)|sub|%1MO|0,0,0,SIN GRABAR");
        for (const char* command : {"Nuevo", "Cargar", "cerrar", "salir", "window"})
            QTest::addRow("%s, write failed", command)
                << QStringLiteral("Nuevo;txtMensaje SIN GRABAR;Y;<sub>;%1").arg(command) << QByteArray("-")
                << failed.arg(command == QLatin1String("Nuevo") ? "A" : "-") + a;
        row("new, no", "Nuevo;txtMensaje SIN GRABAR;N;Nuevo", " # Sin Nombre|||A-O|0,0,0," + a);
        row("open, no", "Nuevo;txtMensaje SIN GRABAR;N;<a.mnm>;Cargar", "O4mnm: # " + Loaded + a);
        row("close, no", "Nuevo;txtMensaje SIN GRABAR;N;cerrar", " # Sin Nombre|||AM-|0,0,0," + a);
        row("exit, no", "Nuevo;txtMensaje SIN GRABAR;N;salir", " # Sin Nombre|||AMO|0,0,0,|ended" + a);
        row("window, no", "Nuevo;txtMensaje SIN GRABAR;N;window", " # Sin Nombre|||AMO|0,0,0,|closed" + a);
        row("close, written", "Nuevo;txtMensaje SIN GRABAR;Y;<g.mnm>;cerrar",
            "S8194mnm: # g.mnm|PGM: Mensajes Grabado OK||---|0,0,0,SIN GRABAR" + a + " g.mnm:SIN GRABAR");
        row("exit, cancelled", "Nuevo;txtMensaje SIN GRABAR;Y;<->;salir",
            "S8194mnm: # Sin Nombre|ERR: NO se Grabo Archivo Mensajes||-MO|0,0,0,SIN GRABAR" + a);
        row("window, no name", "Nuevo;txtMensaje SIN GRABAR;Y;<sub/>;window",
            "S8194mnm: # Sin Nombre|ERR: No se Grabo Mensaje...||-MO|0,0,0,SIN GRABAR" + a);
        row("open, nothing to write", "Nuevo;dirty;Y;<g.mnm>;<a.mnm>;Cargar", "S8194mnm: O4mnm:g.mnm # " + Loaded + a);
        row("no prompt once closed", "Nuevo;txtMensaje X;N;cerrar;Nuevo;cerrar;salir;cerrar",
            " # Sin Nombre|||A--|0,0,0,|ended" + a);
    }
    void commands()
    {
        auto [script, xBytes, expected] = testenv::Table<QString, QByteArray, QString>::fetch();
        const bool sized = xBytes == "big" || xBytes == "limit"; // sparse: nothing written
        QVERIFY(xBytes == "-" || testenv::writeFile(path("x.mnm"), sized ? QByteArray() : xBytes));
        QVERIFY(!sized || QFile::resize(path("x.mnm"), MaxReadBytes + (xBytes == "big")));
        w->show();
        QVERIFY(editorkit::run(*w, script, dir.path()));
        QStringList shown;
        for (const auto& d : testenv::doubles().files.shown)
            shown << (d.save ? "S" : "O") + QString::number(d.flags) + d.filter.right(3) + u':' +
                         QFileInfo(d.proposedFileName).fileName();
        QStringList files; // every file but the text to import, with the text of its first record
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
            if (name != QLatin1String("t.txt"))
                files << name + u':' + QString::fromLatin1(testenv::readFile(path(name)).split('"').value(1));
        const QString flags = QStringLiteral("%1%2%3").arg(w->messageFile().saveAs ? "A" : "-",
                                                           w->editor().message().modified ? "M" : "-",
                                                           w->editor().messageOpen() ? "O" : "-");
        const QStringList state{w->status().statusPanel(2), w->status().statusPanel(3), w->messageFile().name, flags,
                                editorkit::modelString(*w)};
        const QString ended = QLatin1String(w->isVisible() ? "" : "|closed") +
                              QLatin1String(testenv::doubles().programs.endCount ? "|ended" : "");
        QCOMPARE(shown.join(u' ') + " # " + state.join(u'|').remove(dir.path() + u'/') + ended + " # " +
                     files.join(u' '),
                 expected);
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // The real question box, with Qt's own button texts in Spanish: Escape and its close button do not answer it
    // (nor end the program), only a button does.
    void unsavedQuestionOnlyButtons()
    {
        QVERIFY(platform::installSpanishQtTexts(*qApp));
        w->show();
        QVERIFY(editorkit::run(*w, "<a.mnm>;Cargar;txtMensaje CAMBIADO", dir.path()));
        BoxPrompter boxes;
        testenv::doubles().prompter.showInstead = &boxes;
        QString seen;
        testenv::onNextModal([&seen](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Escape);
            box->close();
            seen = box->button(QMessageBox::Yes)->text() + box->button(QMessageBox::No)->text() + u'|' + box->text() +
                   (box->isVisible() ? " (abierta)" : " (respondida)");
            box->button(QMessageBox::Yes)->click();
        });
        QVERIFY(editorkit::run(*w, "salir"));
        QCOMPARE(seen, QStringLiteral("&Sí&No|Hay cambios Realizados\rDesea Grabar el Mensaje? (abierta)"));
        QCOMPARE(testenv::doubles().programs.endCount, 1);
        QVERIFY(testenv::readFile(path("a.mnm")).startsWith("1,3,2,\"CAMBIADO\""));
    }

    // A name typed into the real open dialog that no file has reaches the program's own message (the open dialog
    // of Importar is the same, with another filter). The filter reads as the system's dialogs write theirs.
    void typedMissingName()
    {
        w->show();
        DialogFileChooser dialogs;
        testenv::doubles().files.showInstead = &dialogs;
        // Windows would show its own dialog, which is no widget a test can type into; the program's part is the same.
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        QStringList seen; // the filters, then whether "Abrir" took the name
        testenv::onNextModal([&seen](QWidget* dialog) {
            seen = qobject_cast<QFileDialog*>(dialog)->nameFilters();
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("nada.mnm"));
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->click();
            seen << (dialog->isVisible() ? "still open" : "taken");
            if (dialog->isVisible())
                qobject_cast<QFileDialog*>(dialog)->reject();
        });
        QVERIFY(editorkit::run(*w, "Cargar"));
        QCOMPARE(seen, QStringList({"Archivos de Mensajes (*.mnm)", "taken"}));
        QCOMPARE(w->status().statusPanel(3), QStringLiteral("ERR: Error en Archivo de Mensaje"));
    }
};

QTEST_MAIN(TestFiles)
#include "tst_files.moc"
