// Qt's standard buttons speak Spanish once the program loads Qt's catalogue.
#include "platform/Translations.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

class TestTranslations : public QObject
{
    Q_OBJECT
private slots:
    void yesNoButtonsInSpanish()
    {
        QMessageBox before;
        before.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(before.button(QMessageBox::Yes)->text(), QStringLiteral("&Yes"));

        QVERIFY(platform::installSpanishQtTexts(*qApp));
        QMessageBox after;
        after.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(after.button(QMessageBox::Yes)->text(), QStringLiteral("&S\u00ED"));
        QCOMPARE(after.button(QMessageBox::No)->text(), QStringLiteral("&No"));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
