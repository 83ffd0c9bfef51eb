// Terminals: isatty and the window size on POSIX, the console on Windows.
#include "core/platform/Terminal.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace platform
{
#ifdef Q_OS_WIN
namespace
{
HANDLE handleOf(StdStream stream)
{
    return ::GetStdHandle(stream == StdStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}
} // namespace

bool isTerminal(StdStream stream)
{
    DWORD mode = 0;
    return ::GetConsoleMode(handleOf(stream), &mode) != 0;
}

bool enableCursorEscapes(StdStream stream)
{
    DWORD mode = 0;
    const HANDLE handle = handleOf(stream);
    if (!::GetConsoleMode(handle, &mode))
        return false;
#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) ||
           ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

int terminalRows(StdStream stream)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!::GetConsoleScreenBufferInfo(handleOf(stream), &info))
        return 0;
    return info.srWindow.Bottom - info.srWindow.Top + 1;
}

namespace
{
UINT g_consoleOutputCodePage = 0;

void restoreConsoleOutputCodePage()
{
    ::SetConsoleOutputCP(g_consoleOutputCodePage);
}
} // namespace

void useBinaryStandardStreams()
{
    for (FILE* stream : {stdin, stdout, stderr})
        ::_setmode(::_fileno(stream), _O_BINARY);
    // The console belongs to the command prompt too: it gets its code page back when the program ends.
    if (g_consoleOutputCodePage == 0 && (g_consoleOutputCodePage = ::GetConsoleOutputCP()) != 0 &&
        g_consoleOutputCodePage != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8))
        std::atexit(restoreConsoleOutputCodePage);
}

QByteArray standardStreamText(const QString& text)
{
    return text.toUtf8();
}
#else
bool isTerminal(StdStream stream)
{
    return ::isatty(stream == StdStream::Output ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

bool enableCursorEscapes(StdStream stream)
{
    return isTerminal(stream);
}

int terminalRows(StdStream stream)
{
    winsize size{};
    if (::ioctl(stream == StdStream::Output ? STDOUT_FILENO : STDERR_FILENO, TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_row;
}

void useBinaryStandardStreams() {}

QByteArray standardStreamText(const QString& text)
{
    return text.toLocal8Bit();
}
#endif
} // namespace platform
