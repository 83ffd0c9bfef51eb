// The live preview: the line the sign will show, its marks and its cut, without touching the model.
#include "link/PacedSend.h"
#include "link/Transmission.h"
#include "link/SignProtocol.h"
#include "link/frmSend.h"
#include "model/Module1.h"
#include "settings/RegSett.h"
#include "platform/Clock.h"
#include "preview/LedMatrix.h"
#include "preview/PagePreview.h"
#include "support/EditorKit.h"
#include "support/TestEnv.h"

#include <QCheckBox>
#include <QLabel>
#include <QTest>

using namespace Module1;
using namespace editorkit;

namespace
{
// Dots of the character cell `index` (first sixteen only) that carry the mark colour.
int markedDotsInCell(const led::Bitmap& b, int index)
{
    int n = 0;
    for (int y = 0; y < led::Rows; ++y)
        for (int x = index * led::CellWidth; x < (index + 1) * led::CellWidth; ++x)
            n += b.at(x, y) == led::Marked;
    return n;
}
} // namespace

class TestPreview : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void init() { testenv::reset(m_dir); }

    void lineByAlignmentAndEffect_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("effect");
        QTest::addColumn<int>("align");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("fixed, left") << "HOLA" << 1 << int(AlignLeft) << QByteArray("HOLA            ");
        QTest::newRow("fixed, centred") << "HOLA" << 3 << int(AlignCenter) << QByteArray("      HOLA      ");
        QTest::newRow("fixed, centred, odd") << "ABC" << 3 << int(AlignCenter) << QByteArray("      ABC       ");
        QTest::newRow("rotacion, left: no blanks sent") << "HOLA" << 0 << int(AlignLeft) << QByteArray("HOLA");
        QTest::newRow("rotacion, centred") << "HOLA" << 0 << int(AlignCenter) << QByteArray("      HOLA      ");
        QTest::newRow("sign codes") << QString::fromUtf8("Año @") << 1 << int(AlignLeft) << QByteArray("A\x15o \x1E           ");
        QTest::newRow("fixed, long: 16 sent") << "0123456789abcdefXYZ" << 2 << int(AlignCenter) << QByteArray("0123456789abcdef");
    }
    void lineByAlignmentAndEffect()
    {
        QFETCH(QString, text);
        QFETCH(int, effect);
        QFETCH(int, align);
        QFETCH(QByteArray, bytes);
        PagePreview preview;
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        preview.showPage(text, effect, 4, align);
        QCOMPARE(preview.page().bytes, bytes);
        QCOMPARE(preview.page().effect, effect);
        QCOMPARE(preview.page().pause, 5);
        QVERIFY(preview.page().marked.isEmpty());
        preview.matrix()->showStill();
        QCOMPARE(preview.matrix()->bitmap(), led::lineBitmap(preview.page()));
    }

    void charactersTheSignLacksAreMarkedAndExplained()
    {
        PagePreview preview;
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        const QString text = QString::fromUtf8("Año €uro Á#\t");
        preview.showPage(text, 1, 0, AlignLeft);
        // "ñ" has a code of its own and a typed "#" is a "#": neither is marked.
        QCOMPARE(preview.page().marked, (QList<int>{4, 9, 11}));
        QCOMPARE(preview.page().bytes, QByteArray("A\x15o #uro A##    "));
        preview.matrix()->showStill();
        const led::Bitmap still = preview.matrix()->bitmap();
        QVERIFY(markedDotsInCell(still, 4) > 0);
        QVERIFY(markedDotsInCell(still, 9) > 0);
        QVERIFY(markedDotsInCell(still, 11) > 0);
        QCOMPARE(markedDotsInCell(still, 10), 0);
        QCOMPARE(markedDotsInCell(still, 1), 0);
        const QString note = preview.noteText();
        QVERIFY2(note.contains(QString::fromUtf8("\"€\" no existe en el cartel: se vera \"#\"")), qPrintable(note));
        QVERIFY(note.contains(QString::fromUtf8("\"Á\" se vera \"A\"")));
        QVERIFY(note.contains(QStringLiteral("tabulador no existe en el cartel")));
        QVERIFY(preview.findChild<QLabel*>(QStringLiteral("lblPreviewNota"))->isVisible());
        QCOMPARE(preview.summaryText(), QString::fromUtf8("Cambia: \"€\" > #, \"Á\" > A, tabulador > #"));
        QVERIFY(preview.matrix()->toolTip().contains(note));

        // Centred, the marks move with the text.
        preview.showPage(QString::fromUtf8("€"), 1, 0, AlignCenter);
        QCOMPARE(preview.page().marked, QList<int>{7});
        preview.showPage(QStringLiteral("Todo bien"), 1, 0, AlignCenter);
        QVERIFY(preview.noteText().isEmpty());
        QVERIFY(!preview.findChild<QLabel*>(QStringLiteral("lblPreviewNota"))->isVisible());
    }

    void partBeyondSixteenIsPointedOut()
    {
        PagePreview preview;
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        const QString text = QString::fromUtf8("Oferta de la semana €");
        preview.showPage(text, 4, 0, AlignLeft);
        QCOMPARE(preview.cutText(), QStringLiteral("ana \u20AC")); // "Oferta de la sem" fills the line
        QVERIFY(preview.matrix()->cutMarker());
        QVERIFY(preview.page().marked.isEmpty()); // the euro sign is not sent at all
        QVERIFY(preview.noteText().contains(QString::fromUtf8("solo se envian 16 caracteres: no se envia \"ana €\"")));
        QCOMPARE(preview.summaryText(), QString::fromUtf8("No se envia: \"ana €\""));
        // "Rotacion" sends the whole text.
        preview.showPage(text, 0, 0, AlignLeft);
        QVERIFY(preview.cutText().isEmpty());
        QVERIFY(!preview.matrix()->cutMarker());
        QCOMPARE(preview.page().marked, QList<int>{20});
    }

    void clockAndEmptyPages()
    {
        platform::testing::fixedNow = QDateTime(QDate(2026, 12, 5), QTime(9, 30, 0));
        PagePreview preview;
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        preview.showPage(signproto::placeholderOf(signproto::EffectHora), signproto::EffectHora, 0, AlignLeft);
        QCOMPARE(preview.matrix()->shownPage().bytes, QByteArray("    09:30:00    "));
        QVERIFY(preview.noteText().isEmpty());
        preview.showPage(QString(), 1, 0, AlignLeft);
        QCOMPARE(preview.matrix()->bitmap().litCount(), 0);
        QVERIFY(!preview.matrix()->hasTimerRunning());
    }

    void sameValuesDoNotRestartTheAnimation()
    {
        PagePreview preview;
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        preview.showPage(QStringLiteral("Lluvia"), 2, 0, AlignCenter);
        QTRY_VERIFY(preview.matrix()->frame() >= 3);
        const int frame = preview.matrix()->frame();
        preview.showPage(QStringLiteral("Lluvia"), 2, 0, AlignCenter);
        QVERIFY(preview.matrix()->frame() >= frame);
        preview.showPage(QStringLiteral("Lluvia!"), 2, 0, AlignCenter);
        QCOMPARE(preview.matrix()->frame(), 0);
    }

    void showingPagesNeverChangesTheModel()
    {
        PageCount = 2;
        PageText[1] = QStringLiteral("abc");
        PageAlign[1] = AlignCenter;
        PageEffect[1] = 3;
        PageText[2] = QString::fromUtf8("Ñandú € y más texto de la cuenta");
        PageEffect[2] = 1;
        MsgModified = false;
        PagePreview preview;
        preview.show();
        for (int i = 1; i <= 2; ++i)
            preview.showPage(PageText[i], PageEffect[i], PagePause[i], PageAlign[i]);
        QCOMPARE(PageText[1], QStringLiteral("abc"));
        QCOMPARE(PageText[2], QString::fromUtf8("Ñandú € y más texto de la cuenta"));
        QVERIFY(!MsgModified);
    }

    void mainWindowPreviewFollowsTheFields()
    {
        auto w = freshWindow(m_dir);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        auto* preview = child<PagePreview>(*w, "pagePreview");
        QVERIFY(!preview->isVisible()); // no message open: nothing animates
        QVERIFY(!preview->matrix()->hasTimerRunning());

        openMessage(*w, {QStringLiteral("abc"), QString::fromUtf8("Año €"), QStringLiteral("ultima")});
        QVERIFY(preview->isVisible());
        QCOMPARE(preview->page().bytes, QByteArray("abc")); // "Rotacion", left: the text alone
        cboEfe(*w)->setCurrentIndex(5);
        QCOMPARE(preview->page().effect, 5);
        QCOMPARE(preview->page().bytes, QByteArray("abc             "));
        QVERIFY(preview->matrix()->isAnimating());
        optCenter(*w)->click();
        QCOMPARE(preview->page().bytes, QByteArray("      abc       "));
        cboPausa(*w)->setCurrentIndex(6);
        QCOMPARE(preview->page().pause, 7);
        txtMensaje(*w)->setText(QString::fromUtf8("Niño €"));
        QCOMPARE(preview->page().bytes, QByteArray("     Ni\x15o #     "));
        QCOMPARE(preview->page().marked, QList<int>{10});
        QVERIFY(preview->matrix()->toolTip().contains(QString::fromUtf8("\"€\" no existe en el cartel")));
        txtMensaje(*w)->setText(QStringLiteral("Un texto de mas de dieciseis"));
        QCOMPARE(preview->cutText(), QStringLiteral("de dieciseis")); // after "Un texto de mas "
        QVERIFY(preview->matrix()->cutMarker());
        cboEfe(*w)->setCurrentIndex(signproto::EffectHora);
        QCOMPARE(preview->page().effect, int(signproto::EffectHora));
        QCOMPARE(preview->matrix()->shownPage().bytes.size(), 16);
        QVERIFY(preview->cutText().isEmpty());

        // Another page shows at once; closing the message stops the preview.
        w->cmdPagDwn_Click();
        QCOMPARE(preview->page().bytes, QByteArray("A\x15o #"));
        QCOMPARE(preview->page().marked, QList<int>{4});
        w->setMessageOpen(false);
        QVERIFY(!preview->isVisible());
        QVERIFY(!preview->matrix()->hasTimerRunning());
    }

    void mainWindowPreviewLeavesTheModelAlone()
    {
        auto w = freshWindow(m_dir);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        openMessage(*w, {QStringLiteral("corto"), QString::fromUtf8("más de dieciséis letras aquí")});
        PageEffect[1] = 2;
        PageAlign[1] = AlignCenter;
        w->RefMensaje();
        MsgModified = false;
        auto* preview = child<PagePreview>(*w, "pagePreview");
        QCOMPARE(preview->page().bytes, QByteArray("     corto      "));
        // Let the entrance play out and the page loop once.
        QTRY_VERIFY_WITH_TIMEOUT(!preview->matrix()->isAnimating(), 3000);
        QCOMPARE(PageText[1], QStringLiteral("corto")); // not padded
        QVERIFY(!MsgModified);
        // Resizing, hiding and showing the window replays the page; the model stays as it was.
        w->resize(w->width() + 80, w->height());
        w->hide();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QVERIFY(preview->matrix()->isAnimating());
        QCOMPARE(modelTexts(), (QStringList{QStringLiteral("corto"), QString::fromUtf8("más de dieciséis letras aquí")}));
        QVERIFY(!MsgModified);
    }

    void sendDialogShowsTheEstimateBeforeSending()
    {
        auto w = freshWindow(m_dir);
        openMessage(*w, {QStringLiteral("viejo")});
        resetTransmissionState();
        // The page as typed, not yet taken into the model: the 27-byte example.
        txtMensaje(*w)->setText(QStringLiteral("HOLA"));
        cboEfe(*w)->setCurrentIndex(1);
        cboPausa(*w)->setCurrentIndex(4);
        optCenter(*w)->click();
        MsgModified = false;
        const auto estimate = [](frmSend& dlg) { return dlg.findChild<QLabel*>(QStringLiteral("lblEstimado"))->text(); };
        {
            frmSend dlg(w->MSComm1, [&] { return w->takeMessage(); }, w.get());
            // Default delays: 5 x 200 ms + 22 x 5 ms.
            QCOMPARE(estimate(dlg), QStringLiteral("Tiempo estimado de envio: 1,1 s (27 bytes)"));
            dlg.findChild<QCheckBox*>(QStringLiteral("chkFile"))->click();
            QCOMPARE(estimate(dlg), QStringLiteral("Al archivo: 27 bytes, sin esperas"));
        }
        // Nothing was taken, padded or built for it.
        QCOMPARE(PageText[1], QStringLiteral("viejo"));
        QCOMPARE(int(PageEffect[1]), 0);
        QVERIFY(!MsgModified);
        QCOMPARE(TxLength, 0);
        QVERIFY(TxBuffer.isEmpty());
        QCOMPARE(TxDelayStart, 0.0);

        // The longest message: cut at 8000 bytes.
        for (int i = 1; i <= 64; ++i)
            PageText[i] = QString(200, QLatin1Char('x'));
        PageCount = 64;
        CurrentPage = 64;
        w->RefMensaje();
        {
            frmSend dlg(w->MSComm1, [&] { return w->takeMessage(); }, w.get());
            QCOMPARE(estimate(dlg), QStringLiteral("Tiempo estimado de envio: 41,0 s (8002 bytes)"));
        }
        DY2 = QStringLiteral("90");
        {
            frmSend dlg(w->MSComm1, [&] { return w->takeMessage(); }, w.get());
            QCOMPARE(estimate(dlg), QStringLiteral("Tiempo estimado de envio: 12 min 00 s (8002 bytes)"));
        }
        QCOMPARE(PageText[1], QString(200, QLatin1Char('x')));
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
