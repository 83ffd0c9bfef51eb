// The settings store: defaults, exact texts, the RTS flag, and a store that cannot be written.
#include "platform/SettingsStore.h"
#include "settings/RegSett.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QTest>

namespace
{
const QString kApp = QStringLiteral("Tivor");

void setAll(const QString& port, const QString& baud, bool rts, const QString& dy1, const QString& dy2)
{
    Module1::ComPort = port;
    Module1::ComBaud = baud;
    Module1::ComRTS = rts;
    Module1::DY1 = dy1;
    Module1::DY2 = dy2;
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
        setAll(QStringLiteral("x"), QStringLiteral("x"), true, QStringLiteral("x"), QStringLiteral("x"));
    }

    void emptyStoreGivesDefaultsAndWritesNothing()
    {
        LoadRegSett();
        QCOMPARE(Module1::ComPort, QStringLiteral("2"));
        QCOMPARE(Module1::ComBaud, QStringLiteral("9600"));
        QCOMPARE(Module1::ComRTS, false);
        QCOMPARE(Module1::DY1, QStringLiteral("200"));
        QCOMPARE(Module1::DY2, QStringLiteral("05"));
        // Reading must not create the store, nor any key in it.
        QVERIFY(!QFile::exists(platform::testing::settingsFile));
        QCOMPARE(platform::GetSetting(kApp, QStringLiteral("PGM"), QStringLiteral("DY2"), QStringLiteral("none")),
                 QStringLiteral("none"));
    }

    void partialStoreReadsOnlyWhatItHoldsAndWritesNothing()
    {
        QVERIFY(testenv::writeFile(platform::testing::settingsFile, "[PGM]\nDY2=05\n"));
        LoadRegSett();
        QCOMPARE(Module1::DY2, QStringLiteral("05"));
        QCOMPARE(Module1::ComPort, QStringLiteral("2"));
        QCOMPARE(testenv::readFile(platform::testing::settingsFile), QByteArray("[PGM]\nDY2=05\n"));
    }

    // Every text comes back character for character, whatever the user typed.
    void textsRoundTripExactly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("leading zero") << QStringLiteral("05");
        QTest::newRow("device path") << QStringLiteral("/dev/ttyUSB0");
        QTest::newRow("blanks kept") << QStringLiteral(" 9600 ");
        QTest::newRow("empty") << QString();
        QTest::newRow("comma") << QStringLiteral("9600,N");
        QTest::newRow("at sign") << QStringLiteral("@Variant(x)");
        QTest::newRow("quotes and semicolon") << QStringLiteral("\"a\";b#c=d");
        QTest::newRow("accented") << QString::fromUtf8("puerto ñ");
        QTest::newRow("True as a port") << QStringLiteral("True");
    }
    void textsRoundTripExactly()
    {
        QFETCH(QString, text);
        setAll(text, text, false, text, text);
        QVERIFY(SaveRegSett());
        setAll(QStringLiteral("x"), QStringLiteral("x"), true, QStringLiteral("x"), QStringLiteral("x"));
        LoadRegSett();
        QCOMPARE(Module1::ComPort, text);
        QCOMPARE(Module1::ComBaud, text);
        QCOMPARE(Module1::DY1, text);
        QCOMPARE(Module1::DY2, text);
        QCOMPARE(Module1::ComRTS, false);
    }

    void rtsText_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("expected");
        QTest::newRow("True") << QStringLiteral("True") << true;
        QTest::newRow("False") << QStringLiteral("False") << false;
        QTest::newRow("lower true") << QStringLiteral("true") << false;
        QTest::newRow("one") << QStringLiteral("1") << false;
        QTest::newRow("minus one") << QStringLiteral("-1") << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("blank after") << QStringLiteral("True ") << false;
    }
    void rtsText()
    {
        QFETCH(QString, stored);
        QFETCH(bool, expected);
        QVERIFY(platform::SaveSetting(kApp, QStringLiteral("COM"), QStringLiteral("RTS"), stored));
        LoadRegSett();
        QCOMPARE(Module1::ComRTS, expected);
    }

    void storeThatCannotBeWrittenIsReported()
    {
        // A store whose folder is a plain file cannot be created, not even by root.
        const QString blocker = dir.filePath(QStringLiteral("blocker"));
        QVERIFY(testenv::writeFile(blocker, "not a folder"));
        platform::testing::settingsFile = blocker + QStringLiteral("/Tivor.conf");
        setAll(QStringLiteral("3"), QStringLiteral("19200"), true, QStringLiteral("500"), QStringLiteral("90"));
        QCOMPARE(SaveRegSett(), false);
        // The variables keep the accepted values for the rest of the run.
        QCOMPARE(Module1::ComPort, QStringLiteral("3"));
        LoadRegSett();
        QCOMPARE(Module1::ComPort, QStringLiteral("2"));
        QCOMPARE(Module1::DY2, QStringLiteral("05"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
