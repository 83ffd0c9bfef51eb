// The model's helpers and the Windows-1252 text encoding.
#include "model/Cp1252.h"
#include "model/Module1.h"

#include <QTest>

class TestModel : public QObject
{
    Q_OBJECT
private slots:
    void versionText_data()
    {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("revision");
        QTest::addColumn<QString>("expected");
        QTest::newRow("1/8") << 1 << 8 << "v1.8";
        QTest::newRow("0/3 has no major") << 0 << 3 << "v.3";
        QTest::newRow("2/10") << 2 << 10 << "v2.10";
        QTest::newRow("revision 0") << 1 << 0 << "v1.0";
    }
    void versionText()
    {
        QFETCH(int, major);
        QFETCH(int, revision);
        QFETCH(QString, expected);
        QCOMPARE(Module1::versionTextFor(major, revision), expected);
    }

    void everyByteRoundTrips()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString text = Cp1252::decode(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(Cp1252::encode(text), all);
        QCOMPARE(text.at(0x80), QChar(0x20AC));
        QCOMPARE(text.at(0xF1), QChar(0x00F1));
    }

    void unmappableBecomesQuestionMarkNeverControlByte()
    {
        const QString text = QString::fromUtf8("a\u4E2Db\U0001F600c\u0080");
        const QByteArray bytes = Cp1252::encode(text);
        QCOMPARE(bytes, QByteArray("a?b?c?"));
        QVERIFY(!bytes.contains('\x1A'));
        QCOMPARE(Cp1252::codeOf(0x0100), -1);
        QCOMPARE(Cp1252::codeOf(0x2014), 0x97);
    }

    void blankPagesAndHasText()
    {
        Module1::clearModel();
        QVERIFY(!Module1::messageHasText());
        Module1::PageText[64] = QStringLiteral(" ");
        Module1::PageEffect[64] = 3;
        QVERIFY(Module1::messageHasText());
        Module1::blankPage(64);
        QVERIFY(Module1::PageText[64].isEmpty());
        QCOMPARE(int(Module1::PageEffect[64]), 0);
        QVERIFY(!Module1::messageHasText());
    }
};

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
