// The page editor: the fields of the shown page, the model behind them, and the page commands.
#include "gui/editor/PageEditor.h"

#include "core/model/Module1.h"
#include "core/protocol/SignProtocol.h"
#include "gui/editor/PageNumber.h"
#include "gui/platform/MsgBox.h"
#include "ui_FrmMain.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QScopedValueRollback>

using namespace Module1;

namespace
{
constexpr int TypedTextLimit = 255;
constexpr int FieldTextLimit = 32767; // the most a line edit holds

// Chooses `code` in a list whose entries are the codes 0..count-1; a code outside them gets a temporary last
// entry that shows it, so the stored value survives until the operator picks another.
void chooseCode(QComboBox* box, int listSize, int code)
{
    if (code < listSize) {
        box->setCurrentIndex(code);
        if (box->count() > listSize)
            box->removeItem(listSize);
        return;
    }
    // A code from a file that the list does not hold: show it as it is, as a last entry of its own.
    const QString text = QStringLiteral("Codigo %1").arg(code);
    const bool alreadyShown = box->currentIndex() == listSize;
    const bool otherCode = alreadyShown && box->itemData(listSize).toInt() != code;
    if (box->count() > listSize) {
        box->setItemText(listSize, text);
        box->setItemData(listSize, code);
    } else {
        box->addItem(text, code);
    }
    box->setCurrentIndex(listSize);
    // Another out-of-list code in the same entry is still a change of the chosen value.
    if (otherCode)
        emit box->currentIndexChanged(listSize);
}

int chosenCode(const QComboBox* box, int current)
{
    const int index = box->currentIndex();
    if (index < 0)
        return current;
    const QVariant raw = box->itemData(index);
    return raw.isValid() ? raw.toInt() : index;
}
} // namespace

PageEditor::PageEditor(Ui::FrmMain& ui, Prompter& prompter, QWidget* window)
    : QObject(window), ui(ui), prompter(prompter), window(window)
{
    setUpTextField();
    connect(ui.cmdPagDwn, &QToolButton::clicked, this, &PageEditor::cmdPagDwn_Click);
    connect(ui.cmdPagUp, &QToolButton::clicked, this, &PageEditor::cmdPagUp_Click);
    connect(ui.cmdPagLast, &QToolButton::clicked, this, &PageEditor::cmdPagLast_Click);
    connect(ui.cmdPagFirst, &QToolButton::clicked, this, &PageEditor::cmdPagFirst_Click);
    connect(ui.cmdInsertar, &QToolButton::clicked, this, &PageEditor::cmdInsertar_Click);
    connect(ui.cmdBorro, &QToolButton::clicked, this, &PageEditor::cmdBorro_Click);
    connect(ui.cmdGtoPag, &QToolButton::clicked, this, &PageEditor::cmdGtoPag_Click);
    // Enter in the page-number field jumps like the button does.
    connect(ui.txtGoto, &QLineEdit::returnPressed, this, &PageEditor::cmdGtoPag_Click);

    // These run for the program's own writes as well; only the operator's mark the message changed.
    connect(ui.cboEfe, &QComboBox::currentIndexChanged, this, &PageEditor::cboEfe_Click);
    connect(ui.cboPausa, &QComboBox::currentIndexChanged, this, &PageEditor::cboPausa_Click);
    connect(ui.txtMensaje, &QLineEdit::textChanged, this, &PageEditor::txtMensaje_Change);
    connect(ui.optCenter, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optCenter_Click();
    });
    connect(ui.optLeft, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optLeft_Click();
    });
    // The preview follows every field, whoever changed it.
    connect(ui.cboEfe, &QComboBox::currentIndexChanged, this, &PageEditor::refreshPreview);
    connect(ui.cboPausa, &QComboBox::currentIndexChanged, this, &PageEditor::refreshPreview);
    connect(ui.txtMensaje, &QLineEdit::textChanged, this, &PageEditor::refreshPreview);
    // The limit is raised only to show a longer loaded text whole; whatever the operator deletes from it
    // cannot be typed back in, so typing never takes a text past 255 characters.
    connect(ui.txtMensaje, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (this->ui.txtMensaje->maxLength() > TypedTextLimit)
            this->ui.txtMensaje->setMaxLength(std::max(TypedTextLimit, static_cast<int>(text.size())));
    });
    connect(ui.optLeft, &QRadioButton::toggled, this, &PageEditor::refreshPreview);
}

void PageEditor::setUpTextField()
{
    // Fall back to any fixed-pitch face where Courier New is not installed. The style hint is enough where
    // the system's font matching honours it; where it does not (Wine gave a mathematical face that draws
    // nothing in the field), the first fixed-pitch family installed is named outright.
    for (QWidget* w : {static_cast<QWidget*>(ui.txtMensaje), static_cast<QWidget*>(ui.cboEfe)}) {
        QFont f = w->font();
        f.setStyleHint(QFont::TypeWriter);
        if (!QFontInfo(f).fixedPitch()) {
            const QStringList installed = QFontDatabase::families();
            for (const char* family : {"Liberation Mono", "DejaVu Sans Mono", "Consolas", "Lucida Console"})
                if (installed.contains(QLatin1String(family), Qt::CaseInsensitive)) {
                    f.setFamily(QLatin1String(family));
                    break;
                }
        }
        w->setFont(f);
    }
    // Wide enough for one sign line: 16 characters of the fixed-pitch font.
    const QFontMetrics fm(ui.txtMensaje->font());
    ui.txtMensaje->setMinimumWidth(fm.horizontalAdvance(QString(signproto::LineWidth, QLatin1Char('W'))) + 16);
    ui.txtMensaje->setMinimumHeight(fm.height() + 10);
}

void PageEditor::Ini_Frame()
{
    for (int i = 1; i <= MaxPages; ++i)
        blankPage(i);
    PageCount = 1;
    CurrentPage = 1;
    clearGoto();
    RefMensaje();
    MsgModified = false;
}

void PageEditor::clearGoto()
{
    ui.txtGoto->clear();
}

bool PageEditor::messageOpen() const
{
    return !ui.fraMensaje->isHidden();
}

void PageEditor::setMessageOpen(bool open)
{
    ui.fraMensaje->setEnabled(open);
    ui.fraMensaje->setHidden(!open);
}

void PageEditor::focusText()
{
    if (ui.txtMensaje->isEnabled())
        ui.txtMensaje->setFocus();
}

// ---- Fields and model -------------------------------------------------------------------------

void PageEditor::takeFields(QString& text, std::uint8_t& effect, std::uint8_t& pause, std::uint8_t& align) const
{
    effect = static_cast<std::uint8_t>(chosenCode(ui.cboEfe, effect));
    pause = static_cast<std::uint8_t>(chosenCode(ui.cboPausa, pause));
    align = ui.optLeft->isChecked() ? AlignLeft : AlignCenter;
    text = ui.txtMensaje->text();
    // A loaded text longer than the field can hold comes back whole while nobody changed it.
    if (shownText.size() > FieldTextLimit && text == shownText.left(FieldTextLimit))
        text = shownText;
}

void PageEditor::TomoActual()
{
    const int p = CurrentPage;
    takeFields(PageText[p], PageEffect[p], PagePause[p], PageAlign[p]);
}

MessagePages PageEditor::shownPages() const
{
    MessagePages pages = modelPages();
    const int p = CurrentPage;
    takeFields(pages.text[p], pages.effect[p], pages.pause[p], pages.align[p]);
    return pages;
}

void PageEditor::RefMensaje()
{
    // Showing a page writes the fields, which is no change to the message.
    const QScopedValueRollback showing(refreshing, true);
    const int p = CurrentPage;
    chooseCode(ui.cboEfe, signproto::EffectCount, PageEffect[p]);
    chooseCode(ui.cboPausa, int(signproto::PauseList.size()), PagePause[p]);
    ui.cboPausa->setEnabled(signproto::takesPause(PageEffect[p]));
    if (PageAlign[p] != AlignLeft) {
        ui.txtMensaje->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        ui.optCenter->setChecked(true);
    } else {
        ui.txtMensaje->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        ui.optLeft->setChecked(true);
    }
    ui.txtPag->setText(QString::number(CurrentPage));
    ui.txtDe->setText(QString::number(PageCount));
    // The text the page holds, also over a clock placeholder that choosing the effect wrote. Typing
    // is limited to 255 characters, but a longer text from a file or an import is shown whole (up to
    // what a line edit holds) so that showing a page never cuts it.
    shownText = PageText[p];
    ui.txtMensaje->setMaxLength(qBound(TypedTextLimit, static_cast<int>(shownText.size()), FieldTextLimit));
    ui.txtMensaje->setText(shownText);
}

void PageEditor::refreshPreview()
{
    const int p = CurrentPage;
    ui.pagePreview->showPage(ui.txtMensaje->text(), chosenCode(ui.cboEfe, PageEffect[p]),
                             chosenCode(ui.cboPausa, PagePause[p]), ui.optLeft->isChecked() ? AlignLeft : AlignCenter);
}

void PageEditor::RefPausa()
{
    const int e = ui.cboEfe->currentIndex();
    if (signproto::takesPause(e)) {
        ui.cboPausa->setEnabled(true);
        ui.txtMensaje->setEnabled(true);
    } else if (signproto::isClock(e)) {
        ui.cboPausa->setEnabled(false);
        ui.txtMensaje->setText(signproto::placeholderOf(e));
        ui.txtMensaje->setEnabled(false);
    } else {
        ui.cboPausa->setEnabled(false);
        ui.txtMensaje->setEnabled(true);
    }
}

void PageEditor::markModified()
{
    if (!refreshing)
        MsgModified = true;
}

void PageEditor::cboEfe_Click()
{
    RefPausa();
    markModified();
}

void PageEditor::cboPausa_Click()
{
    markModified();
}

void PageEditor::txtMensaje_Change()
{
    markModified();
}

void PageEditor::optCenter_Click()
{
    if (!ui.fraMensaje->isEnabled())
        return;
    PageAlign[CurrentPage] = AlignCenter;
    ui.txtMensaje->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    focusText();
    markModified();
}

void PageEditor::optLeft_Click()
{
    if (!ui.fraMensaje->isEnabled())
        return;
    PageAlign[CurrentPage] = AlignLeft;
    ui.txtMensaje->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    focusText();
    markModified();
}

// ---- Page commands -----------------------------------------------------------------------------

void PageEditor::cmdPagFirst_Click()
{
    TomoActual();
    CurrentPage = 1;
    RefMensaje();
}

void PageEditor::cmdPagLast_Click()
{
    TomoActual();
    CurrentPage = PageCount;
    RefMensaje();
}

void PageEditor::cmdPagUp_Click()
{
    TomoActual();
    if (CurrentPage > 1)
        --CurrentPage;
    RefMensaje();
    focusText();
}

void PageEditor::cmdPagDwn_Click()
{
    TomoActual();
    if (CurrentPage < MaxPages)
        ++CurrentPage;
    if (CurrentPage > PageCount) {
        const MsgAnswer answer =
            prompter.MsgBox(QStringLiteral("No hay mas Paginas\rDesea Agregar una Nueva?"), MsgButtons::YesNo,
                            MsgIcon::Information, QStringLiteral("Nueva Pagina"), window);
        if (answer == MsgAnswer::Yes)
            PageCount = CurrentPage; // the blank slot behind the old last page
        else
            CurrentPage = PageCount;
    }
    RefMensaje();
    focusText();
}

void PageEditor::cmdGtoPag_Click()
{
    TomoActual();
    const double n = roundedPageNumber(ui.txtGoto->text());
    if (n >= 1 && n <= PageCount) {
        CurrentPage = static_cast<std::uint8_t>(n);
        RefMensaje();
        focusText();
    }
}

void PageEditor::cmdInsertar_Click()
{
    if (!messageOpen() || PageCount >= MaxPages)
        return;
    if (prompter.MsgBox(QStringLiteral("Desea Insertar una Pagina ?"), MsgButtons::YesNo, MsgIcon::Information,
                        QStringLiteral("Insertar"), window) != MsgAnswer::Yes)
        return;
    TomoActual();
    for (int i = PageCount; i >= CurrentPage; --i) {
        PageEffect[i + 1] = PageEffect[i];
        PageText[i + 1] = PageText[i];
        PagePause[i + 1] = PagePause[i];
        PageAlign[i + 1] = PageAlign[i];
    }
    blankPage(CurrentPage);
    ++PageCount;
    MsgModified = true;
    RefMensaje();
    focusText();
}

void PageEditor::cmdBorro_Click()
{
    if (!messageOpen() || PageCount < 2)
        return;
    if (prompter.MsgBox(QStringLiteral("Desea Borrar Pagina ?"), MsgButtons::YesNo, MsgIcon::Critical,
                        QStringLiteral("Borrar"), window) != MsgAnswer::Yes)
        return;
    // The page shown is the one deleted: nothing is taken from the fields first.
    for (int i = CurrentPage; i <= PageCount - 1; ++i) {
        PageEffect[i] = PageEffect[i + 1];
        PageText[i] = PageText[i + 1];
        PagePause[i] = PagePause[i + 1];
        PageAlign[i] = PageAlign[i + 1];
    }
    if (CurrentPage != 1)
        --CurrentPage;
    blankPage(PageCount);
    --PageCount;
    MsgModified = true;
    RefMensaje();
    focusText();
}
