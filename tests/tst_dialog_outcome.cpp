// The send dialogs' outcome texts are on the screen during the one-second closing wait.
#include "link/frmDate.h"
#include "model/Module1.h"
#include "platform/MSComm.h"
#include "settings/RegSett.h"
#include "support/TestEnv.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace
{
// Remembers the text a label had each time it was painted.
class PaintSpy : public QObject
{
public:
    explicit PaintSpy(QLabel* label) : m_label(label) { label->installEventFilter(this); }
    QStringList painted;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_label && event->type() == QEvent::Paint)
            painted.append(m_label->text());
        return false;
    }

private:
    QLabel* m_label;
};
} // namespace

class TestDialogOutcome : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void init()
    {
        testenv::reset(m_dir);
        Module1::DY1 = QStringLiteral("10");
        Module1::DY2 = QStringLiteral("01");
    }

    // A port that never opened: progress for the first byte, then the error, which must be painted
    // before the closing wait begins (the wait sleeps first and only then lets the window paint).
    void errorTextPaintedBeforeTheClosingWait()
    {
        MSComm closedPort;
        frmDate dlg(closedPort);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto* panel = dlg.findChild<QLabel*>(QStringLiteral("Panel1"));
        QVERIFY(panel);
        PaintSpy spy(panel);
        QStringList unpaintedOutcomes;
        connect(&dlg, &TxDialog::panel1Changed, this, [&](const QString& text) {
            if (!text.startsWith(QLatin1String("Enviando")) && spy.painted.value(spy.painted.size() - 1) != text)
                unpaintedOutcomes.append(text);
        });
        QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
        QCOMPARE(panel->text(), QStringLiteral("Error #22, No se envio el Mensaje"));
        QVERIFY2(unpaintedOutcomes.isEmpty(), qPrintable(unpaintedOutcomes.join(QLatin1Char('|'))));
        QVERIFY(testenv::noUnexpectedPrompts());
    }
};

QTEST_MAIN(TestDialogOutcome)
#include "tst_dialog_outcome.moc"
