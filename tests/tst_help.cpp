// The help window and its document, and the about box.
#include "gui/help/Help.h"
#include "support/EditorKit.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTextBrowser>

class TestHelp : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void init() { testenv::reset(dir); }

    // Beside the program first, then its ../share/tivor; a folder of that name is not the document. One window
    // shows it; searching goes from match to match and starts again from the top after the last.
    void helpWindow()
    {
        const QString shared = dir.filePath("share/tivor/tivor.html");
        QVERIFY(QDir().mkpath(dir.filePath("share/tivor")) && QDir().mkpath(dir.filePath("bin/tivor.html")));
        QVERIFY(testenv::writeFile(shared, "<p>dialout uno</p><p>dialout dos</p>"));
        const auto main = editorkit::freshWindow(dir);
        Module1::AppFolder = dir.filePath("bin");
        QVERIFY(editorkit::run(*main, "^F1;^F1")); // the help key, twice
        QWidgetList windows = QApplication::topLevelWidgets();
        windows.removeIf([](QWidget* w) { return w->objectName() != QLatin1String("frmAyuda"); });
        QCOMPARE(windows.size(), 1);
        QWidget* help = windows[0];
        QCOMPARE(help->findChild<QTextBrowser*>("txtAyuda")->source(), QUrl::fromLocalFile(shared));
        QList<int> found;
        for (const char* text : {"dialout", "dialout", "dialout", "ausente"}) {
            QVERIFY(editorkit::run(*help, QStringLiteral("txtBuscar %1;cmdBuscar").arg(text)));
            found << help->findChild<QTextBrowser*>("txtAyuda")->textCursor().selectionStart();
        }
        QCOMPARE(found, QList<int>({0, 12, 0, 0}));
        QCOMPARE(help->findChild<QLabel*>("lblBuscar")->text(), QStringLiteral("No encontrado"));
        help->close();
    }

    // The window's "Acerca de" shows the version this build was made as; OK closes the box.
    void aboutBox()
    {
        const auto main = editorkit::freshWindow(dir);
        QString seen;
        testenv::onNextModal([&seen](QWidget* w) {
            seen = w->windowTitle() + '|' + w->findChild<QLabel*>("Label3")->text();
            if (!editorkit::run(*w, "salir"))
                w->close();
        });
        QVERIFY(editorkit::run(*main, "About"));
        QCOMPARE(seen, QStringLiteral("Acerca de|" TIVOR_TEST_VERSION_TEXT));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
