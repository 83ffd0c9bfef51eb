// A pseudo-terminal pair: a program opens the slave path like a serial port, the other side reads the master.
// The virtual sign, the tests and the benchmarks all stand at the sign's end of such a line.
#pragma once

#include <QString>
#include <QtGlobal>

// Whether this system has them (Windows has not: the virtual sign listens on the network there instead).
constexpr bool havePseudoTerminals =
#ifdef Q_OS_UNIX
    true;
#else
    false;
#endif

// Opens a pseudo-terminal in raw mode (no echo, no line editing, no CR/LF translation: every byte as written),
// both ends close-on-exec, the master non-blocking. The slave stays open in `slave`, so the master never sees a
// hang-up while a program opens and closes the device. False, with the reason in Spanish, when it cannot.
bool openRawPty(int* master, int* slave, QString* slavePath, QString* error);

// Reads what is waiting on a non-blocking end into `buf`: the count read, 0 when nothing is waiting now, -1 at
// the end of the line or on an error, with `reason` ("fin" or the system's text).
qint64 readPtyEnd(int fd, char* buf, qint64 size, QString* reason);
// Closes an end opened by openRawPty; -1 is ignored.
void closePtyEnd(int fd);
