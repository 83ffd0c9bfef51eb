// Which port a port text names.
#include "core/ports/SignPort.h"

#include "core/ports/NetAddress.h"

#include <QRegularExpression>

namespace
{
// The N-th serial port is this prefix and N less this offset: COM1 on Windows, /dev/ttyS0 elsewhere.
// Constants, not objects: tivor-cli's option texts ask for the form while the program is still starting.
#ifdef Q_OS_WIN
constexpr char NumberedPrefix[] = "COM";
constexpr int NumberOffset = 0;
#else
constexpr char NumberedPrefix[] = "/dev/ttyS";
constexpr int NumberOffset = 1;
#endif

// As "tivor-cli show" shows a control character: "x\x09y".
QString escapedText(const QString& text)
{
    QString shown;
    for (QChar c : text)
        shown +=
            c.unicode() < 0x20 || c.unicode() == 0x7F
                ? QStringLiteral("\\x") + QString::number(c.unicode(), 16).toUpper().rightJustified(2, QLatin1Char('0'))
                : QString(c);
    return QLatin1Char('"') + shown + QLatin1Char('"');
}
} // namespace

bool SignPort::isPortNumber(const QString& port)
{
    const QString t = port.trimmed();
    if (t.isEmpty())
        return false;
    for (QChar c : t)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

bool SignPort::isNetPort(const QString& port)
{
    const QString t = port.trimmed();
    return t.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive) ||
           t.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive);
}

QString SignPort::textFault(const QString& port)
{
    const QString t = port.trimmed();
    // No device or host has such a name; passed on, the system takes the text cut at a NUL (Qt warns of
    // a broken file name) and a lock file would be left under the cut name.
    for (QChar c : t)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QStringLiteral("%1 no es un puerto (tiene un caracter de control)").arg(escapedText(t));
    const QString form = QStringLiteral(" (se espera tcp://EQUIPO:PUERTO o rfc2217://EQUIPO:PUERTO)");
    // Two letters at least: "C://..." is a Windows drive.
    static const QRegularExpression schemed(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]+)://"));
    const QRegularExpressionMatch m = schemed.match(t);
    if (m.hasMatch() && !isNetPort(t))
        return QStringLiteral("%1: esquema desconocido \"%2\"").arg(t, m.captured(1)) + form;
    if (isNetPort(t)) {
        const std::optional<NetAddress> address = NetAddress::parse(t);
        if (!address || address->port == 0)
            return t + QStringLiteral(": direccion de red no valida") + form;
    }
    return QString();
}

QString SignPort::deviceNameFor(const QString& port)
{
    if (!isPortNumber(port))
        return port;
    bool ok = false;
    const int n = port.trimmed().toInt(&ok);
    if (!ok || n < 1)
        return QString();
    return QLatin1String(NumberedPrefix) + QString::number(n - NumberOffset);
}

QString SignPort::numberedPortForm()
{
    return QLatin1String(NumberedPrefix) +
           (NumberOffset ? QStringLiteral("<N-%1>").arg(NumberOffset) : QStringLiteral("<N>"));
}
