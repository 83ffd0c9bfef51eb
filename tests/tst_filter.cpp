// The character filter: padding by alignment, widths, the sign's codes, and what is never sent.
#include "link/Filtro.h"
#include "model/Module1.h"

#include <QTest>

namespace
{
QString blanks(int n)
{
    return QString(n, u' ');
}
QString codes(std::initializer_list<char16_t> cs)
{
    QString s;
    for (char16_t c : cs)
        s += QChar(c);
    return s;
}
} // namespace

class TestFilter : public QObject
{
    Q_OBJECT

private slots:
    void filtro_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("align");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("modelAfter");

        // A null "model after" means the page text stays as it was.
        const QString abc = QStringLiteral("ABC");
        const QString twenty = QStringLiteral("ABCDEFGHIJKLMNOPQRST");
        QTest::newRow("w16 left pads model and wire") << abc << 16 << 0 << abc + blanks(13) << abc + blanks(13);
        QTest::newRow("w16 centred") << abc << 16 << 2 << blanks(6) + abc + blanks(7) << blanks(6) + abc + blanks(7);
        QTest::newRow("w0 left sends only the text") << abc << 0 << 0 << abc << abc + blanks(13);
        QTest::newRow("w0 centred sends 16") << abc << 0 << 2 << blanks(6) + abc + blanks(7)
                                             << blanks(6) + abc + blanks(7);
        QTest::newRow("w16 long text cut on the wire only") << twenty << 16 << 0 << twenty.left(16) << QString();
        QTest::newRow("w0 long text whole") << twenty << 0 << 2 << twenty << QString();
        QTest::newRow("exactly 16 centred") << twenty.left(16) << 0 << 2 << twenty.left(16) << QString();
        QTest::newRow("other alignment w16 padded on the wire only") << abc << 16 << 1 << abc + blanks(13) << QString();
        QTest::newRow("other alignment w0 not padded") << abc << 0 << 7 << abc << QString();
        QTest::newRow("empty w16 centred") << QString() << 16 << 2 << blanks(16) << blanks(16);
        QTest::newRow("controls become #, typed # and _ stay") << QStringLiteral("a\tb\rc\nd\u007F#_") << 0 << 3
                                                             << QStringLiteral("a#b#c#d##_") << QString();
        QTest::newRow("whole code table")
            << QStringLiteral("\u00E1\u00E9\u00ED\u00F3\u00FA\u00F1\u00D1\u00FC\u00A1\u00BF\u00BB\u00AB@") << 0 << 3
            << codes({0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1E}) << QString();
        QTest::newRow("capital accents and cedilla as plain letters")
            << QStringLiteral("\u00C1\u00C9\u00CD\u00D3\u00DA\u00DC\u00C7\u00E7\u00E0\u00E8") << 0 << 3
            << QStringLiteral("AEIOUUCcae") << QString();
        QTest::newRow("degree, euro, C1, quote, dashes are #; no-break space a blank")
            << QStringLiteral("5\u00B0\u20AC\u0085l\u2019a\u2013b\u2014\u00A0") << 0 << 3
            << QStringLiteral("5###l#a#b# ") << QString();
        // Their Windows-1252 codes 0x85 and 0x8C are command codes to the sign.
        QTest::newRow("ellipsis and OE ligature never as 0x85/0x8C") << QStringLiteral("\u2026\u0152\u0153") << 0 << 3
                                                                     << QStringLiteral("#Oo") << QString();
        QTest::newRow("surrogate pair is two #, width kept") << QStringLiteral("a\U0001F600") << 16 << 0
                                                             << QStringLiteral("a##") + blanks(13)
                                                             << QStringLiteral("a\U0001F600") + blanks(13);
    }

    void filtro()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(int, align);
        QFETCH(QString, result);
        QFETCH(QString, modelAfter);

        Module1::PageText[1] = text;
        Module1::MsgModified = false;
        quint8 w = quint8(width);
        quint8 a = quint8(align);
        QCOMPARE(Filtro(Module1::PageText[1], w, a), result);
        QCOMPARE(Module1::PageText[1], modelAfter.isNull() ? text : modelAfter);
        QCOMPARE(int(w), width); // passed by reference, never changed
        QCOMPARE(int(a), align);
        QCOMPARE(Module1::MsgModified, false);
    }

    // Whatever a file or the clipboard brings, every character becomes exactly one byte below 0x80, and
    // no control byte of the line other than the sign's own codes.
    void everyCodeUnitIsOneByteBelow0x80()
    {
        QString all;
        for (int u = 0; u <= 0xFFFF; ++u)
            all += QChar(char16_t(u));
        quint8 width = 0, align = 0;
        const QString out = Filtro(all, width, align);
        QCOMPARE(out.size(), all.size());
        for (int u = 0; u <= 0xFFFF; ++u) {
            const char16_t c = out.at(u).unicode();
            if (c >= 0x80 || (c < 0x20 && (c < 0x10 || c == 0x1C || c == 0x1D || c == 0x1F)))
                QFAIL(qPrintable(QStringLiteral("U+%1 -> %2").arg(u, 4, 16).arg(c, 2, 16)));
        }
    }

    void marks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("indexes");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("unmappable");

        QTest::newRow("plain text and sign codes") << QStringLiteral("Ma\u00F1ana @ \u00BFya?") << QString()
                                                   << QString() << QString();
        QTest::newRow("letters and #") << QStringLiteral("\u00C1rbol\t\u20AC") << QStringLiteral("0,5,6")
                                       << QStringLiteral("A##") << QStringLiteral("011");
        QTest::newRow("typed # is no replacement") << QStringLiteral("#") << QString() << QString() << QString();
    }

    void marks()
    {
        QFETCH(QString, text);
        QFETCH(QString, indexes);
        QFETCH(QString, shown);
        QFETCH(QString, unmappable);

        const QString before = text;
        const QList<FilterMark> marks = filterMarks(text);
        QStringList idx;
        QString sh, un;
        for (const FilterMark& m : marks) {
            idx << QString::number(m.index);
            sh += m.shown;
            un += m.unmappable ? u'1' : u'0';
            QCOMPARE(m.original, text.at(m.index));
        }
        QCOMPARE(idx.join(u','), indexes);
        QCOMPARE(sh, shown);
        QCOMPARE(un, unmappable);
        QCOMPARE(text, before);
    }
};

QTEST_GUILESS_MAIN(TestFilter)
#include "tst_filter.moc"
