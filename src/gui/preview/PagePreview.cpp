// Builds the preview's line with the transmission's own filter, and explains what the sign will not show.
#include "gui/preview/PagePreview.h"

#include "core/model/Message.h"
#include "core/protocol/Filtro.h"
#include "core/protocol/SignProtocol.h"
#include "gui/preview/LedMatrix.h"

#include <QLabel>
#include <QVBoxLayout>

namespace
{
// A character as the operator can read it in a note: control characters by name.
QString readable(QChar c)
{
    switch (c.unicode()) {
    case 0x09:
        return QStringLiteral("tabulador");
    case 0x0A:
    case 0x0D:
        return QStringLiteral("salto de linea");
    default:
        break;
    }
    if (c.unicode() < 0x20 || c.isSurrogate() || !c.isPrint())
        return QStringLiteral("U+") + QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0'));
    return QStringLiteral("\"%1\"").arg(c);
}

// The line the sign gets for the editor's values, the part of the text it leaves out, and the full
// explanation of both, one line per change.
struct SignPage
{
    led::Page page;
    QString cut;
    QString note;
};

SignPage signPageOf(const QString& text, int effect, int pause, int align)
{
    SignPage out;
    led::Page& p = out.page;
    p.effect = effect;
    p.pause = std::clamp(pause + 1, 1, signproto::MaxPause);
    QStringList changes;
    if (!signproto::isClock(effect) && !text.isEmpty()) {
        // The transmission's filter: same padding, same cut, same characters.
        const quint8 width = signproto::effectOf(effect).width;
        p.bytes = Filtro(text, width, quint8(align)).toLatin1();
        const int shift = (align == AlignCenter && text.size() < signproto::LineWidth)
                              ? int(signproto::LineWidth - text.size()) / 2
                              : 0;
        for (const FilterMark& m : filterMarks(text)) {
            if (width && m.index >= signproto::LineWidth)
                break;
            p.marked.append(m.index + shift);
            changes << (m.unmappable
                            ? QStringLiteral("%1 no existe en el cartel: se vera \"#\"").arg(readable(m.original))
                            : QStringLiteral("%1 se vera \"%2\"").arg(readable(m.original), m.shown));
        }
        if (width && text.size() > signproto::LineWidth)
            out.cut = text.mid(signproto::LineWidth);
    }
    changes.removeDuplicates();
    if (!out.cut.isEmpty())
        changes << QStringLiteral("Con este efecto solo se envian %1 caracteres: no se envia \"%2\"")
                       .arg(QString::number(signproto::LineWidth), out.cut);
    out.note = changes.join(QStringLiteral("\n"));
    return out;
}

// The short line under the matrix: each change of a character once, then the part left out.
QString summaryOf(const QString& text, const QString& cut)
{
    QStringList brief;
    for (const FilterMark& m : filterMarks(text.left(cut.isEmpty() ? text.size() : signproto::LineWidth))) {
        const QString pair = QStringLiteral("%1 > %2").arg(readable(m.original), m.shown);
        if (!brief.contains(pair))
            brief << pair;
    }
    QString summary;
    if (!brief.isEmpty())
        summary = QStringLiteral("Cambia: ") + brief.join(QStringLiteral(", "));
    if (!cut.isEmpty())
        summary +=
            (summary.isEmpty() ? QString() : QStringLiteral("   ")) + QStringLiteral("No se envia: \"%1\"").arg(cut);
    return summary;
}

// What a screen reader says of the page: its line as the sign will show it, its effect and pause.
QString spokenOf(const QString& text, const QString& cut, const led::Page& page, int align)
{
    QString line = cut.isEmpty() ? text : text.left(signproto::LineWidth);
    const QList<FilterMark> lineMarks = filterMarks(line);
    for (auto m = lineMarks.crbegin(); m != lineMarks.crend(); ++m)
        line.replace(m->index, 1, m->shown);
    const int effect = page.effect;
    if (signproto::isClock(effect))
        return QStringLiteral("El cartel mostrara la %1 de su reloj.").arg(signproto::effectName(effect).toLower());
    if (text.isEmpty())
        return QStringLiteral("Pagina vacia: el cartel no mostrara texto.");
    return QStringLiteral("El cartel mostrara \"%1\" %2, con el efecto %3")
               .arg(line.trimmed(),
                    align == AlignCenter ? QStringLiteral("centrado") : QStringLiteral("a la izquierda"),
                    signproto::effectName(effect)) +
           (signproto::takesPause(effect) ? QStringLiteral(" y pausa %1.").arg(page.pause) : QStringLiteral("."));
}
} // namespace

PagePreview::PagePreview(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    matrix_ = new LedMatrix(this);
    matrix_->setObjectName(QStringLiteral("ledPreview"));
    matrix_->setMinimumHeight(36);
    // A larger window gives the preview larger dots.
    matrix_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    matrix_->setAccessibleName(QStringLiteral("Vista previa del cartel"));
    layout->addWidget(matrix_);
    lblNota_ = new QLabel(this);
    lblNota_->setObjectName(QStringLiteral("lblPreviewNota"));
    lblNota_->setStyleSheet(QStringLiteral("color: #9a5800;"));
    lblNota_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblNota_->setVisible(false);
    layout->addWidget(lblNota_);
}

void PagePreview::showPage(const QString& text, int effect, int pause, int align)
{
    // An effect past the list (only a file brings one) goes out as "Estatico"; show it so.
    if (effect < 0 || effect >= signproto::EffectCount)
        effect = signproto::EffectEstatico;
    const SignPage sign = signPageOf(text, effect, pause, align);
    const led::Page& p = sign.page;
    const QString& cut = sign.cut;
    const bool same = shown_ && p.effect == page_.effect && p.bytes == page_.bytes && p.pause == page_.pause &&
                      p.marked == page_.marked && cut == cutText_;
    if (same)
        return; // a refresh that changes nothing must not restart the animation
    shown_ = true;
    page_ = p;
    cutText_ = cut;
    matrix_->setCutMarker(!cut.isEmpty());
    matrix_->setPages(text.isEmpty() && !signproto::isClock(effect) ? QList<led::Page>{} : QList<led::Page>{p});

    // One short line under the matrix; the full explanation in the tooltips.
    const QString& note = sign.note;
    const QString summary = summaryOf(text, cut);
    lblNota_->setText(summary);
    lblNota_->setToolTip(note);
    lblNota_->setVisible(!summary.isEmpty());
    // For a screen reader: the line as the sign will show it, then what the sign changes or leaves out.
    const QString spoken = spokenOf(text, cut, p, align);
    matrix_->setAccessibleDescription(note.isEmpty() ? spoken : spoken + u'\n' + note);
    matrix_->setToolTip(note.isEmpty() ? QStringLiteral("Asi se vera la pagina en el cartel")
                                       : QStringLiteral("Asi se vera la pagina en el cartel.\n") + note);
}

QString PagePreview::summaryText() const
{
    return lblNota_->text();
}
