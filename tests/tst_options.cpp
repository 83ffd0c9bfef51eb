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
#include <QLabel>
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

    void captions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("Frame1") << "Frame1" << "Puerto Serie";
        QTest::newRow("Label4") << "Label4" << "Puerto";
        QTest::newRow("Label1") << "Label1" << "Baud Rate";
        QTest::newRow("chkRTS") << "chkRTS" << "RTS/CTS";
        QTest::newRow("Frame2") << "Frame2" << "Espera";
        QTest::newRow("Label2") << "Label2" << "Inicio [ms]";
        QTest::newRow("Label3") << "Label3" << "Mensaje [ms]";
        QTest::newRow("cmdOK") << "cmdOK" << "Aceptar";
        QTest::newRow("Command2") << "Command2" << "Cancelar";
    }
    void captions()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        frmOpciones dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Opciones de Programa"));
        QObject* w = dlg.findChild<QObject*>(name);
        QVERIFY(w);
        const QString shown = qobject_cast<QGroupBox*>(w) ? qobject_cast<QGroupBox*>(w)->title()
                                                          : w->property("text").toString();
        QCOMPARE(shown, text);
    }

    void opensWithTheDefaults()
    {
        Module1::OptionsAccepted = true;
        frmOpciones dlg;
        QCOMPARE(Module1::OptionsAccepted, false);
        QCOMPARE(combo(&dlg, "cboPort")->currentText(), QStringLiteral("2"));
        QCOMPARE(combo(&dlg, "cboBaud")->currentText(), QStringLiteral("9600"));
        QCOMPARE(dlg.findChild<QCheckBox*>(QStringLiteral("chkRTS"))->isChecked(), false);
        QCOMPARE(combo(&dlg, "cboWNT")->currentText(), QStringLiteral("200"));
        QCOMPARE(combo(&dlg, "cboChar")->currentText(), QStringLiteral("05"));
        // "05" is the third entry of its list, not a typed 5.
        QCOMPARE(combo(&dlg, "cboChar")->currentIndex(), 2);
    }

    void showsStoredValuesUnchanged()
    {
        Module1::ComPort = QStringLiteral("/dev/ttyUSB0");
        Module1::ComBaud = QStringLiteral("14400");
        Module1::ComRTS = true;
        Module1::DY1 = QStringLiteral("0200");
        Module1::DY2 = QStringLiteral("5");
        frmOpciones dlg;
        QCOMPARE(combo(&dlg, "cboPort")->currentText(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(combo(&dlg, "cboBaud")->currentText(), QStringLiteral("14400"));
        QCOMPARE(dlg.findChild<QCheckBox*>(QStringLiteral("chkRTS"))->isChecked(), true);
        QCOMPARE(combo(&dlg, "cboWNT")->currentText(), QStringLiteral("0200"));
        QCOMPARE(combo(&dlg, "cboChar")->currentText(), QStringLiteral("5"));
        QCOMPARE(combo(&dlg, "cboChar")->count(), 12);
    }

    void listsInOrderEveryOpening()
    {
        QStringList ports;
        for (int i = 1; i <= 9; ++i)
            ports.append(QString::number(i));
        QStringList devices;
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
            devices.append(info.systemLocation());
        devices.sort();
        const QStringList bauds = {"110",   "300",   "1200",  "2400",   "4800",   "9600",
                                   "19200", "38400", "57600", "115200", "230400", "460800"};
        const QStringList starts = {"10", "25", "50", "100", "150", "200", "250", "300", "350", "400", "450", "500"};
        const QStringList chars = {"01", "02", "05", "10", "20", "30", "40", "50", "60", "70", "80", "90"};
        for (int opening = 1; opening <= 2; ++opening) {
            frmOpciones dlg;
            QCOMPARE(entries(combo(&dlg, "cboPort")), ports + devices);
            QCOMPARE(entries(combo(&dlg, "cboBaud")), bauds);
            QCOMPARE(entries(combo(&dlg, "cboWNT")), starts);
            QCOMPARE(entries(combo(&dlg, "cboChar")), chars);
        }
    }

    // Typed text is stored exactly: no completion ("11" must not become "110"), nothing added to the list.
    void typedValuesAreStoredAsTyped_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::newRow("port 12") << "cboPort" << "12";
        QTest::newRow("device path") << "cboPort" << "/dev/ttyUSB1";
        QTest::newRow("baud 14400") << "cboBaud" << "14400";
        QTest::newRow("baud prefix of 110") << "cboBaud" << "11";
        QTest::newRow("baud prefix of 115200") << "cboBaud" << "1152";
        QTest::newRow("start 1 (prefix of 10)") << "cboWNT" << "1";
        QTest::newRow("start with blank") << "cboWNT" << "200 ";
        QTest::newRow("char 07") << "cboChar" << "07";
        QTest::newRow("char 0") << "cboChar" << "0";
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

        const QString expectPort = field == QLatin1String("cboPort") ? typed : QStringLiteral("2");
        const QString expectBaud = field == QLatin1String("cboBaud") ? typed : QStringLiteral("9600");
        const QString expectDy1 = field == QLatin1String("cboWNT") ? typed : QStringLiteral("200");
        const QString expectDy2 = field == QLatin1String("cboChar") ? typed : QStringLiteral("05");
        QCOMPARE(Module1::ComPort, expectPort);
        QCOMPARE(Module1::ComBaud, expectBaud);
        QCOMPARE(Module1::DY1, expectDy1);
        QCOMPARE(Module1::DY2, expectDy2);
        QCOMPARE(stored("COM", "Port"), expectPort);
        QCOMPARE(stored("COM", "Baud"), expectBaud);
        QCOMPARE(stored("PGM", "DY1"), expectDy1);
        QCOMPARE(stored("PGM", "DY2"), expectDy2);

        // The next start reads back exactly what was typed.
        Module1::ComPort = Module1::ComBaud = Module1::DY1 = Module1::DY2 = QString();
        LoadRegSett();
        QCOMPARE(Module1::ComBaud, expectBaud);
        QCOMPARE(Module1::DY1, expectDy1);
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    void pickingFromTheListsAndRts()
    {
        testenv::onNextModal([](QWidget* dlg) {
            combo(dlg, "cboBaud")->setCurrentIndex(9);
            combo(dlg, "cboWNT")->setCurrentIndex(11);
            combo(dlg, "cboChar")->setCurrentIndex(0);
            QTest::mouseClick(dlg->findChild<QCheckBox*>(QStringLiteral("chkRTS")), Qt::LeftButton);
            click(dlg, "cmdOK");
        });
        QCOMPARE(showOptionsDialog(nullptr), true);
        QCOMPARE(Module1::OptionsAccepted, true);
        QCOMPARE(stored("COM", "Port"), QStringLiteral("2"));
        QCOMPARE(stored("COM", "Baud"), QStringLiteral("115200"));
        QCOMPARE(stored("COM", "RTS"), QStringLiteral("True"));
        QCOMPARE(stored("PGM", "DY1"), QStringLiteral("500"));
        QCOMPARE(stored("PGM", "DY2"), QStringLiteral("01"));
        QCOMPARE(Module1::ComRTS, true);
    }

    void acceptedWithoutChangesStoresAllFive()
    {
        testenv::onNextModal([](QWidget* dlg) { click(dlg, "cmdOK"); });
        QCOMPARE(showOptionsDialog(nullptr), true);
        QCOMPARE(stored("COM", "Port"), QStringLiteral("2"));
        QCOMPARE(stored("COM", "Baud"), QStringLiteral("9600"));
        QCOMPARE(stored("COM", "RTS"), QStringLiteral("False"));
        QCOMPARE(stored("PGM", "DY1"), QStringLiteral("200"));
        QCOMPARE(stored("PGM", "DY2"), QStringLiteral("05"));
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
        QCOMPARE(Module1::ComPort, QStringLiteral("2"));
        QCOMPARE(Module1::ComBaud, QStringLiteral("9600"));
        QCOMPARE(Module1::ComRTS, false);
        QCOMPARE(Module1::DY1, QStringLiteral("200"));
        QCOMPARE(Module1::DY2, QStringLiteral("05"));
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
    void acceptedReopensThePort_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("tool button cmdOptions") << "cmdOptions";
        QTest::newRow("menu item Opciones") << "Opciones";
    }
    void acceptedReopensThePort()
    {
        QFETCH(QString, command);
        testpty::Pty first;
        testpty::Pty second;
        QVERIFY(first.ok() && second.ok());
        platform::SaveSetting(QStringLiteral("Tivor"), QStringLiteral("COM"), QStringLiteral("Port"), first.slavePath());
        FrmMain w;
        QCOMPARE(w.statusPanel(1), first.slavePath() + QStringLiteral(": 9600"));

        testenv::onNextModal([&second](QWidget* dlg) {
            QCOMPARE(dlg->windowTitle(), QStringLiteral("Opciones de Programa"));
            QVERIFY(dlg->isModal());
            type(combo(dlg, "cboPort"), second.slavePath());
            type(combo(dlg, "cboBaud"), QStringLiteral("19200"));
            click(dlg, "cmdOK");
        });
        trigger(w, command);

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

    void cancelledLeavesThePortAlone()
    {
        testpty::Pty first;
        platform::SaveSetting(QStringLiteral("Tivor"), QStringLiteral("COM"), QStringLiteral("Port"), first.slavePath());
        FrmMain w;
        testenv::onNextModal([](QWidget* dlg) {
            type(combo(dlg, "cboPort"), QStringLiteral("/dev/tivor-no-such-port"));
            click(dlg, "Command2");
        });
        trigger(w, QStringLiteral("cmdOptions"));
        QCOMPARE(Module1::ComPort, first.slavePath());
        QCOMPARE(w.statusPanel(1), first.slavePath() + QStringLiteral(": 9600"));
        QVERIFY(w.MSComm1.Output("Y"));
        QVERIFY(first.waitForBytes(1, 2000));
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    void missingDeviceIsReportedAndTheOldPanelStays()
    {
        testpty::Pty first;
        platform::SaveSetting(QStringLiteral("Tivor"), QStringLiteral("COM"), QStringLiteral("Port"), first.slavePath());
        FrmMain w;
        platform::testing::queuedAnswers = {MsgAnswer::Ok};
        testenv::onNextModal([](QWidget* dlg) {
            type(combo(dlg, "cboPort"), QStringLiteral("/dev/tivor-no-such-port"));
            click(dlg, "cmdOK");
        });
        trigger(w, QStringLiteral("Opciones"));
        QCOMPARE(platform::testing::shownBoxes.size(), 1);
        const auto box = platform::testing::shownBoxes.first();
        QCOMPARE(box.text, QStringLiteral("Error #03, No se pudo iniciar el Puerto Serie\rEl puerto ya esta usandose "));
        QCOMPARE(box.title, QStringLiteral("Puerto Serie"));
        QCOMPARE(box.icon, MsgIcon::Critical);
        QVERIFY(!box.detail.isEmpty());
        // Stored as typed all the same; the panel keeps the port that was working.
        QCOMPARE(stored("COM", "Port"), QStringLiteral("/dev/tivor-no-such-port"));
        QCOMPARE(w.statusPanel(1), first.slavePath() + QStringLiteral(": 9600"));
        QCOMPARE(w.MSComm1.PortOpen(), false);
        QVERIFY(testenv::noUnexpectedPrompts());
    }
};

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
