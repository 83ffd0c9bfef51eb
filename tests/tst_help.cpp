// The help window and its document, the about box, and every window on a small screen.
#include "gui/dialogs/frmDate.h"
#include "gui/dialogs/frmOpciones.h"
#include "gui/dialogs/frmSend.h"
#include "gui/help/Help.h"
#include "gui/help/frmAcerca.h"
#include "gui/help/frmAyuda.h"
#include "support/EditorKit.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QScreen>
#include <QTextBrowser>

namespace
{
// Offscreen, the screen is a netbook's 1024x600 less a 40-pixel panel (see main).
const QSize SmallScreen(1024, 560);
} // namespace

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
        QWidget main;
        HelpOpener opener(testenv::doubles().prompter, dir.filePath("bin"));
        opener.openHelp(&main);
        opener.openHelp(&main);
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

    // Each window, the 600-pixel help window too, is shown whole, frame included, where the screen can be used.
    void windowsFitTheScreen()
    {
        const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QCOMPARE(room.size(), SmallScreen);
        const auto main = editorkit::freshWindow(dir);
        frmOpciones options(main->lineSettings(), main.get());
        const std::unique_ptr<frmSend> send = main->makeSendDialog();
        const std::unique_ptr<frmDate> date = main->makeDateDialog();
        frmAcerca about(main.get());
        frmAyuda help(main.get());
        help.setAttribute(Qt::WA_DeleteOnClose, false);
        QStringList outside;
        for (QWidget* window : QWidgetList{main.get(), &options, send.get(), date.get(), &about, &help}) {
            window->move(room.bottomRight()); // as a window last closed on a larger screen would come back
            window->show();
            const QRect frame = window->frameGeometry();
            if (!room.contains(frame))
                outside << QStringLiteral("%1 %2x%3").arg(window->objectName()).arg(frame.width()).arg(frame.height());
            window->hide();
        }
        QCOMPARE(outside, QStringList());
    }
};

int main(int argc, char* argv[])
{
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    const QString screen = QStringLiteral("{\"screens\": [{\"name\": \"small\", \"width\": %1, \"height\": %2}]}");
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen" &&
        testenv::writeFile(config, screen.arg(SmallScreen.width()).arg(SmallScreen.height()).toUtf8()))
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestHelp test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_help.moc"
