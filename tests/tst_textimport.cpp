// Text import: encodings, line ends, padding, the 64-page limit, real files.
#include "files/TextImport.h"
#include "support/TestEnv.h"

#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace
{
QString pad(const QString& s)
{
    return s.leftJustified(16, u' ');
}
} // namespace

class TestTextImport : public QObject
{
    Q_OBJECT
    QTemporaryDir tmp;

private slots:
    void init()
    {
        QVERIFY(tmp.isValid());
        testenv::reset(tmp);
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTF-8") << QByteArray("a\xC3\xB1o \xE2\x82\xAC") << QString::fromUtf8("año €");
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF" "a\xC3\xB1o") << QString::fromUtf8("año");
        QTest::newRow("Windows-1252") << QByteArray("a\xF1o \x80") << QString::fromUtf8("año €");
        QTest::newRow("Windows-1252 that looks half UTF-8") << QByteArray("\xC3\xB1 y \xF1") << QString::fromUtf8("Ã± y ñ");
        QTest::newRow("ASCII") << QByteArray("hola\r\n") << "hola\r\n";
        QTest::newRow("overlong form is not UTF-8") << QByteArray("\xC0\xAF") << QString::fromUtf8("À¯");
        QTest::newRow("surrogate is not UTF-8") << QByteArray("\xED\xA0\x80") << QString::fromUtf8("í\u00A0\u20AC");
        QTest::newRow("cut sequence is not UTF-8") << QByteArray("ab\xC3") << QString::fromUtf8("abÃ");
        QTest::newRow("4-byte UTF-8") << QByteArray("\xF0\x9F\x98\x80") << QString::fromUtf8("\U0001F600");
        QTest::newRow("BOM then invalid") << QByteArray("\xEF\xBB\xBF" "\xF1") << QString::fromUtf8("ñ");
        QTest::newRow("empty") << QByteArray() << "";
    }
    void decoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(decodeTextFile(bytes), text);
    }

    void pages_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("pages");
        const QStringList abc{pad("uno"), pad("dos"), pad("tres")};
        QTest::newRow("CR LF") << QByteArray("uno\r\ndos\r\ntres\r\n") << abc;
        QTest::newRow("CR, LF and CR LF mixed") << QByteArray("uno\rdos\ntres\r\n") << abc;
        QTest::newRow("empty lines skipped") << QByteArray("\r\n\r\nuno\n\n\r\r\ndos\r\n\r\ntres\n\n") << abc;
        QTest::newRow("only-blank line is a page") << QByteArray("uno\r\n \r\n") << QStringList{pad("uno"), pad(" ")};
        QTest::newRow("long blank line kept") << QByteArray(20, ' ') << QStringList{QString(20, u' ')};
        QTest::newRow("16 chars as is") << QByteArray("0123456789ABCDEF") << QStringList{QStringLiteral("0123456789ABCDEF")};
        QTest::newRow("40 chars whole") << QByteArray(40, 'x') << QStringList{QString(40, u'x')};
        QTest::newRow("Windows-1252 año") << QByteArray("a\xF1o\n") << QStringList{pad(QString::fromUtf8("año"))};
        QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBFx\r\n") << QStringList{pad("x")};
        QTest::newRow("BOM starting a later line is a character")
            << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF\n\xEF\xBB\xBFt\n")
            << QStringList{pad(QString(QChar(0xFEFF))), pad(QString(QChar(0xFEFF)) + u't')};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
        QTest::newRow("only empty lines") << QByteArray("\r\n\n\r") << QStringList{};
        QTest::newRow("padding counts characters, not bytes")
            << QByteArray("\xE2\x82\xAC") << QStringList{QString::fromUtf8("€") + QString(15, u' ')};

        QByteArray seventy;
        QStringList sixtyFour;
        for (int i = 1; i <= 70; ++i) {
            seventy += "linea " + QByteArray::number(i) + "\r\n\r\n";
            if (i <= 64)
                sixtyFour << pad(QStringLiteral("linea %1").arg(i));
        }
        QTest::newRow("70 lines make 64 pages") << seventy << sixtyFour;
    }
    void pages()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, pages);
        QCOMPARE(importPagesFromBytes(bytes), pages);

        const QString path = tmp.filePath(QStringLiteral("texto.txt"));
        QVERIFY(testenv::writeFile(path, bytes));
        QStringList read{QStringLiteral("previo")};
        QVERIFY(readImportFile(path, &read));
        QCOMPARE(read, pages);
    }

    void unreadableFiles()
    {
        QStringList pages;
        QVERIFY(!readImportFile(tmp.filePath(QStringLiteral("no-existe.txt")), &pages));
        QVERIFY(!readImportFile(tmp.path(), &pages));
        if (::geteuid() != 0) {
            const QString locked = tmp.filePath(QStringLiteral("bloqueado.txt"));
            QVERIFY(testenv::writeFile(locked, "hola\n"));
            QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
            QVERIFY(!readImportFile(locked, &pages));
        }
    }

    void utf8Validator_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("U+10FFFF") << QByteArray("\xF4\x8F\xBF\xBF") << true;
        QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
        QTest::newRow("U+FFFF") << QByteArray("\xEF\xBF\xBF") << true;
        QTest::newRow("overlong 3 bytes") << QByteArray("\xE0\x80\xAF") << false;
        QTest::newRow("overlong 4 bytes") << QByteArray("\xF0\x80\x80\xAF") << false;
        QTest::newRow("lone continuation") << QByteArray("\x80") << false;
        QTest::newRow("F5 lead") << QByteArray("\xF5\x80\x80\x80") << false;
        QTest::newRow("bad third byte") << QByteArray("\xE2\x82\x41") << false;
        QTest::newRow("NUL is ASCII") << QByteArray("\0", 1) << true;
    }
    void utf8Validator()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(isValidUtf8(bytes), valid);
        // Agrees with Qt's own decoder.
        QStringDecoder dec(QStringConverter::Utf8);
        static_cast<void>(QString(dec(bytes)));
        QCOMPARE(!dec.hasError(), valid);
    }
};

QTEST_GUILESS_MAIN(TestTextImport)
#include "tst_textimport.moc"
