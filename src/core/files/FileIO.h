// Reading a whole file and replacing a file atomically: every input and output of the window and of tivor-cli.
#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

// Why a read or a write did not happen, for callers that say more than "failed".
struct FileFailure
{
    enum Kind {
        None,
        Missing,    // reading: nothing at the path
        Folder,     // the path is a folder
        NotRegular, // writing: a device, a pipe or another special file, never replaced
        ReadOnly,   // writing: the file is marked read-only
        Open,       // reading: cannot be opened; writing: the temporary file cannot be made
        Transfer,   // the bytes could not all be read or written
        TooLarge,   // reading: more than MaxReadBytes
    };
    Kind kind = None;
    // Always a text to show: the system's reason ("sin permiso", "File too large", ...) or, for a folder, a
    // special file or a read-only file, "<path> no es un archivo" / "<path> es una FIFO, no un archivo comun: no
    // se reemplaza" / "<path> es de solo lectura".
    QString reason;
};

// The most any program reads from one file: far beyond any message, text or settings a sign can take, and a
// bound on what a mistaken path (a disk image, /dev/zero, a pipe that never ends) can take from the memory.
inline constexpr qint64 MaxReadBytes = 64 * 1024 * 1024;

// Reads the whole file (or everything a pipe gives). False for an empty path, a folder, a file that cannot be
// opened or read, a FIFO nobody writes to (refused at once, never waited for), or one longer than MaxReadBytes
// ("<path> es demasiado grande (mas de 64 MB)"; no more than that is ever read).
bool readWholeFile(const QString& path, QByteArray* bytes, FileFailure* failure = nullptr);

// Replaces the file at `path` (or creates it) with exactly `bytes`, through a temporary file renamed over the old
// one only once it is complete: on any failure the old file stays byte for byte and no temporary file is left.
// A folder, a special file, a read-only file or a loop of links is refused; a link to a regular file replaces its
// target.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, FileFailure* failure = nullptr);

// True when both paths reach one existing file (same device and inode), whatever links or spellings lead there.
bool isSameFile(const QString& first, const QString& second);
