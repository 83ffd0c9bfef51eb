// The options dialog: what it shows on opening, what "Aceptar" stores, what cancelling leaves alone.
#include "editor/FrmMain.h"
#include "platform/MSComm.h"
#include "platform/MsgBox.h"
#include "platform/SettingsStore.h"
#include "settings/RegSett.h"
#include "settings/frmOpciones.h"
#include "support/Pty.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QTest>
#include <QToolButton>

namespace
{
QComboBox* combo(QWidget* dlg, const char* name)
{
    auto* c = dlg->findChild<QComboBox*>(QLatin1String(name));
    Q_ASSERT(c);
    return c;
}

QStringList entries(QComboBox* c)
{
    QStringList list;
    for (int i = 0; i < c->count(); ++i)
        list.append(c->itemText(i));
    return list;
}

// Replaces the edit field's text by typing, as a user does.
void type(QComboBox* c, const QString& text)
{
    // Completion only acts in a focused field, as when the user types.
    c->window()->activateWindow();
    c->lineEdit()->setFocus();
    QTRY_VERIFY(c->lineEdit()->hasFocus());
    c->lineEdit()->selectAll();
    QTest::keyClick(c->lineEdit(), Qt::Key_Backspace);
    QTest::keyClicks(c->lineEdit(), text);
}

void click(QWidget* dlg, const char* name)
{
    auto* button = dlg->findChild<QPushButton*>(QLatin1String(name));
    Q_ASSERT(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

void trigger(FrmMain& w, const QString& command)
{
    if (auto* tool = w.findChild<QToolButton*>(command))
        QTest::mouseClick(tool, Qt::LeftButton);
    else
        w.findChild<QAction*>(command)->trigger();
}

QString stored(const char* section, const char* key)
{
    return platform::GetSetting(QStringLiteral("Tivor"), QLatin1String(section), QLatin1String(key),
                                QStringLiteral("<missing>"));
}

// The five options as stored, and as the program holds them, in one line each: port|baud|RTS|DY1|DY2.
QString storedAll()
{
    return QStringList{stored("COM", "Port"), stored("COM", "Baud"), stored("COM", "RTS"), stored("PGM", "DY1"),
                       stored("PGM", "DY2")}
        .join(u'|');
}
QString heldAll()
{
    using namespace Module1;
    return QStringList{ComPort, ComBaud, ComRTS ? "True" : "False", DY1, DY2}.join(u'|');
}

void useStoredPort(const QString& device)
{
    platform::SaveSetting(QStringLiteral("Tivor"), QStringLiteral("COM"), QStringLiteral("Port"), device);
}
} // namespace

class TestOptions : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void init()
    {
        testenv::reset(dir);
        LoadRegSett();
    }

    // Every caption, and each field showing what the program holds, as it was stored, added to no list.
    void opensWithCaptionsAndCurrentValues()
    {
        Module1::OptionsAccepted = true;
        frmOpciones dlg;
        QCOMPARE(Module1::OptionsAccepted, false);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Opciones de Programa"));
        for (const auto& [name, text] : {std::pair{"Frame1", "Puerto Serie"}, {"Label4", "Puerto"},
                                         {"Label1", "Baud Rate"}, {"chkRTS", "RTS/CTS"}, {"Frame2", "Espera"},
                                         {"Label2", "Inicio [ms]"}, {"Label3", "Mensaje [ms]"},
                                         {"cmdOK", "Aceptar"}, {"Command2", "Cancelar"}}) {
            QObject* w = dlg.findChild<QObject*>(QLatin1String(name));
            QVERIFY2(w, name);
            auto* box = qobject_cast<QGroupBox*>(w);
            QCOMPARE(box ? box->title() : w->property("text").toString(), QString::fromLatin1(text));
        }
        // The defaults; "05" is the third entry of its list, not a typed 5.
        QCOMPARE(combo(&dlg, "cboPort")->currentText(), QStringLiteral("2"));
        QCOMPARE(combo(&dlg, "cboBaud")->currentText(), QStringLiteral("9600"));
        QVERIFY(!dlg.findChild<QCheckBox*>(QStringLiteral("chkRTS"))->isChecked());
        QCOMPARE(combo(&dlg, "cboWNT")->currentText(), QStringLiteral("200"));
        QCOMPARE(combo(&dlg, "cboChar")->currentIndex(), 2);
        QCOMPARE(combo(&dlg, "cboChar")->currentText(), QStringLiteral("05"));

        Module1::ComPort = QStringLiteral("/dev/ttyUSB0");
        Module1::ComBaud = QStringLiteral("14400");
        Module1::ComRTS = true;
        Module1::DY1 = QStringLiteral("0200");
        Module1::DY2 = QStringLiteral("5");
        frmOpciones again;
        QCOMPARE(combo(&again, "cboPort")->currentText(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(combo(&again, "cboBaud")->currentText(), QStringLiteral("14400"));
        QVERIFY(again.findChild<QCheckBox*>(QStringLiteral("chkRTS"))->isChecked());
        QCOMPARE(combo(&again, "cboWNT")->currentText(), QStringLiteral("0200"));
        QCOMPARE(combo(&again, "cboChar")->currentText(), QStringLiteral("5"));
        // The lists are the same on every opening: ports 1 to 9 then this machine's devices, twelve of the rest.
        QStringList ports;
        for (int i = 1; i <= 9; ++i)
            ports.append(QString::number(i));
        QStringList devices;
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
            devices.append(info.systemLocation());
        devices.sort();
        QCOMPARE(entries(combo(&again, "cboPort")), ports + devices);
        for (const char* name : {"cboBaud", "cboWNT", "cboChar"})
            QCOMPARE(entries(combo(&again, name)), entries(combo(&dlg, name)));
        QCOMPARE(entries(combo(&again, "cboBaud")).size(), 12);
        QCOMPARE(combo(&again, "cboChar")->count(), 12);
    }

    // Typed text is stored exactly: no completion ("11" must not become "110"), nothing added to the list.
    void typedValuesAreStoredAsTyped_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::newRow("device path") << "cboPort" << "/dev/ttyUSB1";
        QTest::newRow("baud prefix of 110") << "cboBaud" << "11";
        QTest::newRow("start 1 (prefix of 10)") << "cboWNT" << "1";
        QTest::newRow("start with blank") << "cboWNT" << "200 ";
        QTest::newRow("char 07") << "cboChar" << "07";
        QTest::newRow("empty") << "cboChar" << "";
    }
    void typedValuesAreStoredAsTyped()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        int countAfter = -1;
        testenv::onNextModal([&](QWidget* dlg) {
            QComboBox* c = combo(dlg, field.toLatin1().constData());
            type(c, typed);
            // Return in the edit field must neither complete nor insert the text.
            QTest::keyClick(c->lineEdit(), Qt::Key_Return);
            countAfter = c->count();
            if (dlg->isVisible())
                click(dlg, "cmdOK");
        });
        QCOMPARE(showOptionsDialog(nullptr), true);
        QCOMPARE(countAfter, field == QLatin1String("cboPort") ? 9 + int(QSerialPortInfo::availablePorts().size()) : 12);

        QStringList expected{"2", "9600", "False", "200", "05"};
        expected[QStringList({"cboPort", "cboBaud", "", "cboWNT", "cboChar"}).indexOf(field)] = typed;
        QCOMPARE(heldAll(), expected.join(u'|'));
        QCOMPARE(storedAll(), expected.join(u'|'));
        // The next start reads back exactly what was typed.
        Module1::ComPort = Module1::ComBaud = Module1::DY1 = Module1::DY2 = QString();
        LoadRegSett();
        QCOMPARE(heldAll(), expected.join(u'|'));
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // "Aceptar" stores all five, changed or not; picks from the lists and the RTS box are stored as shown.
    void aceptarStoresAllFive()
    {
        testenv::onNextModal([](QWidget* dlg) { click(dlg, "cmdOK"); });
        QCOMPARE(showOptionsDialog(nullptr), true);
        QCOMPARE(storedAll(), QStringLiteral("2|9600|False|200|05"));
        testenv::onNextModal([](QWidget* dlg) {
            combo(dlg, "cboBaud")->setCurrentIndex(9);
            combo(dlg, "cboWNT")->setCurrentIndex(11);
            combo(dlg, "cboChar")->setCurrentIndex(0);
            QTest::mouseClick(dlg->findChild<QCheckBox*>(QStringLiteral("chkRTS")), Qt::LeftButton);
            click(dlg, "cmdOK");
        });
        QCOMPARE(showOptionsDialog(nullptr), true);
        QCOMPARE(Module1::OptionsAccepted, true);
        QCOMPARE(storedAll(), QStringLiteral("2|115200|True|500|01"));
        QCOMPARE(heldAll(), storedAll());
    }

    void leavingWithoutAceptarChangesNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancelar") << "Cancelar";
        QTest::newRow("close button") << "close";
        QTest::newRow("Escape") << "Escape";
    }
    void leavingWithoutAceptarChangesNothing()
    {
        QFETCH(QString, how);
        testenv::onNextModal([how](QWidget* dlg) {
            type(combo(dlg, "cboPort"), QStringLiteral("7"));
            type(combo(dlg, "cboBaud"), QStringLiteral("300"));
            QTest::mouseClick(dlg->findChild<QCheckBox*>(QStringLiteral("chkRTS")), Qt::LeftButton);
            type(combo(dlg, "cboWNT"), QStringLiteral("10"));
            type(combo(dlg, "cboChar"), QStringLiteral("90"));
            if (how == QLatin1String("Cancelar"))
                click(dlg, "Command2");
            else if (how == QLatin1String("close"))
                dlg->close();
            else
                QTest::keyClick(dlg, Qt::Key_Escape);
        });
        QCOMPARE(showOptionsDialog(nullptr), false);
        QCOMPARE(Module1::OptionsAccepted, false);
        QCOMPARE(heldAll(), QStringLiteral("2|9600|False|200|05"));
        QVERIFY(!QFile::exists(platform::testing::settingsFile));
    }

    void storeThatCannotBeWrittenIsReportedAfterAceptar()
    {
        const QString blocker = dir.filePath(QStringLiteral("blocker"));
        QVERIFY(testenv::writeFile(blocker, "not a folder"));
        platform::testing::settingsFile = blocker + QStringLiteral("/Tivor.conf");
        platform::testing::queuedAnswers = {MsgAnswer::Ok};
        testenv::onNextModal([](QWidget* dlg) {
            type(combo(dlg, "cboPort"), QStringLiteral("3"));
            click(dlg, "cmdOK");
        });
        QCOMPARE(showOptionsDialog(nullptr), true);
        QCOMPARE(platform::testing::shownBoxes.size(), 1);
        const auto box = platform::testing::shownBoxes.first();
        QCOMPARE(box.text, QStringLiteral("No se pudieron grabar las Opciones\rSe usaran hasta cerrar el programa"));
        QCOMPARE(box.title, QStringLiteral("Opciones de Programa"));
        QCOMPARE(box.icon, MsgIcon::Critical);
        QCOMPARE(box.detail, platform::testing::settingsFile);
        // The accepted values still hold for this run.
        QCOMPARE(Module1::ComPort, QStringLiteral("3"));
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // From the main window: accepted options are stored and the port is opened again with them.
    void acceptedReopensThePort()
    {
        testpty::Pty first;
        testpty::Pty second;
        QVERIFY(first.ok() && second.ok());
        useStoredPort(first.slavePath());
        FrmMain w;
        QCOMPARE(w.statusPanel(1), first.slavePath() + QStringLiteral(": 9600"));

        testenv::onNextModal([&second](QWidget* dlg) {
            QCOMPARE(dlg->windowTitle(), QStringLiteral("Opciones de Programa"));
            QVERIFY(dlg->isModal());
            type(combo(dlg, "cboPort"), second.slavePath());
            type(combo(dlg, "cboBaud"), QStringLiteral("19200"));
            click(dlg, "cmdOK");
        });
        trigger(w, QStringLiteral("cmdOptions"));

        QCOMPARE(stored("COM", "Port"), second.slavePath());
        QCOMPARE(stored("COM", "Baud"), QStringLiteral("19200"));
        QCOMPARE(w.statusPanel(1), second.slavePath() + QStringLiteral(": 19200"));
        QCOMPARE(w.MSComm1.Settings(), QStringLiteral("19200,N,8,1"));
        // The bytes now go to the new device, none to the old one.
        QVERIFY(w.MSComm1.Output("X"));
        QVERIFY(second.waitForBytes(1, 2000));
        QCOMPARE(second.bytes(), QByteArray("X"));
        QCOMPARE(first.bytes(), QByteArray());
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // Cancelled, the dialog leaves the working port alone; accepted with a device that is not there, it reports
    // Error #03, stores the port as typed, and the panel keeps the port that was working.
    void cancelledThenMissingDevice()
    {
        testpty::Pty first;
        useStoredPort(first.slavePath());
        FrmMain w;
        const auto chooseMissing = [](const char* button) {
            testenv::onNextModal([button](QWidget* dlg) {
                type(combo(dlg, "cboPort"), QStringLiteral("/dev/tivor-no-such-port"));
                click(dlg, button);
            });
        };
        chooseMissing("Command2");
        trigger(w, QStringLiteral("cmdOptions"));
        QCOMPARE(Module1::ComPort, first.slavePath());
        QVERIFY(w.MSComm1.Output("Y"));
        QVERIFY(first.waitForBytes(1, 2000));
        QVERIFY(platform::testing::shownBoxes.isEmpty());

        platform::testing::queuedAnswers = {MsgAnswer::Ok};
        chooseMissing("cmdOK");
        trigger(w, QStringLiteral("Opciones"));
        QCOMPARE(platform::testing::shownBoxes.size(), 1);
        const auto box = platform::testing::shownBoxes.first();
        QCOMPARE(box.text, QStringLiteral("Error #03, No se pudo iniciar el Puerto Serie\rEl puerto ya esta usandose "));
        QCOMPARE(box.title, QStringLiteral("Puerto Serie"));
        QCOMPARE(box.icon, MsgIcon::Critical);
        QVERIFY(!box.detail.isEmpty());
        QCOMPARE(stored("COM", "Port"), QStringLiteral("/dev/tivor-no-such-port"));
        QCOMPARE(w.statusPanel(1), first.slavePath() + QStringLiteral(": 9600"));
        QCOMPARE(w.MSComm1.PortOpen(), false);
        QVERIFY(testenv::noUnexpectedPrompts());
    }
};

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
