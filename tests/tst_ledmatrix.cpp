// The LED matrix: the 5x7 font, each effect's frames, and the widget's player and timers.
#include "platform/Clock.h"
#include "preview/LedFont.h"
#include "preview/LedMatrix.h"

#include <QSet>
#include <QTest>

namespace
{
led::Page page(int effect, const QByteArray& bytes, int pause = 1, QList<int> marked = {})
{
    return led::Page{effect, bytes, pause, marked};
}

int countValue(const led::Bitmap& b, std::uint8_t v)
{
    return int(std::count(b.dots.begin(), b.dots.end(), v));
}

// The still image moved by (dx, dy), for comparing sliding entrances.
led::Bitmap shifted(const led::Bitmap& b, int dx, int dy)
{
    led::Bitmap out;
    for (int y = 0; y < led::Rows; ++y)
        for (int x = 0; x < led::Columns; ++x)
            out.set(x + dx, y + dy, b.at(x, y));
    return out;
}

const QByteArray kLine("HOLA Mundo 2026!");
} // namespace

class TestLedMatrix : public QObject
{
    Q_OBJECT
private slots:
    void init() { platform::testing::fixedNow = QDateTime(); }

    void fontCoversTheSignsRepertoire()
    {
        QSet<QByteArray> seen;
        for (int b = 0; b < 256; ++b) {
            const led::Glyph* g = led::glyphFor(std::uint8_t(b));
            const bool expected = (b >= 0x20 && b <= 0x7E) || (b >= 0x10 && b <= 0x1B) || b == 0x1E;
            QVERIFY2(bool(g) == expected, qPrintable(QString::number(b, 16)));
            if (!g || b == 0x1E)
                continue;
            for (std::uint8_t row : *g)
                QVERIFY(row < 0x20); // five dots wide
            const QByteArray key(reinterpret_cast<const char*>(g->data()), led::GlyphHeight);
            QVERIFY2(!seen.contains(key), qPrintable(QStringLiteral("glyph of 0x%1 repeats another").arg(b, 0, 16)));
            seen.insert(key);
            if (b != 0x20)
                QVERIFY(key.count('\0') < led::GlyphHeight); // only the blank is empty
        }
        QCOMPARE(*led::glyphFor(0x1E), *led::glyphFor('@'));
    }

    void lineOfText()
    {
        const led::Bitmap b = led::lineBitmap(page(1, "A\x15"));
        const QStringList rows = b.toText().split(QLatin1Char('\n'));
        QStringList firstTwelve;
        for (int y = 0; y < led::Rows; ++y)
            firstTwelve << rows[y].left(12);
        QCOMPARE(firstTwelve, (QStringList{".###...##.#.", "#...#.#.##..", "#...#.......", "#...#.#.##..",
                                           "#####.##..#.", "#...#.#...#.", "#...#.#...#."}));
        // The seventeenth character has no room on the line.
        QCOMPARE(led::lineBitmap(page(1, QByteArray(16, ' ') + "X")).litCount(), 0);
    }

    void everyEntranceEndsOnTheStillImage_data()
    {
        QTest::addColumn<int>("effect");
        for (int e = 1; e <= 10; ++e)
            QTest::addRow("%d", e) << e;
    }
    void everyEntranceEndsOnTheStillImage()
    {
        QFETCH(int, effect);
        const led::Page p = page(effect, kLine, 4, {5});
        const led::Bitmap still = led::lineBitmap(p);
        const int frames = led::animationFrames(p);
        QCOMPARE(led::renderFrame(p, frames - 1), still);
        QCOMPARE(led::renderFrame(p, frames + 100), still);
        QCOMPARE(led::holdMs(p), 4000);
        if (effect == 1) {
            QCOMPARE(frames, 1);
            return;
        }
        QVERIFY(frames > 8);
        QVERIFY(frames * led::FrameMs <= 5000); // an entrance never takes longer than five seconds
        QVERIFY(led::renderFrame(p, 0).litCount() < still.litCount());
        // Something moves: consecutive frames differ somewhere before the end.
        int changes = 0;
        for (int f = 1; f < frames; ++f)
            changes += !(led::renderFrame(p, f) == led::renderFrame(p, f - 1));
        QVERIFY(changes >= frames / 3);
        // The marked character ("M") keeps its colour while it moves in.
        QCOMPARE(countValue(led::renderFrame(p, frames - 1), led::Marked), countValue(still, led::Marked));
        QVERIFY(countValue(still, led::Marked) > 0);
    }

    void slidingEntrances()
    {
        const led::Page up = page(4, kLine), down = page(5, kLine), still1 = page(1, kLine);
        const led::Bitmap still = led::lineBitmap(still1);
        // Two frames a row: frame 6 has the line three rows below (rising) or above (coming down).
        QCOMPARE(led::renderFrame(up, 8), shifted(still, 0, 3));
        QCOMPARE(led::renderFrame(down, 8), shifted(still, 0, -3));

        // Curtain up uncovers bottom rows first, curtain down top rows first: frame 6 shows two rows.
        const led::Bitmap cu = led::renderFrame(page(6, kLine), 6);
        const led::Bitmap cd = led::renderFrame(page(7, kLine), 6);
        for (int y = 0; y < led::Rows; ++y)
            for (int x = 0; x < led::Columns; ++x) {
                QCOMPARE(cu.at(x, y), y >= 5 ? still.at(x, y) : std::uint8_t(led::Off));
                QCOMPARE(cd.at(x, y), y < 2 ? still.at(x, y) : std::uint8_t(led::Off));
            }

        // Interlace: even rows come from the left, odd rows from the right.
        const led::Bitmap il = led::renderFrame(page(3, kLine), 20); // 16 columns to go
        QCOMPARE(il.at(0, 0), still.at(16, 0));
        QCOMPARE(il.at(40, 2), still.at(56, 2));
        QCOMPARE(il.at(40, 1), still.at(24, 1));

        // Peephole: only the middle is open.
        const led::Page full = page(9, QByteArray(16, '#'));
        const led::Bitmap fullStill = led::lineBitmap(full);
        const led::Bitmap ph = led::renderFrame(full, 5); // ten columns each side of the middle
        for (int x = 0; x < led::Columns; ++x)
            QCOMPARE(ph.at(x, 3), x >= 38 && x < 58 ? fullStill.at(x, 3) : std::uint8_t(led::Off));
    }

    void shotFiresOneCharacterAfterAnother()
    {
        const led::Page p = page(8, "AB              ");
        const led::Bitmap a = led::lineBitmap(page(1, "A"));
        // "A" travels 96 columns at 8 a frame: in place at frame 12; "B" leaves the edge then.
        QCOMPARE(led::renderFrame(p, 12), a);
        led::Bitmap bJustFired = a;
        const led::Bitmap b = led::lineBitmap(page(1, "B"), led::Columns - 8);
        for (std::size_t i = 0; i < b.dots.size(); ++i)
            bJustFired.dots[i] |= b.dots[i];
        QCOMPARE(led::renderFrame(p, 13), bJustFired);
        QVERIFY(led::renderFrame(p, 20).litCount() > a.litCount());
        QCOMPARE(led::animationFrames(p), 12 + 12 + 1); // blanks take no time
        QCOMPARE(led::animationFrames(page(8, QByteArray(16, ' '))), 1);
    }

    void rotacionScrollsTheWholeText()
    {
        const QByteArray text("Una linea mucho mas larga que el cartel");
        const led::Page p = page(0, text, 9);
        QCOMPARE(led::holdMs(p), 0);
        QCOMPARE(led::animationFrames(p), led::Columns + int(text.size()) * led::CellWidth + 1);
        QCOMPARE(led::renderFrame(p, 0).litCount(), 0);
        QCOMPARE(led::renderFrame(p, led::animationFrames(p) - 1).litCount(), 0);
        QCOMPARE(led::renderFrame(p, led::Columns), led::lineBitmap(p, 0));
        // Twenty characters in, the line shows characters 20..35.
        QCOMPARE(led::renderFrame(p, led::Columns + 20 * led::CellWidth), led::lineBitmap(page(1, text.mid(20, 16))));
    }

    void playerHoldsWithoutATimerTick()
    {
        LedMatrix m;
        m.setPages({page(1, kLine, 2)});
        QVERIFY(!m.hasTimerRunning()); // nothing runs while hidden
        m.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m));
        QVERIFY(!m.isAnimating());
        QVERIFY(m.hasTimerRunning()); // only the hold's single shot
        QCOMPARE(m.bitmap(), led::lineBitmap(page(1, kLine)));
        m.hide();
        QVERIFY(!m.hasTimerRunning());
    }

    void playerAnimatesThenMovesToTheNextPageInRealTime()
    {
        LedMatrix m;
        QList<int> started;
        connect(&m, &LedMatrix::pageStarted, this, [&](int i) { started << i; });
        m.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m));
        const led::Page rain = page(2, kLine, 1);
        m.setPages({rain, page(1, "SEGUNDA", 1)});
        QVERIFY(m.isAnimating());
        QCOMPARE(m.pageIndex(), 0);
        const int entranceMs = led::animationFrames(rain) * led::FrameMs;
        QTRY_VERIFY_WITH_TIMEOUT(!m.isAnimating(), entranceMs + 1000);
        QCOMPARE(m.bitmap(), led::lineBitmap(rain));
        QTRY_COMPARE_WITH_TIMEOUT(m.pageIndex(), 1, 2500);
        QCOMPARE(m.bitmap(), led::lineBitmap(page(1, "SEGUNDA")));
        QTRY_COMPARE_WITH_TIMEOUT(m.pageIndex(), 0, 2500); // and round again
        QCOMPARE(started.mid(0, 3), (QList<int>{0, 1, 0}));
    }

    void clockPagesShowTheSignsClock()
    {
        platform::testing::fixedNow = QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9));
        LedMatrix m;
        m.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m));
        m.setPages({page(11, {}), page(12, {})});
        QCOMPARE(m.shownPage().bytes, QByteArray("    14:05:09    "));
        QCOMPARE(m.bitmap(), led::lineBitmap(page(1, "    14:05:09    ")));
        m.setClockOffsetMs(-(14 * 3600 + 5 * 60 + 9) * 1000LL - 1000); // 23:59:59 the day before
        QCOMPARE(m.shownPage().bytes, QByteArray("    23:59:59    "));
        QVERIFY(m.hasTimerRunning());
        m.setPages({page(12, {})});
        QCOMPARE(m.shownPage().bytes, QByteArray("    04/12/26    "));
    }

    void noPagesIsDarkAndIdle()
    {
        LedMatrix m;
        m.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m));
        m.setPages({page(1, kLine)});
        m.setPages({});
        QCOMPARE(m.bitmap().litCount(), 0);
        QVERIFY(!m.hasTimerRunning());
    }
};

QTEST_MAIN(TestLedMatrix)
#include "tst_ledmatrix.moc"
