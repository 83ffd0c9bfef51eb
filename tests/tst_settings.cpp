// The settings store and the options dialog: texts kept exactly, what "Aceptar" stores, what leaving keeps.
#include "editor/FrmMain.h"
#include "platform/MsgBox.h"
#include "platform/SettingsStore.h"
#include "settings/RegSett.h"
#include "settings/frmOpciones.h"
#include "support/Pty.h"
#include "support/TestEnv.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace
{
const QString App = QStringLiteral("Tivor");

// The five options as stored and as the program holds them: port|baud|RTS|DY1|DY2.
QString stored()
{
    QStringList values;
    for (const char* key : {"COM/Port", "COM/Baud", "COM/RTS", "PGM/DY1", "PGM/DY2"})
        values << platform::GetSetting(App, QString(key).section(u'/', 0, 0), QString(key).section(u'/', 1), "-");
    return values.join(u'|');
}
QString held()
{
    using namespace Module1;
    return QStringList{ComPort, ComBaud, ComRTS ? "True" : "False", DY1, DY2}.join(u'|');
}

// Runs the options dialog through "field text" steps (typed as a user does, or "chkRTS" clicked), the last step
// naming how it is left: "cmdOK", "Command2", "close" or "Escape".
bool options(const QStringList& steps)
{
    testenv::onNextModal([steps](QWidget* dlg) {
        dlg->activateWindow(); // completion only acts in a focused field, as when the user types
        for (const QString& step : steps.mid(0, steps.size() - 1)) {
            if (step == QLatin1String("chkRTS")) {
                QTest::mouseClick(dlg->findChild<QCheckBox*>(step), Qt::LeftButton);
                continue;
            }
            QLineEdit* edit = dlg->findChild<QComboBox*>(step.section(u' ', 0, 0))->lineEdit();
            edit->setFocus();
            QTRY_VERIFY(edit->hasFocus());
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Backspace);
            QTest::keyClicks(edit, step.section(u' ', 1));
        }
        if (steps.last() == QLatin1String("close"))
            dlg->close();
        else if (steps.last() == QLatin1String("Escape"))
            QTest::keyClick(dlg, Qt::Key_Escape);
        else
            QTest::mouseClick(dlg->findChild<QPushButton*>(steps.last()), Qt::LeftButton);
    });
    return showOptionsDialog(nullptr);
}
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void init()
    {
        testenv::reset(dir);
        LoadRegSett();
    }

    // Every text comes back character for character; only the exact text "True" turns RTS on.
    void textsAreKeptExactly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("rts");
        for (const char* text : {"05", "/dev/ttyUSB0", " 9600 ", "", "9600,N", "@Variant(x)", "\"a\";b#c=d", "true",
                                 "-1", "True "})
            QTest::addRow("'%s'", text) << QString::fromUtf8(text) << false;
        QTest::newRow("True") << "True" << true;
        QTest::newRow("accented") << QString::fromUtf8("puerto ñ") << false;
    }
    void textsAreKeptExactly()
    {
        QFETCH(QString, text);
        QFETCH(bool, rts);
        Module1::ComPort = Module1::ComBaud = Module1::DY1 = Module1::DY2 = text;
        QVERIFY(SaveRegSett());
        QVERIFY(platform::SaveSetting(App, "COM", "RTS", text));
        Module1::ComPort = Module1::ComBaud = Module1::DY1 = Module1::DY2 = QString();
        LoadRegSett();
        QCOMPARE(held(), QStringList({text, text, rts ? "True" : "False", text, text}).join(u'|'));
    }

    // Reading fills in what the store lacks with the defaults and writes nothing.
    void defaults()
    {
        QCOMPARE(held(), QStringLiteral("2|9600|False|200|05"));
        QVERIFY(!QFile::exists(platform::testing::settingsFile));
        QVERIFY(testenv::writeFile(platform::testing::settingsFile, "[PGM]\nDY2=07\n"));
        LoadRegSett();
        QCOMPARE(held(), QStringLiteral("2|9600|False|200|07"));
        QCOMPARE(testenv::readFile(platform::testing::settingsFile), QByteArray("[PGM]\nDY2=07\n"));
    }

    // The dialog shows what the program holds; "Aceptar" stores all five exactly as shown or typed, with no
    // completion ("11" is not "110", "1" not "10"); leaving any other way changes and stores nothing.
    void optionsDialog_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("after"); // held and stored; "-" for a key never stored
        QTest::newRow("unchanged") << QStringList{"cmdOK"} << "/dev/ttyUSB0|14400|True|0200|5";
        QTest::newRow("typed") << QStringList{"cboPort /dev/ttyUSB1", "cboBaud 11", "chkRTS", "cboWNT 1", "cboChar ", "cmdOK"}
                               << "/dev/ttyUSB1|11|False|1|";
        QTest::newRow("typed with blank") << QStringList{"cboWNT 200 ", "cboChar 07", "cmdOK"}
                                          << "/dev/ttyUSB0|14400|True|200 |07";
        for (const char* how : {"Command2", "close", "Escape"})
            QTest::newRow(how) << QStringList{"cboPort 7", "chkRTS", "cboChar 90", how} << "-|-|-|-|-";
    }
    void optionsDialog()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, after);
        using namespace Module1;
        ComPort = "/dev/ttyUSB0", ComBaud = "14400", ComRTS = true, DY1 = "0200", DY2 = "5";
        QCOMPARE(options(steps), after != QLatin1String("-|-|-|-|-"));
        QCOMPARE(OptionsAccepted, after != QLatin1String("-|-|-|-|-"));
        QCOMPARE(stored(), after);
        QCOMPARE(held(), after.startsWith(u'-') ? QStringLiteral("/dev/ttyUSB0|14400|True|0200|5") : after);
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // A store that cannot be written: said after "Aceptar", and the values still hold for this run.
    void unwritableStore()
    {
        QVERIFY(testenv::writeFile(dir.filePath("blocker"), "not a folder"));
        platform::testing::settingsFile = dir.filePath("blocker/Tivor.conf");
        platform::testing::queuedAnswers = {MsgAnswer::Ok};
        QVERIFY(options({"cboPort 3", "cmdOK"}));
        const auto box = platform::testing::shownBoxes.value(0);
        QCOMPARE(QStringList({box.title, box.text, box.detail}).join(u'|'),
                 "Opciones de Programa|No se pudieron grabar las Opciones\rSe usaran hasta cerrar el programa|" +
                     platform::testing::settingsFile);
        QCOMPARE(box.icon, MsgIcon::Critical);
        QCOMPARE(held(), QStringLiteral("3|9600|False|200|05"));
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // From the main window: accepted options open the port again with the new values.
    void acceptedOptionsReopenThePort()
    {
        testpty::Pty first, second;
        QVERIFY(first.ok() && second.ok());
        platform::SaveSetting(App, "COM", "Port", first.slavePath());
        FrmMain w;
        testenv::onNextModal([&second](QWidget* dlg) {
            dlg->findChild<QComboBox*>("cboPort")->setEditText(second.slavePath());
            dlg->findChild<QComboBox*>("cboBaud")->setEditText("19200");
            dlg->findChild<QPushButton*>("cmdOK")->click();
        });
        w.findChild<QAction*>("Opciones")->trigger();
        QCOMPARE(w.statusPanel(1), second.slavePath() + ": 19200");
        QVERIFY(w.MSComm1.Output("X"));
        QVERIFY(second.waitForBytes(1, 2000));
        QCOMPARE(second.bytes() + '|' + first.bytes(), QByteArray("X|"));
        QVERIFY(testenv::noUnexpectedPrompts());
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
