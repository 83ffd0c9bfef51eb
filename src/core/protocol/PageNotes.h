// What the sign makes of one page and what the operator is told of it: the window's live preview and
// tivor-server's preview say the same, so the texts live once, here.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct LineOnSign
{
    QString line;        // the characters the sign gets (Filtro's); empty for a clock page or a page without text
    QList<int> marked;   // where in `line` a character of the text arrives changed
    QString cut;         // the part of a fixed-width text past the sign's line, which is not sent
    QStringList changes; // each change of a character once ("... se vera ..."), then what is not sent
};

// The page as the sign gets it, by its effect (a list position; clock effects send no text) and alignment.
LineOnSign signLineOf(const QString& text, int effect, int align);

// The short line under the preview: each change once, then the part left out; empty when there is none.
QString changesSummary(const QString& text, const QString& cut);

// What a screen reader says of the page; `pause` as the editor shows it (1 to 9).
QString spokenLine(const QString& text, const QString& cut, int effect, int pause, int align);
