// Reading plain text files for the import: their encoding, their lines, the pages they make.
#pragma once

#include "core/files/FileIO.h"
#include "core/model/Message.h"

#include "core/protocol/SignProtocol.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Line lengths under this are padded with blanks on the right; longer lines are kept whole.
inline constexpr int ImportLineWidth = signproto::LineWidth;

// A file that is valid UTF-8 (with or without byte order mark) and holds any non-ASCII character is read as
// UTF-8 — what a text editor on Linux writes today; anything else is read as Windows-1252. The byte order mark
// is never part of the text.
QString decodeTextFile(const QByteArray& bytes);

// The pages of decodeTextFile(bytes): one per non-empty line, at most 64. CR LF, CR alone and LF alone all end
// a line; a line of blanks is not empty; lines shorter than 16 characters are padded with blanks to 16. The rest
// of the file is ignored. The lines are split as bytes and only those that become pages are decoded, so the
// whole file is never held as text.
// What an import left out, for the window and tivor-cli to say.
struct ImportNotes
{
    int linesLeftOut = 0; // lines with text after the 64th page
};
QStringList importPagesFromBytes(const QByteArray& bytes, ImportNotes* notes = nullptr);
// What the window and tivor-cli say of `notes`; empty when nothing was left out.
QString importNotesText(const ImportNotes& notes);

// Reads the file and gives its pages; false when the file cannot be opened or read (`failure` says why).
bool readImportFile(const QString& path, QStringList* pages, FileFailure* failure = nullptr,
                    ImportNotes* notes = nullptr);

// The message the imported pages make: one page per entry (at most 64, codes 0), counted by their number but
// at least 1, page 1 current, not modified.
Message messageOfPages(const QStringList& pages);

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(const QByteArray& bytes);
