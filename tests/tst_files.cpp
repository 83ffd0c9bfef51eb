// Message files and text import: the reader's rules, the writer's bytes, saves that must not lose the old file,
// and the file commands of the real main window with their unsaved-changes prompt.
#include "files/MessageFile.h"
#include "files/TextImport.h"
#include "support/EditorKit.h"

#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QStringDecoder>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace Module1;
using namespace editorkit;
using platform::testing::queuedAnswers;
using platform::testing::queuedFileNames;

namespace
{
const QByteArray WorkedExample("1,3,2,\"HOLA MUNDO\"\r\n0,0,0,\"DIGA \xff" "SI\xff\"\r\n");
const QString Loaded = QStringLiteral("a.mnm|PGM: Mensaje cargado OK!|a.mnm|--O|1,3,2,HOLA MUNDO|0,0,0,DIGA \"SI\"");
const QString Broken = QStringLiteral("Sin Nombre|ERR: Error en Archivo de Mensaje||A-O|0,0,0,");

QString recordsText(const QList<MessageRecord>& records)
{
    QStringList out;
    for (const MessageRecord& r : records)
        out << QStringLiteral("%1,%2,%3,").arg(r.effect).arg(r.pause).arg(r.align) + r.text;
    return out.join(u'|');
}
} // namespace

class TestFiles : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    std::unique_ptr<FrmMain> w;

    QString path(const QString& name) const { return dir.filePath(name); }

    // Every file in the folder but the text to import, with the text of its first record: "a.mnm:HOLA MUNDO".
    QString files() const
    {
        QStringList out;
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
            if (name != QLatin1String("t.txt"))
                out << name + u':' + QString::fromLatin1(testenv::readFile(path(name)).split('"').value(1));
        return out.join(u' ');
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init()
    {
        QDir(dir.path()).removeRecursively();
        QVERIFY(QDir().mkpath(path("sub")));
        QVERIFY(testenv::writeFile(path("a.mnm"), WorkedExample));
        QVERIFY(testenv::writeFile(path("t.txt"), "uno\r\n\r\ndos\nuna linea de mas de dieciseis\r"));
        w = freshWindow(dir);
    }
    void cleanup() { w.reset(); }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("records"); // "broken" when the file is refused
        QByteArray sixtyFour;
        for (int i = 0; i < 64; ++i)
            sixtyFour += "0,0,0,\"x\"\r\n";
        QTest::newRow("LF only") << QByteArray("1,2,0,\"a\"\n3,4,2,\"b\"\n") << "1,2,0,a|3,4,2,b";
        QTest::newRow("CR only") << QByteArray("1,2,0,\"a\"\r3,4,2,\"b\"\r") << "1,2,0,a|3,4,2,b";
        QTest::newRow("no last line end") << QByteArray("1,2,0,\"a\"\r\n3,4,2,\"b\"") << "1,2,0,a|3,4,2,b";
        QTest::newRow("blanks around fields") << QByteArray(" 1 ,\t2, 0 , \"a b\" \r\n") << "1,2,0,a b";
        QTest::newRow("blank lines") << QByteArray("\r\n1,2,0,\"a\"\r\n\r\n  \r\n3,4,2,\"b\"\r\n\r\n")
                                     << "1,2,0,a|3,4,2,b";
        QTest::newRow("fields on lines of their own") << QByteArray("1\r\n2\r\n0\r\n\"a\"\r\n") << "1,2,0,a";
        QTest::newRow("leading zeros, 255") << QByteArray("001,0255,00,\"a\"\r\n") << "1,255,0,a";
        QTest::newRow("text over a line end") << QByteArray("1,2,0,\"a\r\nb\"\r\n") << "1,2,0,a\r\nb";
        QTest::newRow("Windows-1252, 255 is a quote") << QByteArray("0,0,0,\"\x80\x81\x9f\xf1\xff\"")
                                                      << QStringLiteral("0,0,0,€\u0081Ÿñ\"");
        QTest::newRow("empty text") << QByteArray("1,2,0,\"\"\r\n") << "1,2,0,";
        QTest::newRow("only line ends") << QByteArray("\r\n\r\n\n") << "";
        QTest::newRow("64 records") << sixtyFour + "\r\n  \r\n" << QStringList(64, "0,0,0,x").join(u'|');
        QTest::newRow("65 records") << sixtyFour + "0,0,0,\"x\"" << "broken";
        QTest::newRow("256") << QByteArray("256,0,0,\"x\"\r\n") << "broken";
        QTest::newRow("negative") << QByteArray("-1,0,0,\"x\"\r\n") << "broken";
        QTest::newRow("empty number") << QByteArray("1,,0,\"x\"\r\n") << "broken";
        QTest::newRow("cut inside the text") << QByteArray("1,2,0,\"HOLA") << "broken";
        QTest::newRow("second record cut") << QByteArray("1,2,0,\"a\"\r\n3,4\r\n") << "broken";
        QTest::newRow("text without quotes") << QByteArray("1,2,0,HOLA\r\n") << "broken";
        QTest::newRow("more after the text") << QByteArray("1,2,0,\"a\"b\r\n") << "broken";
    }
    void reading()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, records);
        QVERIFY(testenv::writeFile(path("r.mnm"), bytes));
        QList<MessageRecord> read{MessageRecord{}};
        const bool ok = readMessageFile(path("r.mnm"), &read);
        QCOMPARE(ok ? recordsText(read) : QStringLiteral("broken"), records);
        QVERIFY(ok || read.isEmpty());
    }

    // The writer's bytes: double quotes stored as byte 255, Windows-1252 with '?' for what it cannot hold, one
    // record per page slot with text; and every byte a text can hold comes back from a file unchanged.
    void writing()
    {
        const QList<QPair<QString, QByteArray>> texts = {{"DIGA \"SI\", ya", "DIGA \xff" "SI\xff, ya"},
            {QStringLiteral("\u20ac\u00a0\u00f1\u00ff\u0178\u0081"), "\x80\xa0\xf1\xff\x9f\x81"},
            {QStringLiteral("\u0080\u0100\u4e2d\U0001F600."), "????."}};
        for (const auto& [text, stored] : texts) {
            PageText[1] = text;
            QVERIFY(writeMessageFile(path("w.mnm")));
            QCOMPARE(testenv::readFile(path("w.mnm")), "0,0,0,\"" + stored + "\"\r\n");
        }
        PageText[1] = QStringLiteral("HOLA MUNDO");
        PageEffect[1] = 1, PagePause[1] = 3, PageAlign[1] = 2;
        PageText[3] = QStringLiteral("DIGA \"SI\"");
        PageText[64] = QStringLiteral("fin");
        PageEffect[64] = 255, PagePause[64] = 9, PageAlign[64] = 255;
        QCOMPARE(messageFileBytes(), WorkedExample + "255,9,255,\"fin\"\r\n");

        QByteArray all("0,0,0,\"");
        for (int b = 0; b < 255; ++b)
            all += b == '"' ? "" : QByteArray(1, char(b));
        all += "\"\r\n";
        QVERIFY(testenv::writeFile(path("r.mnm"), all));
        QList<MessageRecord> records;
        QVERIFY(readMessageFile(path("r.mnm"), &records));
        clearModel();
        PageText[1] = records.value(0).text;
        QCOMPARE(messageFileBytes(), all);
    }

    // A save that fails leaves the old file byte for byte, with no temporary file beside it.
    void failedSaveKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"size limit", "read-only file", "folder", "no such folder", "pipe"})
            QTest::newRow(kind) << kind;
    }
    void failedSaveKeepsTheOldFile()
    {
        QFETCH(QString, kind);
        QString target = path("a.mnm");
        if (kind == "read-only file")
            QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner));
        if (kind == "folder" || kind == "no such folder")
            target = path(kind == "folder" ? "sub" : "nada/a.mnm");
        if (kind == "pipe")
            QCOMPARE(::mkfifo(QFile::encodeName(target = path("p.mnm")).constData(), 0600), 0);
        for (int i = 1; i <= MaxPages; ++i)
            PageText[i] = QString(255, u'a');
        std::signal(SIGXFSZ, SIG_IGN); // past the limit a write fails with EFBIG instead of ending the process
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit limit{kind == "size limit" ? 4096 : saved.rlim_cur, saved.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        QString error;
        const bool written = writeMessageFile(target, &error);
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!written);
        if (kind == "size limit")
            QCOMPARE(error, QString::fromLocal8Bit(std::strerror(EFBIG)));
        QVERIFY(!error.isEmpty());
        QCOMPARE(testenv::readFile(path("a.mnm")), WorkedExample);
        QVERIFY(kind != "pipe" || !QFileInfo(target).isFile());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).join(u' '),
                 kind == "pipe" ? "a.mnm p.mnm t.txt" : "a.mnm t.txt");
    }

    // One page per non-empty line, at most 64, padded to 16; UTF-8 when valid and not plain ASCII, else
    // Windows-1252; only the file's first byte order mark is dropped.
    void importing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("pages");
        const auto pad = [](const QString& s) { return s.leftJustified(16); };
        QTest::newRow("UTF-8") << QByteArray("a\xc3\xb1o \xe2\x82\xac \xe0\xa4\x85\xf0\x9f\x98\x80")
                               << QStringList{pad(QStringLiteral("año € अ😀"))};
        QTest::newRow("BOM") << QByteArray("\xef\xbb\xbf" "a\xc3\xb1o") << QStringList{pad(QStringLiteral("año"))};
        QTest::newRow("BOM, then not UTF-8") << QByteArray("\xef\xbb\xbf\xf1") << QStringList{pad(QStringLiteral("ñ"))};
        QTest::newRow("BOM on a later line") << QByteArray("\xef\xbb\xbf\xef\xbb\xbf\n\xef\xbb\xbft")
                                             << QStringList{pad(QStringLiteral("\ufeff")), pad(QStringLiteral("\ufefft"))};
        QTest::newRow("Windows-1252") << QByteArray("\xc3\xb1 y \xf1 \x80") << QStringList{pad(QStringLiteral("Ã± y ñ €"))};
        QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << QStringList{pad(QStringLiteral("í\u00a0€"))};
        QTest::newRow("line ends") << QByteArray("\r\nuno\rdos\n\n\r\r\ntres\r\n \r\n")
                                   << QStringList{pad("uno"), pad("dos"), pad("tres"), pad(" ")};
        QTest::newRow("16 and 40") << QByteArray("0123456789ABCDEF\n" + QByteArray(40, ' '))
                                   << QStringList{"0123456789ABCDEF", QString(40, u' ')};
        QTest::newRow("only line ends") << QByteArray("\r\n\n\r") << QStringList{};
        QByteArray seventy;
        QStringList sixtyFour;
        for (int i = 1; i <= 70; ++i) {
            seventy += "linea " + QByteArray::number(i) + "\r\n\r\n";
            if (i <= 64)
                sixtyFour << pad(QStringLiteral("linea %1").arg(i));
        }
        QTest::newRow("70 lines") << seventy << sixtyFour;
    }
    void importing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, pages);
        QVERIFY(testenv::writeFile(path("i.txt"), bytes));
        QStringList read{QStringLiteral("antes")};
        QVERIFY(readImportFile(path("i.txt"), &read));
        QCOMPARE(read, pages);
    }

    void utf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        for (const char* b : {"\xc2\x80", "\xc1\xbf", "\xdf\xbf", "\xe0\xa0\x80", "\xe0\x9f\xbf", "\xed\x9f\xbf",
                              "\xed\xa0\x80", "\xef\xbf\xbf", "\xf0\x90\x80\x80", "\xf0\x8f\xbf\xbf", "\xf4\x8f\xbf\xbf",
                              "\xf4\x90\x80\x80", "\xf5\x80\x80\x80", "\xc2\xc0", "\xe2\x82\x41", "\xe2\x82",
                              "12345678\xc3\xb1", "1234567\x80"})
            QTest::newRow(QByteArray(b).toHex(' ').constData()) << QByteArray(b);
    }
    // The validator agrees with Qt's own decoder.
    void utf8()
    {
        QFETCH(QByteArray, bytes);
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        static_cast<void>(QString(decoder(bytes)));
        QCOMPARE(isValidUtf8(bytes), !decoder.hasError());
    }

    // The file commands by their menu items, as EditorKit's run() takes them, and "window" for closing the
    // window; names are what the file dialogs answer in turn ("-" cancels).
    void commands_data()
    {
        QTest::addColumn<QString>("names");
        QTest::addColumn<QString>("answers");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QByteArray>("xBytes"); // written to x.mnm first, unless "-"
        QTest::addColumn<QString>("dialogs");
        QTest::addColumn<QString>("after"); // panel 2|panel 3|MsgFileName|SaveAs Modified Open|pages|closed/ended
        QTest::addColumn<QString>("written");
        const auto row = [](const char* name, const char* names, const char* answers, const QString& script,
                            const QByteArray& xBytes = "-") -> QTestData& {
            return QTest::newRow(name) << QString(names) << QString(answers) << script << xBytes;
        };
        const QString a = QStringLiteral("a.mnm:HOLA MUNDO");
        const QString changed = QStringLiteral("1,3,2,CAMBIADO|0,0,0,DIGA \"SI\"");
        row("open", "a.mnm,-", "", "Cargar;Cargar") << "O4mnm: O4mnm:a.mnm" << Loaded << a;
        row("save as", "b.mnm", "", "Nuevo;txtMensaje HOLA;Grabar") << "S8194mnm:"
            << "b.mnm|PGM: Mensajes Grabado OK|b.mnm|A-O|0,0,0,HOLA" << a + " b.mnm:HOLA";
        row("save as cancelled keeps the name", "a.mnm,-", "", "Cargar;txtMensaje CAMBIADO;Grabar;save")
            << "O4mnm: S8194mnm:" << "a.mnm|PGM: Mensajes Grabado OK|a.mnm|--O|" + changed << "a.mnm:CAMBIADO";
        row("empty pages write nothing", "v.mnm", "", "Nuevo;dirty;save;Grabar") << "S8194mnm:"
            << "Sin Nombre||v.mnm|AMO|0,0,0," << a;
        row("close, then save asks a name", "a.mnm,b.mnm", "N", "Cargar;txtMensaje CAMBIADO;cerrar;save")
            << "O4mnm: S8194mnm:" << "b.mnm|PGM: Mensajes Grabado OK|b.mnm|---|" + changed << a + " b.mnm:CAMBIADO";
        row("new after save as asks again", "a.mnm,b.mnm,c.mnm", "Y", "Cargar;txtMensaje X;Grabar;txtMensaje Y;Nuevo")
            << "O4mnm: S8194mnm: S8194mnm:" << "Sin Nombre|PGM: Mensajes Grabado OK||A-O|0,0,0,"
            << a + " b.mnm:X c.mnm:Y";
        row("open after yes writes the named file", "a.mnm,-,-", "Y", "Cargar;txtMensaje CAMBIADO;Grabar;Cargar")
            << "O4mnm: S8194mnm: O4mnm:" << "a.mnm|PGM: Mensajes Grabado OK|a.mnm|--O|" + changed << "a.mnm:CAMBIADO";
        row("import, save, open", "a.mnm,t.txt,-", "", "Cargar;Importar;save;Cargar") << "O4mnm: O4txt:a.mnm O4mnm:t.txt"
            << "a.mnm|PGM: Mensajes Grabado OK|a.mnm|--O|0,0,0,uno             |0,0,0,dos             |"
               "0,0,0,una linea de mas de dieciseis"
            << "a.mnm:uno             ";
        row("import missing", "a.mnm,nada.txt", "", "Cargar;Importar") << "O4mnm: O4txt:a.mnm"
            << QString(Loaded).replace("PGM: Mensaje cargado OK!", "ERR: NO se pudo leer Archivo") << a;
        row("no message to import or save", "", "", "Importar;Grabar") << "" << "Sin Nombre|ERR: NO hay mensaje!||---|0,0,0,"
                                                                      << a;
        // Page 1 is shown at once: its codes must be in the lists. A file that cannot be used leaves a new message.
        row("codes at the top on page 1", "a.mnm,x.mnm", "", "Cargar;Cargar", "12,8,0,\"x\"\r\n")
            << "O4mnm: O4mnm:a.mnm" << "x.mnm|PGM: Mensaje cargado OK!|x.mnm|--O|12,8,0,x" << a + " x.mnm:x";
        row("effect 13 on page 1", "a.mnm,x.mnm", "", "Cargar;Cargar", "13,0,0,\"x\"\r\n0,0,0,\"y\"\r\n")
            << "O4mnm: O4mnm:a.mnm" << Broken << a + " x.mnm:x";
        row("pause 9 on page 1", "a.mnm,x.mnm", "", "Cargar;Cargar", "1,9,0,\"x\"\r\n") << "O4mnm: O4mnm:a.mnm" << Broken
                                                                                     << a + " x.mnm:x";
        row("missing file", "a.mnm,nada.mnm", "", "Cargar;Cargar") << "O4mnm: O4mnm:a.mnm" << Broken << a;
        row("codes out of the lists on page 2", "x.mnm", "", "Cargar", "1,0,0,\"uno\"\r\n200,77,1,\"dos\"")
            << "O4mnm:" << "x.mnm|PGM: Mensaje cargado OK!|x.mnm|--O|1,0,0,uno|200,77,1,dos" << a + " x.mnm:uno";
        row("empty file", "x.mnm", "", "Cargar", "") << "O4mnm:" << "Sin Nombre||x.mnm|---|0,0,0," << a + " x.mnm:";
        // The prompt before each command that leaves the message; a save asked for that does not happen stops it.
        const QString unsaved = QStringLiteral("Nuevo;txtMensaje SIN GRABAR;");
        const QString failed = QStringLiteral("Sin Nombre|ERR: NO se Grabo Archivo Mensajes|sub|%1MO|0,0,0,SIN GRABAR");
        for (const char* command : {"Nuevo", "Cargar", "cerrar", "salir", "window"}) {
            row(qPrintable(QStringLiteral("%1, write failed").arg(command)), "sub", "Y", unsaved + command)
                << "S8194mnm:" << failed.arg(command == QLatin1String("Nuevo") ? "A" : "-") << a;
        }
        row("new, no", "", "N", unsaved + "Nuevo") << "" << "Sin Nombre|||A-O|0,0,0," << a;
        row("open, no", "a.mnm", "N", unsaved + "Cargar") << "O4mnm:" << Loaded << a;
        row("close, no", "", "N", unsaved + "cerrar") << "" << "Sin Nombre|||AM-|0,0,0," << a;
        row("exit, no", "", "N", unsaved + "salir") << "" << "Sin Nombre|||AMO|0,0,0,|ended" << a;
        row("window, no", "", "N", unsaved + "window") << "" << "Sin Nombre|||AMO|0,0,0,|closed" << a;
        row("close, written", "g.mnm", "Y", unsaved + "cerrar") << "S8194mnm:"
            << "g.mnm|PGM: Mensajes Grabado OK||---|0,0,0,SIN GRABAR" << a + " g.mnm:SIN GRABAR";
        row("exit, cancelled", "-", "Y", unsaved + "salir") << "S8194mnm:"
            << "Sin Nombre|ERR: NO se Grabo Archivo Mensajes||-MO|0,0,0,SIN GRABAR" << a;
        row("window, no name", "sub/", "Y", unsaved + "window") << "S8194mnm:"
            << "Sin Nombre|ERR: No se Grabo Mensaje...||-MO|0,0,0,SIN GRABAR" << a;
        row("open, nothing to write", "g.mnm,a.mnm", "Y", "Nuevo;dirty;Cargar") << "S8194mnm: O4mnm:g.mnm" << Loaded << a;
        row("no prompt once closed", "", "N", "Nuevo;txtMensaje X;cerrar;Nuevo;cerrar;salir;cerrar") << ""
            << "Sin Nombre|||A--|0,0,0,|ended" << a;
    }
    void commands()
    {
        QFETCH(QString, names);
        QFETCH(QString, answers);
        QFETCH(QString, script);
        QFETCH(QByteArray, xBytes);
        QFETCH(QString, dialogs);
        QFETCH(QString, after);
        QFETCH(QString, written);
        if (xBytes != "-")
            QVERIFY(testenv::writeFile(path("x.mnm"), xBytes));
        for (const QString& name : names.split(u',', Qt::SkipEmptyParts))
            queuedFileNames << (name == QLatin1String("-") ? QString() : path(name));
        for (QChar answer : answers)
            queuedAnswers << (answer == u'Y' ? MsgAnswer::Yes : MsgAnswer::No);
        QString ended;
        for (const QString& step : script.split(u';')) {
            if (step == QLatin1String("window"))
                ended = w->close() ? "|closed" : "";
            else
                run(*w, step);
        }
        if (FileCommands::testing::endCount)
            ended += QStringLiteral("|ended");
        QStringList shown;
        for (const auto& d : platform::testing::shownDialogs) {
            QVERIFY(QStringList({"Archivos de Mensajes(*.mnm)|*.mnm", "Archivos de Texto(*.txt)|*.txt"}).contains(d.filter));
            shown << (d.save ? "S" : "O") + QString::number(d.flags) + d.filter.right(3) + u':' +
                         QFileInfo(d.proposedFileName).fileName();
        }
        QCOMPARE(shown.join(u' '), dialogs);
        const QString flags = QString(MsgSaveAs ? "A" : "-") + (MsgModified ? "M" : "-") + (w->messageOpen() ? "O" : "-");
        QCOMPARE(QStringList({w->statusPanel(2), w->statusPanel(3), MsgFileName, flags, modelString()}).join(u'|') + ended,
                 after);
        QCOMPARE(files(), written);
        QCOMPARE(platform::testing::shownBoxes.size(), answers.size());
        for (const auto& box : platform::testing::shownBoxes)
            QCOMPARE(box.title + u'/' + box.text, QStringLiteral("Grabar/Hay cambios Realizados\rDesea Grabar el Mensaje?"));
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // The prompt as a real message box: Information, Yes and No; No closes without saving.
    void realPromptAnsweredNo()
    {
        platform::testing::scriptedBoxes = false;
        w->Nuevo_Click();
        txtMensaje(*w)->setText(QStringLiteral("X"));
        QString seen;
        testenv::onNextModal([&seen](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            seen = QStringLiteral("%1 %2 %3").arg(box->windowTitle()).arg(box->icon()).arg(int(box->standardButtons()));
            box->button(QMessageBox::No)->click();
        });
        w->cerrar_Click();
        QCOMPARE(seen, QStringLiteral("Grabar %1 %2").arg(QMessageBox::Information).arg(int(QMessageBox::Yes | QMessageBox::No)));
        QVERIFY(!w->messageOpen());
        QVERIFY(testenv::noUnexpectedPrompts());
    }
};

QTEST_MAIN(TestFiles)
#include "tst_files.moc"
