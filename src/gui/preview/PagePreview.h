// The main window's live preview: the page being edited on the LED matrix, as the sign will show it.
#pragma once

#include "core/protocol/LedAnimation.h"

#include <QWidget>

class LedMatrix;
class QLabel;

class PagePreview : public QWidget
{
    Q_OBJECT
public:
    explicit PagePreview(QWidget* parent = nullptr);

    // Shows one page from the editor's values (effect and pause as list positions, alignment 0 or 2).
    // Works on a copy of the text: the model is never padded or marked modified by a preview.
    void showPage(const QString& text, int effect, int pause, int align);

    LedMatrix* matrix() const { return m_matrix; }
    // The line as it will go out, with the indexes of the characters the sign gets changed.
    const led::Page& page() const { return m_page; }
    // The part of a fixed-width text past the 16th character, which is not sent.
    QString cutText() const { return m_cutText; }
    // The one-line summary under the matrix of what the sign changes or leaves out.
    QString summaryText() const;

private:
    LedMatrix* m_matrix;
    QLabel* m_lblNota;
    led::Page m_page;
    QString m_cutText;
    bool m_shown = false;
};
