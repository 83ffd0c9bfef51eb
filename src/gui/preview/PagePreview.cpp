// Builds the preview's line with the transmission's own filter, and explains what the sign will not show.
#include "gui/preview/PagePreview.h"

#include "core/protocol/PageNotes.h"
#include "core/protocol/SignProtocol.h"
#include "gui/preview/LedMatrix.h"

#include <QLabel>
#include <QVBoxLayout>

namespace
{
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
    const SignLine line = signLineOf(text, effect, align);
    SignPage out;
    out.page.effect = effect;
    out.page.pause = std::clamp(pause + 1, 1, signproto::MaxPause);
    out.page.bytes = line.line.toLatin1();
    out.page.marked = line.marked;
    out.cut = line.cut;
    out.note = line.changes.join(QStringLiteral("\n"));
    return out;
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
    const QString summary = changesSummary(text, cut);
    lblNota_->setText(summary);
    lblNota_->setToolTip(note);
    lblNota_->setVisible(!summary.isEmpty());
    // For a screen reader: the line as the sign will show it, then what the sign changes or leaves out.
    const QString spoken = spokenLine(text, cut, p.effect, p.pause, align);
    matrix_->setAccessibleDescription(note.isEmpty() ? spoken : spoken + u'\n' + note);
    matrix_->setToolTip(note.isEmpty() ? QStringLiteral("Asi se vera la pagina en el cartel")
                                       : QStringLiteral("Asi se vera la pagina en el cartel.\n") + note);
}

QString PagePreview::summaryText() const
{
    return lblNota_->text();
}
