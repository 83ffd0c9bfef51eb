// Builds the preview's line with the transmission's own filter, and explains what the sign will not show.
#include "gui/preview/PagePreview.h"

#include "core/protocol/LedPage.h"
#include "core/protocol/PageNotes.h"
#include "core/protocol/SignProtocol.h"
#include "gui/preview/LedMatrix.h"

#include <QLabel>
#include <QVBoxLayout>

PagePreview::PagePreview(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    m_matrix = new LedMatrix(this);
    m_matrix->setObjectName(QStringLiteral("ledPreview"));
    m_matrix->setMinimumHeight(36);
    // A larger window gives the preview larger dots.
    m_matrix->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_matrix->setAccessibleName(QStringLiteral("Vista previa del cartel"));
    layout->addWidget(m_matrix);
    m_lblNota = new QLabel(this);
    m_lblNota->setObjectName(QStringLiteral("lblPreviewNota"));
    m_lblNota->setStyleSheet(QStringLiteral("color: #9a5800;"));
    m_lblNota->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_lblNota->setVisible(false);
    layout->addWidget(m_lblNota);
}

void PagePreview::showPage(const QString& text, int effect, int pause, int align)
{
    // An effect past the list (only a file brings one) goes out as "Estatico"; show it so.
    if (effect < 0 || effect >= signproto::EffectCount)
        effect = signproto::EffectEstatico;
    const led::SignPage sign = led::signPageOf(text, effect, pause, align);
    const led::Page& p = sign.page;
    const QString& cut = sign.cut;
    // A refresh that leaves the picture as it is must not restart the animation; the words are said again all the
    // same (a full line centred or not draws the same dots, but is not said the same).
    const bool samePicture = m_shown && p.effect == m_page.effect && p.bytes == m_page.bytes &&
                             p.pause == m_page.pause && p.marked == m_page.marked && cut == m_cutText;
    if (!samePicture) {
        m_shown = true;
        m_page = p;
        m_cutText = cut;
        m_matrix->setCutMarker(!cut.isEmpty());
        m_matrix->setPages(text.isEmpty() && !signproto::isClock(effect) ? QList<led::Page>{} : QList<led::Page>{p});
    }

    // One short line under the matrix; the full explanation in the tooltips.
    const QString& note = sign.note;
    const QString summary = changesSummary(text, cut);
    m_lblNota->setText(summary);
    m_lblNota->setToolTip(note);
    m_lblNota->setVisible(!summary.isEmpty());
    // For a screen reader: the line as the sign will show it, then what the sign changes or leaves out.
    const QString spoken = spokenLine(text, cut, p.effect, p.pause, align);
    m_matrix->setAccessibleDescription(note.isEmpty() ? spoken : spoken + u'\n' + note);
    m_matrix->setToolTip(note.isEmpty() ? QStringLiteral("Asi se vera la pagina en el cartel")
                                        : QStringLiteral("Asi se vera la pagina en el cartel.\n") + note);
}

QString PagePreview::summaryText() const
{
    return m_lblNota->text();
}
