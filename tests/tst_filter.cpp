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

        const QString abc = QStringLiteral("ABC");
        QTest::newRow("w16 left pads model and wire") << abc << 16 << 0 << abc + blanks(13) << abc + blanks(13);
        QTest::newRow("w16 centred") << abc << 16 << 2 << blanks(6) + abc + blanks(7) << blanks(6) + abc + blanks(7);
        QTest::newRow("w0 left sends only the text") << abc << 0 << 0 << abc << abc + blanks(13);
        QTest::newRow("w0 centred sends 16") << abc << 0 << 2 << blanks(6) + abc + blanks(7)
                                             << blanks(6) + abc + blanks(7);
        QTest::newRow("w16 even length centred") << QStringLiteral("HOLA") << 16 << 2
                                                 << blanks(6) + QStringLiteral("HOLA") + blanks(6)
                                                 << blanks(6) + QStringLiteral("HOLA") + blanks(6);
        const QString twenty = QStringLiteral("ABCDEFGHIJKLMNOPQRST");
        QTest::newRow("w16 long text cut on the wire only") << twenty << 16 << 0 << twenty.left(16) << twenty;
        QTest::newRow("w0 long text whole") << twenty << 0 << 2 << twenty << twenty;
        const QString sixteen = QStringLiteral("0123456789ABCDEF");
        QTest::newRow("exactly 16 left") << sixteen << 16 << 0 << sixteen << sixteen;
        QTest::newRow("exactly 16 centred") << sixteen << 0 << 2 << sixteen << sixteen;
        QTest::newRow("other alignment w16 padded on the wire only") << abc << 16 << 1 << abc + blanks(13) << abc;
        QTest::newRow("other alignment w0 not padded") << abc << 0 << 7 << abc << abc;
        QTest::newRow("empty w16 centred") << QString() << 16 << 2 << blanks(16) << blanks(16);
        QTest::newRow("tab CR LF become #") << QStringLiteral("a\tb\rc\nd") << 0 << 3 << QStringLiteral("a#b#c#d")
                                            << QStringLiteral("a\tb\rc\nd");
        QTest::newRow("typed # stays") << QStringLiteral("#1") << 0 << 3 << QStringLiteral("#1") << QStringLiteral("#1");
        QTest::newRow("Spanish codes") << QStringLiteral("\u00D1and\u00FA") << 0 << 3
                                       << codes({0x16, u'a', u'n', u'd', 0x14}) << QStringLiteral("\u00D1and\u00FA");
        QTest::newRow("whole code table")
            << QStringLiteral("\u00E1\u00E9\u00ED\u00F3\u00FA\u00F1\u00D1\u00FC\u00A1\u00BF\u00BB\u00AB@") << 0 << 3
            << codes({0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1E})
            << QStringLiteral("\u00E1\u00E9\u00ED\u00F3\u00FA\u00F1\u00D1\u00FC\u00A1\u00BF\u00BB\u00AB@");
        QTest::newRow("capital accents and cedilla as plain letters")
            << QStringLiteral("\u00C1\u00C9\u00CD\u00D3\u00DA\u00DC\u00C7\u00E7\u00E0\u00E8") << 0 << 3
            << QStringLiteral("AEIOUUCcae") << QStringLiteral("\u00C1\u00C9\u00CD\u00D3\u00DA\u00DC\u00C7\u00E7\u00E0\u00E8");
        QTest::newRow("degree, euro, C1 control become #") << QStringLiteral("5\u00B0\u20AC\u0085") << 0 << 3
                                                           << QStringLiteral("5###")
                                                           << QStringLiteral("5\u00B0\u20AC\u0085");
        QTest::newRow("quote and dashes past FF are #") << QStringLiteral("l\u2019a\u2013b\u2014") << 0 << 3
                                                        << QStringLiteral("l#a#b#")
                                                        << QStringLiteral("l\u2019a\u2013b\u2014");
        // Their Windows-1252 codes 0x85 and 0x8C are command codes to the sign.
        QTest::newRow("ellipsis and OE ligature never as 0x85/0x8C") << QStringLiteral("\u2026\u0152\u0153") << 0 << 3
                                                                     << QStringLiteral("#Oo")
                                                                     << QStringLiteral("\u2026\u0152\u0153");
        QTest::newRow("DEL is a control byte") << QStringLiteral("a\u007Fb") << 0 << 3 << QStringLiteral("a#b")
                                               << QStringLiteral("a\u007Fb");
        QTest::newRow("underscore unchanged") << QStringLiteral("_") << 0 << 3 << QStringLiteral("_")
                                              << QStringLiteral("_");
        QTest::newRow("surrogate pair is two #, width kept") << QStringLiteral("a\U0001F600") << 16 << 0
                                                             << QStringLiteral("a##") + blanks(13)
                                                             << QStringLiteral("a\U0001F600") + blanks(13);
        QTest::newRow("no-break space is a blank") << QStringLiteral("a\u00A0b") << 0 << 3 << QStringLiteral("a b")
                                                   << QStringLiteral("a\u00A0b");
        QTest::newRow("padded blanks after a long-cut text") << QStringLiteral("\u00C1\u00F1o") << 0 << 0
                                                             << codes({u'A', 0x15, u'o'})
                                                             << QStringLiteral("\u00C1\u00F1o") + blanks(13);
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
        QCOMPARE(Module1::PageText[1], modelAfter);
        QCOMPARE(int(w), width);
        QCOMPARE(int(a), align);
        QCOMPARE(Module1::MsgModified, false);
    }

    // Whatever a file or the clipboard brings, every character becomes exactly one byte below 0x80.
    void everyCodeUnitIsOneByteBelow0x80()
    {
        for (int u = 0; u <= 0xFFFF; ++u) {
            const QChar out = signCharOf(QChar(char16_t(u)));
            if (out.unicode() >= 0x80)
                QFAIL(qPrintable(QStringLiteral("U+%1 -> U+%2").arg(u, 4, 16).arg(out.unicode(), 4, 16)));
            // Control bytes of the line other than the sign's own codes never go out.
            if (out.unicode() < 0x20 && (out.unicode() < 0x10 || out.unicode() == 0x1C || out.unicode() == 0x1D ||
                                         out.unicode() == 0x1F))
                QFAIL(qPrintable(QStringLiteral("U+%1 -> control %2").arg(u, 4, 16).arg(out.unicode())));
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
