// The page editor: the fields of the shown page, the model behind them, and the page commands.
#include "gui/editor/PageEditor.h"

#include "core/protocol/SignProtocol.h"
#include "gui/editor/PageNumber.h"
#include "gui/platform/MsgBox.h"
#include "ui_FrmMain.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QScopedValueRollback>

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
    : QObject(window), m_ui(ui), m_prompter(prompter), m_window(window)
{
    setUpTextField();
    connect(m_ui.cmdPagDwn, &QToolButton::clicked, this, &PageEditor::cmdPagDwn_Click);
    connect(m_ui.cmdPagUp, &QToolButton::clicked, this, &PageEditor::cmdPagUp_Click);
    connect(m_ui.cmdPagLast, &QToolButton::clicked, this, &PageEditor::cmdPagLast_Click);
    connect(m_ui.cmdPagFirst, &QToolButton::clicked, this, &PageEditor::cmdPagFirst_Click);
    connect(m_ui.cmdInsertar, &QToolButton::clicked, this, &PageEditor::cmdInsertar_Click);
    connect(m_ui.cmdBorro, &QToolButton::clicked, this, &PageEditor::cmdBorro_Click);
    connect(m_ui.cmdGtoPag, &QToolButton::clicked, this, &PageEditor::cmdGtoPag_Click);
    // Enter in the page-number field jumps like the button does.
    connect(m_ui.txtGoto, &QLineEdit::returnPressed, this, &PageEditor::cmdGtoPag_Click);

    // These run for the program's own writes as well; only the operator's mark the message changed.
    connect(m_ui.cboEfe, &QComboBox::currentIndexChanged, this, &PageEditor::cboEfe_Click);
    connect(m_ui.cboPausa, &QComboBox::currentIndexChanged, this, &PageEditor::cboPausa_Click);
    connect(m_ui.txtMensaje, &QLineEdit::textChanged, this, &PageEditor::txtMensaje_Change);
    connect(m_ui.optCenter, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optCenter_Click();
    });
    connect(m_ui.optLeft, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optLeft_Click();
    });
    // The preview follows every field, whoever changed it.
    connect(m_ui.cboEfe, &QComboBox::currentIndexChanged, this, &PageEditor::refreshPreview);
    connect(m_ui.cboPausa, &QComboBox::currentIndexChanged, this, &PageEditor::refreshPreview);
    connect(m_ui.txtMensaje, &QLineEdit::textChanged, this, &PageEditor::refreshPreview);
    // The limit is raised only to show a longer loaded text whole; whatever the operator deletes from it
    // cannot be typed back in, so typing never takes a text past 255 characters.
    connect(m_ui.txtMensaje, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (m_ui.txtMensaje->maxLength() > TypedTextLimit)
            m_ui.txtMensaje->setMaxLength(std::max(TypedTextLimit, static_cast<int>(text.size())));
    });
    connect(m_ui.optLeft, &QRadioButton::toggled, this, &PageEditor::refreshPreview);
}

void PageEditor::setUpTextField()
{
    // Fall back to any fixed-pitch face where Courier New is not installed. The style hint is enough where
    // the system's font matching honours it; where it does not (Wine gave a mathematical face that draws
    // nothing in the field), the first fixed-pitch family installed is named outright.
    for (QWidget* w : {static_cast<QWidget*>(m_ui.txtMensaje), static_cast<QWidget*>(m_ui.cboEfe)}) {
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
    const QFontMetrics fm(m_ui.txtMensaje->font());
    m_ui.txtMensaje->setMinimumWidth(fm.horizontalAdvance(QString(signproto::LineWidth, QLatin1Char('W'))) + 16);
    m_ui.txtMensaje->setMinimumHeight(fm.height() + 10);
}

void PageEditor::Ini_Frame()
{
    m_message.clear();
    m_message.count = 1;
    m_message.current = 1;
    clearGoto();
    RefMensaje();
    m_message.modified = false;
}

void PageEditor::clearGoto()
{
    m_ui.txtGoto->clear();
}

bool PageEditor::messageOpen() const
{
    return !m_ui.fraMensaje->isHidden();
}

void PageEditor::setMessageOpen(bool open)
{
    m_ui.fraMensaje->setEnabled(open);
    m_ui.fraMensaje->setHidden(!open);
}

void PageEditor::focusText()
{
    if (m_ui.txtMensaje->isEnabled())
        m_ui.txtMensaje->setFocus();
}

// ---- Fields and model -------------------------------------------------------------------------

void PageEditor::takeFields(QString& text, std::uint8_t& effect, std::uint8_t& pause, std::uint8_t& align) const
{
    effect = static_cast<std::uint8_t>(chosenCode(m_ui.cboEfe, effect));
    pause = static_cast<std::uint8_t>(chosenCode(m_ui.cboPausa, pause));
    align = static_cast<std::uint8_t>(shownAlign(align));
    text = m_ui.txtMensaje->text();
    // A loaded text longer than the field can hold comes back whole while nobody changed it.
    if (m_shownText.size() > FieldTextLimit && text == m_shownText.left(FieldTextLimit))
        text = m_shownText;
}

void PageEditor::TomoActual()
{
    const int p = m_message.current;
    takeFields(m_message.text[p], m_message.effect[p], m_message.pause[p], m_message.align[p]);
}

Message PageEditor::shownMessage() const
{
    Message pages = m_message;
    const int p = m_message.current;
    takeFields(pages.text[p], pages.effect[p], pages.pause[p], pages.align[p]);
    return pages;
}

void PageEditor::RefMensaje()
{
    // Showing a page writes the fields, which is no change to the message.
    const QScopedValueRollback showing(m_refreshing, true);
    const int p = m_message.current;
    chooseCode(m_ui.cboEfe, signproto::EffectCount, m_message.effect[p]);
    chooseCode(m_ui.cboPausa, int(signproto::PauseList.size()), m_message.pause[p]);
    m_ui.cboPausa->setEnabled(signproto::takesPause(m_message.effect[p]));
    if (m_message.align[p] == AlignCenter) {
        m_ui.txtMensaje->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        m_ui.optCenter->setChecked(true);
    } else if (m_message.align[p] == AlignLeft) {
        m_ui.txtMensaje->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        m_ui.optLeft->setChecked(true);
    } else {
        // A code from a file that is neither: kept, with neither option chosen, until the operator picks one. The
        // sign shows such a page from the left, and so does the field.
        m_ui.txtMensaje->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        for (QRadioButton* option : {m_ui.optLeft, m_ui.optCenter}) {
            option->setAutoExclusive(false);
            option->setChecked(false);
            option->setAutoExclusive(true);
        }
    }
    m_ui.txtPag->setText(QString::number(m_message.current));
    m_ui.txtDe->setText(QString::number(m_message.count));
    // The text the page holds, also over a clock placeholder that choosing the effect wrote. Typing
    // is limited to 255 characters, but a longer text from a file or an import is shown whole (up to
    // what a line edit holds) so that showing a page never cuts it.
    m_shownText = m_message.text[p];
    m_ui.txtMensaje->setMaxLength(qBound(TypedTextLimit, static_cast<int>(m_shownText.size()), FieldTextLimit));
    m_ui.txtMensaje->setText(m_shownText);
}

void PageEditor::refreshPreview()
{
    const int p = m_message.current;
    m_ui.pagePreview->showPage(m_ui.txtMensaje->text(), chosenCode(m_ui.cboEfe, m_message.effect[p]),
                               chosenCode(m_ui.cboPausa, m_message.pause[p]), shownAlign(m_message.align[p]));
}

int PageEditor::shownAlign(int stored) const
{
    if (m_ui.optLeft->isChecked())
        return AlignLeft;
    return m_ui.optCenter->isChecked() ? AlignCenter : stored;
}

void PageEditor::RefPausa()
{
    const int e = m_ui.cboEfe->currentIndex();
    if (signproto::takesPause(e)) {
        m_ui.cboPausa->setEnabled(true);
        m_ui.txtMensaje->setEnabled(true);
    } else if (signproto::isClock(e)) {
        m_ui.cboPausa->setEnabled(false);
        m_ui.txtMensaje->setText(signproto::placeholderOf(e));
        m_ui.txtMensaje->setEnabled(false);
    } else {
        m_ui.cboPausa->setEnabled(false);
        m_ui.txtMensaje->setEnabled(true);
    }
}

void PageEditor::markModified()
{
    if (!m_refreshing)
        m_message.modified = true;
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
    if (!m_ui.fraMensaje->isEnabled())
        return;
    m_message.align[m_message.current] = AlignCenter;
    m_ui.txtMensaje->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    focusText();
    markModified();
}

void PageEditor::optLeft_Click()
{
    if (!m_ui.fraMensaje->isEnabled())
        return;
    m_message.align[m_message.current] = AlignLeft;
    m_ui.txtMensaje->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    focusText();
    markModified();
}

// ---- Page commands -----------------------------------------------------------------------------

void PageEditor::cmdPagFirst_Click()
{
    TomoActual();
    m_message.current = 1;
    RefMensaje();
}

void PageEditor::cmdPagLast_Click()
{
    TomoActual();
    m_message.current = m_message.count;
    RefMensaje();
}

void PageEditor::cmdPagUp_Click()
{
    TomoActual();
    if (m_message.current > 1)
        --m_message.current;
    RefMensaje();
    focusText();
}

void PageEditor::cmdPagDwn_Click()
{
    TomoActual();
    if (m_message.current < MaxPages)
        ++m_message.current;
    if (m_message.current > m_message.count) {
        const MsgAnswer answer =
            m_prompter.MsgBox(QStringLiteral("No hay mas Paginas\rDesea Agregar una Nueva?"), MsgButtons::YesNo,
                              MsgIcon::Information, QStringLiteral("Nueva Pagina"), m_window);
        if (answer == MsgAnswer::Yes)
            m_message.count = m_message.current; // the blank slot behind the old last page
        else
            m_message.current = m_message.count;
    }
    RefMensaje();
    focusText();
}

void PageEditor::cmdGtoPag_Click()
{
    TomoActual();
    const double n = roundedPageNumber(m_ui.txtGoto->text());
    if (n >= 1 && n <= m_message.count) {
        m_message.current = static_cast<std::uint8_t>(n);
        RefMensaje();
        focusText();
    }
}

void PageEditor::cmdInsertar_Click()
{
    if (!messageOpen() || m_message.count >= MaxPages)
        return;
    if (m_prompter.MsgBox(QStringLiteral("Desea Insertar una Pagina ?"), MsgButtons::YesNo, MsgIcon::Information,
                          QStringLiteral("Insertar"), m_window) != MsgAnswer::Yes)
        return;
    TomoActual();
    m_message.insertPage(m_message.current);
    RefMensaje();
    focusText();
}

void PageEditor::cmdBorro_Click()
{
    if (!messageOpen() || m_message.count < 2)
        return;
    if (m_prompter.MsgBox(QStringLiteral("Desea Borrar Pagina ?"), MsgButtons::YesNo, MsgIcon::Critical,
                          QStringLiteral("Borrar"), m_window) != MsgAnswer::Yes)
        return;
    // The page shown is the one deleted: nothing is taken from the fields first.
    m_message.deletePage(m_message.current);
    if (m_message.current != 1)
        --m_message.current;
    RefMensaje();
    focusText();
}
