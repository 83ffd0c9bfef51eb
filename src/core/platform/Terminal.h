// Whether the program's standard streams are a terminal, and drawing on one in place.
#pragma once

namespace platform
{
enum class StdStream { Output, Error };

// True when the stream is a terminal (a console on Windows), not a file or a pipe.
bool isTerminal(StdStream stream);
// Makes the terminal behind `stream` take cursor movement and line clearing (ESC [ n A, ESC [ K); true
// when it does. A console on Windows has to be told; a POSIX terminal does it already.
bool enableCursorEscapes(StdStream stream);
} // namespace platform
