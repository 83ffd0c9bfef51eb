// The .mnm writer's bytes, round trips through real files, broken files and saves that must not lose data.
#include "files/MessageFile.h"
#include "model/Module1.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace
{
void setPage(int i, const QString& text, int effect = 0, int pause = 0, int align = 0)
{
    Module1::PageText[i] = text;
    Module1::PageEffect[i] = std::uint8_t(effect);
    Module1::PagePause[i] = std::uint8_t(pause);
    Module1::PageAlign[i] = std::uint8_t(align);
}

QByteArray hex(const char* spaced)
{
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', ""));
}

// One record as the writer forms it.
QByteArray record(int e, int p, int a, const QByteArray& text)
{
    return QByteArray::number(e) + ',' + QByteArray::number(p) + ',' + QByteArray::number(a) + ",\"" + text +
           "\"\r\n";
}
} // namespace

class TestMessageFile : public QObject
{
    Q_OBJECT
    QTemporaryDir tmp;

private slots:
    void init()
    {
        QVERIFY(tmp.isValid());
        testenv::reset(tmp);
    }

    void workedExampleByteForByte()
    {
        setPage(1, QStringLiteral("HOLA MUNDO"), 1, 3, 2);
        setPage(2, QStringLiteral("DIGA \"SI\""), 0, 0, 0);
        const QByteArray expected = hex("31 2C 33 2C 32 2C 22 48 4F 4C 41 20 4D 55 4E 44 4F 22 0D 0A"
                                        "30 2C 30 2C 30 2C 22 44 49 47 41 20 FF 53 49 FF 22 0D 0A");
        QCOMPARE(expected.size(), 39);
        QCOMPARE(messageFileBytes(), expected);

        const QString path = tmp.filePath(QStringLiteral("ejemplo.mnm"));
        QVERIFY(writeMessageFile(path));
        QCOMPARE(testenv::readFile(path), expected);
    }

    void emptySlotsAreSkippedAndLaterPagesMoveUp()
    {
        QCOMPARE(messageFileBytes(), QByteArray()); // no text at all: an empty file
        setPage(1, QStringLiteral("uno"));
        setPage(3, QStringLiteral("tres"), 5, 2, 2);
        setPage(64, QStringLiteral("ultimo"), 12, 8, 0);
        QCOMPARE(messageFileBytes(), record(0, 0, 0, "uno") + record(5, 2, 2, "tres") + record(12, 8, 0, "ultimo"));

        QList<MessageRecord> records;
        QVERIFY(parseMessageFile(messageFileBytes(), &records));
        QCOMPARE(records.size(), 3);
        QCOMPARE(records[1].text, QStringLiteral("tres"));
        QCOMPARE(records[2].effect, 12);
        QCOMPARE(records[2].pause, 8);
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("readBack");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("quotes") << "DIGA \"SI\"" << "DIGA \"SI\"" << QByteArray("DIGA \xFFSI\xFF");
        QTest::newRow("byte 255 reads as quote") << QString::fromUtf8("caf\u00FF") << "caf\"" << QByteArray("caf\xFF");
        QTest::newRow("commas") << "uno, dos,,tres," << "uno, dos,,tres," << QByteArray("uno, dos,,tres,");
        QTest::newRow("leading and trailing spaces") << "  x  " << "  x  " << QByteArray("  x  ");
        const QString longText = QString(700, u'x') + QStringLiteral("fin");
        QTest::newRow("several hundred characters") << longText << longText << (QByteArray(700, 'x') + "fin");
        QTest::newRow("euro and enye") << QString::fromUtf8("\u20AC 5 a\u00F1o \u00D1") << QString::fromUtf8("\u20AC 5 a\u00F1o \u00D1")
                                       << QByteArray("\x80 5 a\xF1o \xD1");
        QTest::newRow("no Windows-1252 code") << QString::fromUtf8("a\u4E2Db\U0001F600") << "a?b?" << QByteArray("a?b?");
        QTest::newRow("undefined positions survive") << QString(QChar(0x81)) << QString(QChar(0x81))
                                                     << QByteArray("\x81");
    }
    void roundTrip()
    {
        QFETCH(QString, text);
        QFETCH(QString, readBack);
        QFETCH(QByteArray, stored);
        setPage(1, text, 10, 8, 2);
        const QString path = tmp.filePath(QStringLiteral("rt.mnm"));
        QVERIFY(writeMessageFile(path));
        const QByteArray bytes = testenv::readFile(path);
        QCOMPARE(bytes, record(10, 8, 2, stored));
        QVERIFY(!bytes.contains('\x1A'));

        QList<MessageRecord> records;
        QVERIFY(readMessageFile(path, &records));
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].text, readBack);
        QCOMPARE(records[0].effect, 10);
        QCOMPARE(records[0].pause, 8);
        QCOMPARE(records[0].align, 2);
    }

    void sixtyFourPagesAndEveryCodeRoundTrip()
    {
        for (int i = 1; i <= Module1::MaxPages; ++i)
            setPage(i, QStringLiteral("pagina %1").arg(i), (i * 37) % 256, 255 - i, i % 3);
        setPage(64, QStringLiteral("extremos"), 255, 0, 255);
        const QString path = tmp.filePath(QStringLiteral("64.mnm"));
        QVERIFY(writeMessageFile(path));
        QList<MessageRecord> records;
        QVERIFY(readMessageFile(path, &records));
        QCOMPARE(records.size(), 64);
        for (int i = 1; i <= 64; ++i) {
            const MessageRecord& r = records[i - 1];
            QCOMPARE(QStringLiteral("%1,%2,%3,%4").arg(r.effect).arg(r.pause).arg(r.align).arg(r.text),
                     QStringLiteral("%1,%2,%3,%4").arg(Module1::PageEffect[i]).arg(Module1::PagePause[i])
                         .arg(Module1::PageAlign[i]).arg(Module1::PageText[i]));
        }
    }

    void tolerantReading_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("lastText");
        QTest::newRow("LF only") << QByteArray("1,2,0,\"a\"\n3,4,2,\"b\"\n") << 2 << "b";
        QTest::newRow("CR only") << QByteArray("1,2,0,\"a\"\r3,4,2,\"b\"\r") << 2 << "b";
        QTest::newRow("last record without line end") << QByteArray("1,2,0,\"a\"\r\n3,4,2,\"b\"") << 2 << "b";
        QTest::newRow("blanks around fields") << QByteArray(" 1 ,\t2, 0 , \"a b\" \r\n") << 1 << "a b";
        QTest::newRow("blank lines between records") << QByteArray("\r\n1,2,0,\"a\"\r\n\r\n  \r\n3,4,2,\"b\"\r\n\r\n") << 2 << "b";
        QTest::newRow("fields on separate lines") << QByteArray("1\r\n2\r\n0\r\n\"a\"\r\n") << 1 << "a";
        QTest::newRow("leading zeros") << QByteArray("001,0255,00,\"a\"\r\n") << 1 << "a";
        QTest::newRow("text spanning a line end") << QByteArray("1,2,0,\"a\r\nb\"\r\n") << 1 << "a\r\nb";
        QTest::newRow("empty text") << QByteArray("1,2,0,\"\"\r\n") << 1 << "";
        QTest::newRow("only line ends") << QByteArray("\r\n\r\n\n") << 0 << "";
        QByteArray sixtyFour;
        for (int i = 0; i < 64; ++i)
            sixtyFour += record(0, 0, 0, "x");
        QTest::newRow("64 records then blank lines") << sixtyFour + "\r\n  \r\n" << 64 << "x";
    }
    void tolerantReading()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, count);
        QFETCH(QString, lastText);
        QList<MessageRecord> records;
        QVERIFY(parseMessageFile(bytes, &records));
        QCOMPARE(records.size(), count);
        if (count > 0)
            QCOMPARE(records.last().text, lastText);
    }

    void brokenFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray sixtyFive;
        for (int i = 0; i < 65; ++i)
            sixtyFive += record(0, 0, 0, "x");
        QTest::newRow("65 records") << sixtyFive;
        QTest::newRow("65 records, last without line end") << sixtyFive.chopped(2);
        QTest::newRow("number 256") << record(256, 0, 0, "x");
        QTest::newRow("huge number") << QByteArray("99999999999999999999999,0,0,\"x\"\r\n");
        QTest::newRow("negative number") << QByteArray("-1,0,0,\"x\"\r\n");
        QTest::newRow("non-numeric") << QByteArray("a,0,0,\"x\"\r\n");
        QTest::newRow("empty numeric field") << QByteArray("1,,0,\"x\"\r\n");
        QTest::newRow("cut after a number") << QByteArray("1,2");
        QTest::newRow("cut inside the text") << QByteArray("1,2,0,\"HOLA");
        QTest::newRow("second record cut short") << record(1, 2, 0, "a") + QByteArray("3,4\r\n");
        QTest::newRow("text without quotes") << QByteArray("1,2,0,HOLA\r\n");
        QTest::newRow("something after the text") << QByteArray("1,2,0,\"a\"b\r\n");
        QTest::newRow("fifth field") << QByteArray("1,2,0,\"a\",5\r\n");
    }
    void brokenFiles()
    {
        QFETCH(QByteArray, bytes);
        QList<MessageRecord> records;
        QVERIFY(!parseMessageFile(bytes, &records));
        QVERIFY(records.isEmpty());
        const QString path = tmp.filePath(QStringLiteral("roto.mnm"));
        QVERIFY(testenv::writeFile(path, bytes));
        QVERIFY(!readMessageFile(path, &records));
    }

    void missingOrUnreadableFiles()
    {
        QList<MessageRecord> records;
        QVERIFY(!readMessageFile(tmp.filePath(QStringLiteral("no-existe.mnm")), &records));
        QVERIFY(!readMessageFile(tmp.path(), &records));
        QVERIFY(!readMessageFile(QString(), &records));
        const QString empty = tmp.filePath(QStringLiteral("vacio.mnm"));
        QVERIFY(testenv::writeFile(empty, QByteArray()));
        QVERIFY(readMessageFile(empty, &records));
        QVERIFY(records.isEmpty());
        if (::geteuid() != 0) {
            const QString locked = tmp.filePath(QStringLiteral("bloqueado.mnm"));
            QVERIFY(testenv::writeFile(locked, record(0, 0, 0, "x")));
            QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
            QVERIFY(!readMessageFile(locked, &records));
        }
    }

    void unwritableSystemFolder()
    {
        // /proc refuses new files even to root: the temporary file cannot be made, the old file stays.
        const QString path = QStringLiteral("/proc/version");
        const QByteArray before = testenv::readFile(path);
        QVERIFY(!before.isEmpty());
        setPage(1, QStringLiteral("nuevo"));
        QString error;
        QVERIFY(!writeMessageFile(path, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(testenv::readFile(path), before);
    }

    void specialFilesAreNotReplaced()
    {
        const QString fifo = tmp.filePath(QStringLiteral("tuberia.mnm"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        setPage(1, QStringLiteral("nuevo"));
        QVERIFY(!writeMessageFile(fifo));
        QVERIFY(QFileInfo(fifo).exists());
        QVERIFY(!QFileInfo(fifo).isFile());
        QVERIFY(QFile::remove(fifo));
    }

    void saveThroughALinkReplacesItsTarget()
    {
        const QString target = tmp.filePath(QStringLiteral("destino.mnm"));
        const QString link = tmp.filePath(QStringLiteral("enlace.mnm"));
        QVERIFY(testenv::writeFile(target, "viejo"));
        QVERIFY(QFile::link(target, link));
        setPage(1, QStringLiteral("nuevo"));
        QVERIFY(writeMessageFile(link));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(testenv::readFile(target), record(0, 0, 0, "nuevo"));
    }

    void saveReplacesAnExistingFile()
    {
        const QString folder = tmp.filePath(QStringLiteral("reemplazo"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/m.mnm");
        QVERIFY(testenv::writeFile(path, QByteArray(5000, 'z')));
        setPage(1, QStringLiteral("nuevo"));
        QVERIFY(writeMessageFile(path));
        QCOMPARE(testenv::readFile(path), record(0, 0, 0, "nuevo"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("m.mnm")});
    }

    void failedSaveLeavesOldFileIntact_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("read-only folder") << "folder";
        QTest::newRow("read-only file") << "file";
        QTest::newRow("path is a folder") << "dir";
        QTest::newRow("folder does not exist") << "missing";
    }
    void failedSaveLeavesOldFileIntact()
    {
        QFETCH(QString, kind);
        if (::geteuid() == 0 && kind == QLatin1String("folder"))
            QSKIP("root writes into read-only folders; see unwritableSystemFolder");
        const QString folder = tmp.filePath(QStringLiteral("carpeta"));
        QVERIFY(QDir().mkpath(folder));
        QString path = folder + QStringLiteral("/viejo.mnm");
        const QByteArray old = record(1, 2, 0, "viejo") + record(3, 4, 2, "mensaje");
        QVERIFY(testenv::writeFile(path, old));
        if (kind == QLatin1String("folder"))
            QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        if (kind == QLatin1String("file"))
            QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
        if (kind == QLatin1String("dir"))
            path = folder;
        if (kind == QLatin1String("missing"))
            path = folder + QStringLiteral("/no/existe.mnm");

        setPage(1, QStringLiteral("nuevo"));
        QString error;
        QVERIFY(!writeMessageFile(path, &error));
        QVERIFY(!error.isEmpty());
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(testenv::readFile(folder + QStringLiteral("/viejo.mnm")), old);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("viejo.mnm")});
        QDir(folder).removeRecursively();
    }
};

QTEST_GUILESS_MAIN(TestMessageFile)
#include "tst_messagefile.moc"
