// The page number typed for "Ir a Pagina": the number the text starts with, rounded.
#pragma once

#include <QString>

// Reads the decimal number at the start of `text` (leading blanks skipped, reading stops at the first
// character that cannot continue the number, no number gives 0) and rounds it, a half going to the
// even neighbour. The result is a whole number, possibly negative, huge or infinite.
double roundedPageNumber(const QString& text);
