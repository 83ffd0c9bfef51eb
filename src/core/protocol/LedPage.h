// An editor page as the sign's dot matrix shows it: the line the transmission sends, the clock's text in a "Hora"
// or "Fecha" page, and the picture that stays once the entrance is over.
#pragma once

#include "core/protocol/LedAnimation.h"

#include <QDateTime>
#include <QString>

namespace led
{
// The line the sign gets for an editor page, the part of the text it leaves out, and the full explanation of both,
// one line per change.
struct SignPage
{
    Page page;
    QString cut;
    QString note;
};

// `effect` and `pause` as list positions, `align` 0 or 2. Works on a copy of the text: nothing is padded in place.
SignPage signPageOf(const QString& text, int effect, int pause, int align);

// The page as the sign plays it at `now`: a "Hora" or "Fecha" page shows its clock centred, and points nothing out.
Page pageAt(Page page, const QDateTime& now);

// What stays on the matrix after the entrance: its last frame, or for a scrolling text, which has no still image
// of its own, its start as the line would show it.
Bitmap stillImage(const Page& page);
} // namespace led
