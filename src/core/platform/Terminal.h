// Whether the program's standard streams are a terminal, and drawing on one in place.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform
{
enum class StdStream { Output, Error };

// True when the stream is a terminal (a console on Windows), not a file or a pipe.
bool isTerminal(StdStream stream);
// Makes the terminal behind `stream` take cursor movement and line clearing (ESC [ n A, ESC [ K); true
// when it does. A console on Windows has to be told; a POSIX terminal does it already.
bool enableCursorEscapes(StdStream stream);
// The rows of the terminal (the console window on Windows) behind `stream`; 0 when it is none or does not say.
int terminalRows(StdStream stream);
// Makes the C library's stdin, stdout and stderr carry bytes unchanged, so a program's output is the same
// bytes everywhere. On Windows they are text streams that write "\n" as "\r\n"; POSIX streams already are.
// On Windows a console behind them is also told to show UTF-8 (see standardStreamText), until the program
// ends.
void useBinaryStandardStreams();
// The bytes that stand for `text` on the standard streams: the locale's encoding on POSIX, UTF-8 on
// Windows, where the ANSI code page could not carry every name and a pipe or a file gets what Linux gives.
QByteArray standardStreamText(const QString& text);
} // namespace platform
