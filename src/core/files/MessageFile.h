// The .mnm message file: its writer, its reader and the quote conversions WComi/RComi.
#pragma once

#include "core/files/FileIO.h"
#include "core/model/Message.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Where the window's message is kept: the file it was opened from or saved to.
struct MessageFileState
{
    // Name of the message's file without its folder, as the file dialog returned it ("" = never saved).
    QString name;
    // Full path of that file; reading and writing use it.
    QString path;
    // When set, the next Grabar_Mensaje asks for a name even if the message has one.
    bool saveAs = false;
};

// Every double quote becomes the character of code 255, so a text never closes its own quoted field.
QString WComi(const QString& xmen);
// The reverse: every character of code 255 becomes a double quote (in place when handed a temporary).
QString RComi(QString xmen);

// The file for `message`: one record per page slot 1..64 whose text is not empty,
// `effect,pause,align,"WComi(text)"` CR LF, in Windows-1252 ('?' for characters it cannot hold, "y" for "ÿ",
// whose byte stands for the double quote).
QByteArray messageFileBytes(const Message& message);

// Writes messageFileBytes() to `path` by writeFileAtomically: on any failure the old file is left byte for byte
// as it was. `error` gets the reason.
bool writeMessageFile(const QString& path, const Message& message, QString* error = nullptr);

struct MessageRecord
{
    int effect = 0;
    int pause = 0;
    int align = 0;
    QString text; // already passed through RComi
};

// The most records a file may hold; one more makes it a broken file.
inline constexpr int MaxMessageRecords = 64;

// Reads the records of a message file. False for a broken file: a numeric field that is not a whole number
// from 0 to 255, a record cut short by the end of the file, a 65th record, or anything after the text of a
// record on its line. True with an empty list for a file without records.
//
// Accepted beyond the writer's own form: LF or CR alone as line end, a last record without line end,
// blanks and tabs around any field, fields split over lines (a line end separates fields like a comma),
// blank lines between records, leading zeros in numbers. The text must be quoted; it reaches to the next
// double quote, line ends included. Reading stops at the first fault, so no input costs more than one pass.
bool parseMessageFile(const QByteArray& bytes, QList<MessageRecord>* records);

// parseMessageFile on the file's bytes; false as well when the file is missing or cannot be read.
bool readMessageFile(const QString& path, QList<MessageRecord>* records);

enum class MessageLoad {
    Pages,          // one page per record, page 1 current
    Empty,          // a file without records: one blank page
    Unreadable,     // the file is missing or cannot be read (`failure` says why)
    TooLarge,       // the file is over MaxReadBytes: refused before the model was touched
    Broken,         // parseMessageFile refused it
    FirstPageCodes, // page 1 has an effect or pause code the lists do not hold, so it cannot be shown
};

// Reads a message file into `message`, by the one set of rules the window and tivor-cli share: unless the file
// is too large the message is cleared to one blank page, and only a file that loads gets pages (counted by its
// records, page 1 current). Codes outside the lists on later pages are loaded as they are; the editor deals with
// them when those pages are shown.
MessageLoad loadMessage(const QString& path, Message& message, FileFailure* failure = nullptr);

// The characters of `text` a message file cannot keep, each once: those Windows-1252 has no byte for, and "ÿ".
QString unkeptInMessageFile(const QString& text);
// What the status line and tivor-cli say of them (`lost`, from unkeptInMessageFile): written as "?", or "ÿ" as
// "y".
QString unkeptCharactersText(const QString& lost);
