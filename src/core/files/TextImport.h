// Reading plain text files for the import: their encoding, their lines, the pages they make.
#pragma once

#include "core/files/FileIO.h"
#include "core/model/Message.h"

#include "core/protocol/SignProtocol.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// Line lengths under this are padded with blanks on the right; longer lines are kept whole.
inline constexpr int ImportLineWidth = signproto::LineWidth;

// A file that starts with a UTF-16 byte order mark (FF FE or FE FF) is UTF-16. Any other is read line by line: a
// line that is valid UTF-8 and holds a non-ASCII character is UTF-8, any other line Windows-1252. By line, not by
// file, because lists grow in more than one editor (an old Windows list with lines added on Linux), and a
// Windows-1252 line with accents is valid UTF-8 only by a rare accident; a file that is all one or all the other
// reads as it always did. The five bytes Windows-1252 leaves undefined, and what is not UTF-16 in a UTF-16 file,
// become "?". A UTF-8 byte order mark starting the file is dropped and decides nothing.
QString decodeTextFile(const QByteArray& bytes);

// What an import left out or could not read, for the window and tivor-cli to say.
struct ImportNotes
{
    int linesLeftOut = 0;      // lines with text after the 64th page
    QList<int> cp1252Pages;    // in a file with UTF-8 pages, the pages that are not valid UTF-8
    QByteArray undefinedBytes; // the bytes Windows-1252 leaves undefined that were found, each once
    QList<int> notUtf16Pages;  // pages of a UTF-16 file with parts that are not UTF-16
};
// The pages of decodeTextFile(bytes): one per non-empty line, at most 64. CR LF, CR alone and LF alone all end
// a line; a line of blanks is not empty; lines shorter than 16 characters are padded with blanks to 16. The rest
// of the file is ignored. The lines are split before they are decoded and only those that become pages are, so the
// whole file is never held as text.
QStringList importPagesFromBytes(const QByteArray& bytes, ImportNotes* notes = nullptr);
// What the window and tivor-cli say of `notes`; empty when the file was read whole.
QString importNotesText(const ImportNotes& notes);

// Reads the file and gives its pages; false when the file cannot be opened or read (`failure` says why).
bool readImportFile(const QString& path, QStringList* pages, FileFailure* failure = nullptr,
                    ImportNotes* notes = nullptr);

// The message the imported pages make: one page per entry (at most 64, codes 0), counted by their number but
// at least 1, page 1 current, not modified.
Message messageOfPages(const QStringList& pages);

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(QByteArrayView bytes);
