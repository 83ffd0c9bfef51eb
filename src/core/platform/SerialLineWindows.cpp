// The serial line on Windows, through the plain comm calls on a handle opened without overlapped I/O.
// QSerialPort opens every port for overlapped reading and arms an event wait at each open; Tivor never
// reads, and under Wine that wait blocks and the open is refused where the line has no modem lines.
#include "core/platform/SerialLine.h"

#include <algorithm>
#include <string>
#include <windows.h>

namespace platform
{
namespace
{
QString systemText(DWORD code)
{
    return qt_error_string(int(code));
}

BYTE parityOf(char parity)
{
    switch (parity) {
    case 'E':
        return EVENPARITY;
    case 'O':
        return ODDPARITY;
    case 'M':
        return MARKPARITY;
    case 'S':
        return SPACEPARITY;
    default:
        return NOPARITY;
    }
}

BYTE stopBitsOf(int stopBits)
{
    return stopBits == 3 ? ONE5STOPBITS : stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
}

// "COM3" as the system's device path; a path given whole stays as it is.
std::wstring devicePath(const QString& device)
{
    const QString path = device.startsWith(QLatin1String("\\\\")) ? device : QStringLiteral("\\\\.\\") + device;
    return path.toStdWString();
}
} // namespace

struct SerialLine::Device
{
    HANDLE handle = INVALID_HANDLE_VALUE;
    LineSettings settings;
    DWORD writeTimeoutMs = 0; // in force on the open handle
    QString error;

    bool fail(DWORD code)
    {
        error = systemText(code);
        return false;
    }

    // The whole line from the settings: speed, frame and handshake, and modem lines left off unless the
    // handshake drives them.
    bool setUp()
    {
        DCB dcb = {};
        dcb.DCBlength = sizeof(dcb);
        if (!::GetCommState(handle, &dcb))
            return fail(::GetLastError());
        dcb.BaudRate = DWORD(settings.baud);
        dcb.ByteSize = BYTE(settings.dataBits);
        dcb.Parity = parityOf(settings.parity);
        dcb.StopBits = stopBitsOf(settings.stopBits);
        dcb.fBinary = TRUE;
        dcb.fParity = settings.parity != 'N';
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fAbortOnError = FALSE;
        dcb.fNull = FALSE;
        const bool software = settings.flow == 1, hardware = settings.flow >= 2;
        dcb.fOutX = dcb.fInX = software;
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        dcb.XonLim = 2048;
        dcb.XoffLim = 512;
        dcb.fOutxCtsFlow = hardware;
        dcb.fRtsControl = hardware ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_DISABLE;
        if (!::SetCommState(handle, &dcb))
            return fail(::GetLastError());
        return true;
    }

    // A write that cannot go out within the limit returns with what went, so a stalled line is told.
    bool limitWrites(int stallMs)
    {
        const DWORD ms = DWORD(std::max(stallMs, 1));
        if (ms == writeTimeoutMs)
            return true;
        COMMTIMEOUTS t = {};
        t.ReadIntervalTimeout = MAXDWORD; // reads, which never come, return at once
        t.WriteTotalTimeoutConstant = ms;
        if (!::SetCommTimeouts(handle, &t))
            return fail(::GetLastError());
        writeTimeoutMs = ms;
        return true;
    }
};

SerialLine::SerialLine() : m_device(std::make_unique<Device>()) {}

SerialLine::~SerialLine()
{
    close();
}

SerialLine::OpenFault SerialLine::open(const QString& device)
{
    // Read access too: a handle opened for writing only is refused the line settings. No sharing: Windows
    // then refuses every other program the port while it is open.
    m_device->handle = ::CreateFileW(devicePath(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_device->handle == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        m_device->fail(code);
        return code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION ? OpenFault::Denied : OpenFault::Other;
    }
    if (!m_device->setUp()) {
        close();
        return OpenFault::Other;
    }
    m_device->writeTimeoutMs = 0;
    m_device->error.clear();
    return OpenFault::None;
}

bool SerialLine::isOpen() const
{
    return m_device->handle != INVALID_HANDLE_VALUE;
}

bool SerialLine::apply(const LineSettings& settings)
{
    const LineSettings before = m_device->settings;
    m_device->settings = settings;
    if (!isOpen() || m_device->setUp())
        return true;
    m_device->settings = before;
    return false;
}

SerialLine::ModemResult SerialLine::setModemLine(bool rts, bool on)
{
    // RTS belongs to the handshake when that is on.
    if (rts && m_device->settings.flow >= 2)
        return ModemResult::Unsupported;
    const DWORD function = rts ? (on ? SETRTS : CLRRTS) : (on ? SETDTR : CLRDTR);
    if (::EscapeCommFunction(m_device->handle, function))
        return ModemResult::Set;
    const DWORD code = ::GetLastError();
    m_device->fail(code);
    // A line without modem lines (Wine on a pseudo-terminal answers so, as Linux does).
    return code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION ? ModemResult::Unsupported
                                                                         : ModemResult::Failed;
}

DeviceWrite SerialLine::write(const char* data, qsizetype size, int stallMs)
{
    if (!m_device->limitWrites(stallMs))
        return DeviceWrite::Failed;
    while (size > 0) {
        DWORD written = 0;
        if (!::WriteFile(m_device->handle, data, DWORD(size), &written, nullptr)) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_SEM_TIMEOUT || code == WAIT_TIMEOUT)
                return DeviceWrite::Stalled;
            m_device->fail(code);
            return DeviceWrite::Failed;
        }
        // The write limit ran out with nothing taken.
        if (written == 0)
            return DeviceWrite::Stalled;
        data += written;
        size -= qsizetype(written);
    }
    return DeviceWrite::Written;
}

DeviceWrite SerialLine::drain(int)
{
    // WriteFile on a handle without overlapped I/O returns once the driver has the bytes: nothing is held
    // on this side. FlushFileBuffers is not the drain: it waits for the wire without any time limit (a
    // line stopped by its handshake would hold the sender for good).
    return isOpen() ? DeviceWrite::Written : DeviceWrite::Failed;
}

WriteTarget SerialLine::batchTarget() const
{
    return {};
}

void SerialLine::close()
{
    if (m_device->handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_device->handle);
    m_device->handle = INVALID_HANDLE_VALUE;
}

QString SerialLine::errorText() const
{
    return m_device->error;
}

void SerialLine::onFailure(std::function<void(const QString&)>)
{
    // Failures show in the writes themselves: nothing runs between them.
}
} // namespace platform
