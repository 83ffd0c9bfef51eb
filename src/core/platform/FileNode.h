// What the file system says of a path: opening one that may be a pipe or a device without waiting on it,
// what kind of node a non-file is, and whether two paths are one file.
#pragma once

#include <QByteArray>
#include <QString>

class QFile;

namespace platform
{
struct ReadOpening
{
    enum Result {
        Opened,    // `file` is open; reads wait for their bytes as usual
        Missing,   // nothing at the path
        Folder,    // the path is a folder
        Refused,   // cannot be opened, or is a pipe nobody writes to: `reason` says why
        ReadError, // a pipe failed when looked at: `reason` says why
    };
    Result result = Refused;
    QString reason;
    QByteArray first; // what a pipe gave while it was looked at: the start of its bytes
};

// Opens `path` for reading into `file` without ever waiting on the open: a FIFO nobody writes to would hold
// it (and the program) forever, so it is refused at once instead.
ReadOpening openForReading(const QString& path, QFile& file);

// What an existing node that is neither a file nor a folder is: "una FIFO", "un dispositivo", "un socket",
// else "un archivo especial".
QString specialFileKind(const QString& path);

// True when both paths reach one existing file, whatever links or spellings lead there (the device and
// inode; on Windows the volume serial number and the file index).
bool isSameFile(const QString& first, const QString& second);
} // namespace platform
