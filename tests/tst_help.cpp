// The about box, the help document's lookup, the help window and the Windows command line.
#include "files/TextImport.h"
#include "link/SignProtocol.h"
#include "help/Help.h"
#include "model/Module1.h"
#include "platform/MsgBox.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <algorithm>
#include <memory>

namespace
{
const QString shippedDocument = QDir::cleanPath(QStringLiteral(TIVOR_SOURCE_DIR "/src/help/tivor.html"));

QDialog* helpWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmAyuda") && w->isVisible())
            return qobject_cast<QDialog*>(w);
    return nullptr;
}

int helpWindowCount()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += w->objectName() == QLatin1String("frmAyuda");
    return n;
}
} // namespace

class TestHelp : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    QTemporaryDir& tmp() { return *dir; }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>(); // each test looks for documents in folders of its own
        QVERIFY(tmp().isValid());
        testenv::reset(tmp());
        Module1::VersionText = QStringLiteral("v1.8");
    }
    void cleanup()
    {
        if (QDialog* w = helpWindow())
            w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(helpWindowCount(), 0);
        Module1::AppFolder.clear();
    }

    // The about box takes the version when it opens; OK closes it and only then does showAbout return.
    void aboutBoxShowsNameVersionAndIcon()
    {
        Module1::VersionText = QStringLiteral("v.3");
        bool checked = false;
        testenv::onNextModal([&checked](QWidget* w) {
            QCOMPARE(w->objectName(), QStringLiteral("frmAcerca"));
            QCOMPARE(w->windowTitle(), QStringLiteral("Acerca de"));
            QVERIFY(w->isModal());
            QCOMPARE(w->findChild<QLabel*>("Label1")->text(),
                     QStringLiteral("Sistema Carga de Mensajes para  Carteles Tivor"));
            QCOMPARE(w->findChild<QLabel*>("Label3")->text(), QStringLiteral("v.3"));
            QVERIFY(!w->findChild<QLabel*>("Picture1")->pixmap().isNull());
            QCOMPARE(w->findChild<QLabel*>("Picture1")->pixmap().toImage(),
                     QPixmap(QStringLiteral(":/tivor/tivor.png")).toImage());
            auto* ok = w->findChild<QPushButton*>("salir");
            QCOMPARE(ok->text(), QStringLiteral("OK"));
            checked = true;
            ok->click();
        });
        showAbout(nullptr);
        QVERIFY(checked);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }

    // Blanks in the folder are not quoted.
    void windowsCommandLine()
    {
        QCOMPARE(helpCommandLine(QStringLiteral("C:\\Program Files\\Quendar Tivor")),
                 QStringLiteral("hh.exe C:\\Program Files\\Quendar Tivor\\tivor.chm"));
    }

    void lookupOrder()
    {
        QCOMPARE(helpDocumentCandidates(QStringLiteral("/opt/tivor/bin"), QStringLiteral("/usr/share/tivor")),
                 (QStringList{QStringLiteral("/opt/tivor/bin/tivor.html"),
                              QStringLiteral("/opt/tivor/share/tivor/tivor.html"),
                              QStringLiteral("/usr/share/tivor/tivor.html")}));

        const QString bin = tmp().filePath(QStringLiteral("bin"));
        const QString share = tmp().filePath(QStringLiteral("share/tivor"));
        QVERIFY(QDir().mkpath(bin));
        QVERIFY(QDir().mkpath(share));
        Module1::AppFolder = bin;
        QVERIFY(testenv::writeFile(share + QStringLiteral("/tivor.html"), "<p>instalado</p>"));
        QCOMPARE(helpDocumentPath(), share + QStringLiteral("/tivor.html"));
        QVERIFY(testenv::writeFile(bin + QStringLiteral("/tivor.html"), "<p>junto al programa</p>"));
        QCOMPARE(helpDocumentPath(), bin + QStringLiteral("/tivor.html"));
        // A folder of that name is not the document.
        QVERIFY(QFile::remove(bin + QStringLiteral("/tivor.html")));
        QVERIFY(QDir().mkpath(bin + QStringLiteral("/tivor.html")));
        QCOMPARE(helpDocumentPath(), share + QStringLiteral("/tivor.html"));
    }

    void documentIsShownAndSearchable()
    {
        Module1::AppFolder = tmp().path();
        QVERIFY(QFile::copy(shippedDocument, tmp().filePath(QStringLiteral("tivor.html"))));
        openHelp(nullptr);
        QDialog* w = helpWindow();
        QVERIFY(w);
        QVERIFY(!w->isModal());
        auto* browser = w->findChild<QTextBrowser*>("txtAyuda");
        QCOMPARE(browser->source(), QUrl::fromLocalFile(tmp().filePath(QStringLiteral("tivor.html"))));
        QVERIFY(browser->toPlainText().contains(QStringLiteral("Explosion[16]")));
        QVERIFY(platform::testing::shownBoxes.isEmpty());

        // A second click brings the same window forward instead of opening another.
        openHelp(nullptr);
        QCOMPARE(helpWindowCount(), 1);

        auto* field = w->findChild<QLineEdit*>("txtBuscar");
        auto* button = w->findChild<QPushButton*>("cmdBuscar");
        auto* status = w->findChild<QLabel*>("lblBuscar");
        field->setText(QStringLiteral("dialout"));
        const int matches = int(browser->toPlainText().count(QStringLiteral("dialout")));
        QVERIFY(matches >= 2);
        QList<int> positions;
        for (int i = 0; i <= matches; ++i) {
            button->click();
            QCOMPARE(browser->textCursor().selectedText(), QStringLiteral("dialout"));
            positions.append(browser->textCursor().position());
        }
        QVERIFY(std::is_sorted(positions.begin(), positions.end() - 1));
        QCOMPARE(positions.last(), positions.first()); // after the last match it starts again from the top
        QVERIFY(status->text().isEmpty());
        field->setText(QStringLiteral("palabra que no esta"));
        button->click();
        QCOMPARE(status->text(), QStringLiteral("No encontrado"));

        w->findChild<QPushButton*>("cmdCerrar")->click();
        QVERIFY(!w->isVisible());
    }

    void missingDocumentIsReported()
    {
        if (QFileInfo::exists(QStringLiteral(TIVOR_INSTALL_DATADIR "/tivor.html")))
            QSKIP("an installed help document exists on this machine");
        Module1::AppFolder = tmp().filePath(QStringLiteral("vacio"));
        QVERIFY(QDir().mkpath(Module1::AppFolder));
        platform::testing::queuedAnswers = {MsgAnswer::Ok};
        openHelp(nullptr);
        QCOMPARE(platform::testing::shownBoxes.size(), 1);
        const auto box = platform::testing::shownBoxes.first();
        QCOMPARE(box.text, QStringLiteral("No se encontro el archivo de ayuda tivor.html"));
        QCOMPARE(box.buttons, MsgButtons::Ok);
        QVERIFY(box.detail.contains(Module1::AppFolder + QStringLiteral("/tivor.html")));
        QVERIFY(box.detail.contains(QStringLiteral(TIVOR_INSTALL_DATADIR "/tivor.html")));
        QCOMPARE(helpWindow(), nullptr);
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    void shippedDocumentCoversTheProgram()
    {
        QFile f(shippedDocument);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(isValidUtf8(bytes));
        const QString text = QString::fromUtf8(bytes);
        QVERIFY(text.contains(QStringLiteral("<meta charset=\"utf-8\">")));
        for (const QString& effect : signproto::effectListTexts())
            QVERIFY2(text.contains(effect), qPrintable(effect));
        for (const char* topic : {"Salida.txt", ".mnm", "/dev/ttyUSB0", "dialout", "Importar Archivo de Texto",
                                  "Enviar Hora y Fecha", "Inicio [ms]", "Mensaje [ms]", "Windows-1252", "UTF-8"})
            QVERIFY2(text.contains(QLatin1String(topic)), topic);
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
