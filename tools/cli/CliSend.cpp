// The shared sending part of "send" and "clock".
#include "CliSend.h"

#include "Cli.h"
#include "CliFiles.h"
#include "core/link/PacedSend.h"
#include "core/link/SendDelays.h"
#include "core/link/SerialLink.h"
#include "core/ports/NetAddress.h"
#include "core/ports/SignPort.h"
#include "core/protocol/SignProtocol.h"
#include "core/settings/LineSettings.h"

#include "core/platform/EndingSignals.h"
#include "core/platform/Program.h"
#include "core/platform/SerialDevice.h"
#include "core/platform/Terminal.h"

#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

namespace cli
{
namespace
{

QString minutesAndSeconds(qint64 ms)
{
    const qint64 seconds = (ms + 999) / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// Bar, percent, bytes and time left by the send's delays, with byte `pos` about to go; once the send is `over`,
// `pos` bytes went and no time is left.
QString barText(int pos, const PacedSend& send, bool over = false)
{
    const int length = send.length();
    const int percent = length > 0 ? int(qint64(pos) * 100 / length) : 0;
    const qint64 leftMs = over ? 0
                               : estimatedSendMs(length, send.delayStart(), send.delayChar()) -
                                     estimatedSendMs(pos - 1, send.delayStart(), send.delayChar());
    constexpr int width = 30;
    const int filled = percent * width / 100;
    return QStringLiteral("[%1%2] %3% %4/%5 bytes, quedan %6 ")
        .arg(QString(filled, QLatin1Char('#')), QString(width - filled, QLatin1Char('-')))
        .arg(percent, 3)
        .arg(pos)
        .arg(length)
        .arg(minutesAndSeconds(leftMs));
}

// One line on the terminal, redrawn in place: bar, percent, bytes, time left by the delays in force.
class ProgressBar
{
public:
    ProgressBar(bool enabled, const PacedSend& send) : m_enabled(enabled), m_send(send) { m_clock.start(); }

    // Byte `pos` of the send is about to go.
    void show(int pos)
    {
        if (!m_enabled)
            return;
        // Bytes go out every few milliseconds; redraw when the percent moves, or ten times a second.
        const int length = m_send.length();
        const int percent = length > 0 ? int(qint64(pos) * 100 / length) : 0;
        if (percent == m_lastPercent && m_clock.elapsed() - m_lastDraw < 100 && pos != length)
            return;
        m_lastPercent = percent;
        m_lastDraw = m_clock.elapsed();
        const QByteArray bytes = (QStringLiteral("\r") + barText(pos, m_send)).toLocal8Bit();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
        std::fflush(stderr);
        m_drawn = true;
    }

    // Ends the line so that what follows starts on its own; a send that went whole last showed its last byte
    // still to go, so it is drawn once more as done.
    void finish(bool whole)
    {
        if (!m_drawn)
            return;
        const QByteArray bytes =
            whole ? (QStringLiteral("\r") + barText(m_send.length(), m_send, true)).toLocal8Bit() : QByteArray();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
        std::fputc('\n', stderr);
        m_drawn = false;
    }

private:
    bool m_enabled;
    const PacedSend& m_send;
    bool m_drawn = false;
    int m_lastPercent = -1;
    qint64 m_lastDraw = 0;
    QElapsedTimer m_clock;
};

// One line per sign, the block redrawn in place (cursor up, clear each line) at most ten times a second.
// A sign still sending shows its bar, made only when the block is drawn; one that is done, its result.
// A block taller than the terminal would scroll at every redraw: then the first signs get the rows that fit
// but one, and that one counts the others by how they stand (a row stays free for the cursor).
class ProgressLines
{
public:
    enum State { Sending, Sent, NotSent };

    ProgressLines(bool enabled, const QStringList& names, const PacedSend& send)
        : m_enabled(enabled), m_names(names), m_send(send)
    {
        for (const QString& name : names)
            m_width = std::max(m_width, int(name.size()));
        m_texts.resize(size_t(names.size()));
        m_states.resize(size_t(names.size()), Sending);
        m_positions.resize(size_t(names.size()), -1);
        m_clock.start();
    }

    // What sign `index` shows until it sends, or once it is done.
    void set(int index, const QString& text, State state)
    {
        m_texts[size_t(index)] = text;
        m_states[size_t(index)] = state;
        m_positions[size_t(index)] = -1;
    }

    // Byte `pos` of the send is about to go to this sign.
    void setPosition(int index, int pos)
    {
        m_positions[size_t(index)] = pos;
        if (m_drawnLines > 0 && m_clock.elapsed() - m_lastDraw >= 100)
            draw();
    }

    // The block as it stands, over the one drawn before.
    void draw()
    {
        if (!m_enabled)
            return;
        const int count = int(m_names.size());
        const int rows = platform::terminalRows(platform::StdStream::Error);
        const bool fits = rows <= 0 || count < rows;
        const int shown = fits ? count : std::max(0, rows - 2);
        QString block = m_drawnLines > 0 ? QStringLiteral("\x1b[%1A").arg(m_drawnLines) : QString();
        for (int i = 0; i < shown; ++i) {
            const int pos = m_positions[size_t(i)];
            block += QStringLiteral("\r\x1b[K%1 %2\n")
                         .arg(m_names.at(i), -m_width)
                         .arg(pos >= 0 ? barText(pos, m_send) : m_texts[size_t(i)]);
        }
        if (!fits)
            block += QStringLiteral("\r\x1b[K%1\n").arg(othersText(shown));
        const QByteArray bytes = block.toLocal8Bit();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
        std::fflush(stderr);
        m_drawnLines = shown + !fits;
        m_lastDraw = m_clock.elapsed();
    }

private:
    // The signs from `first` on, counted by state; those sending by the least advanced one's percent.
    QString othersText(int first) const
    {
        int counts[3] = {};
        int least = 100;
        for (int i = first; i < m_names.size(); ++i) {
            ++counts[m_states[size_t(i)]];
            if (m_states[size_t(i)] == Sending && m_send.length() > 0)
                least = std::min(least, int(qint64(std::max(0, m_positions[size_t(i)])) * 100 / m_send.length()));
        }
        QStringList parts;
        if (counts[Sending])
            parts << QStringLiteral("enviando %1 (%2%)").arg(counts[Sending]).arg(least);
        if (counts[Sent])
            parts << QStringLiteral("enviados %1").arg(counts[Sent]);
        if (counts[NotSent])
            parts << QStringLiteral("no enviados %1").arg(counts[NotSent]);
        const qsizetype others = m_names.size() - first;
        return (first > 0 ? QStringLiteral("y %1 carteles mas: ") : QStringLiteral("%1 carteles: ")).arg(others) +
               parts.join(QStringLiteral(", "));
    }

    bool m_enabled;
    QStringList m_names;
    const PacedSend& m_send;
    std::vector<QString> m_texts;
    std::vector<State> m_states;
    std::vector<int> m_positions;
    int m_width = 0;
    int m_drawnLines = 0;
    qint64 m_lastDraw = 0;
    QElapsedTimer m_clock;
};

// Messages name the device the port text stands for ("2" is /dev/ttyS1).
QString deviceOf(const QString& port)
{
    const QString device = SignPort::deviceNameFor(port);
    return device.isEmpty() ? port : device;
}

// The outcome of one sign among several: one result line each, silent when every sign got everything.
int reportMany(const QStringList& ports, const QStringList& names, const std::vector<QString>& openErrors,
               const std::vector<PacedLine>& lines, const PacedSend& send, ProgressLines& progress)
{
    const int count = int(ports.size());
    int status = StatusOk;
    QStringList results;
    for (int i = 0; i < count; ++i) {
        const PacedLine& line = lines[size_t(i)];
        QString outcome;
        int lineStatus = StatusOk;
        if (!line.port) {
            lineStatus = StatusPort;
            outcome = QStringLiteral("%1 (%2)").arg(notOpenedText(ports[i]), openErrors[size_t(i)]);
        } else if (line.outcome == TxOutcome::Cancelled) {
            lineStatus = StatusCancelled;
            outcome = endCancelled(*line.port);
        } else if (line.outcome != TxOutcome::Completed) {
            lineStatus = StatusTransmission;
            outcome = QStringLiteral("%1 (%2)").arg(notSentText(), line.port->errorText());
        } else {
            outcome = QStringLiteral("enviado");
        }
        // The statuses grow with how much is left undone: 4 leaves the sign as it was, 5 may leave it
        // half loaded, 130 says the whole job was stopped.
        status = std::max(status, lineStatus);
        const QString result =
            QStringLiteral("%1; %2 de %3 bytes enviados").arg(outcome).arg(line.sent).arg(send.length());
        if (lineStatus == StatusOk)
            progress.set(i, barText(line.sent, send, true), ProgressLines::Sent);
        else
            progress.set(i, result, ProgressLines::NotSent);
        results << names.at(i) + QStringLiteral(": ") + result;
    }
    // Drawn once every sign has its outcome, so the block left on the terminal is the final one.
    progress.draw();
    // Silent when every sign got everything, as with one sign: cron mails only what went wrong.
    if (status != StatusOk)
        for (const QString& result : results)
            fail(status, result);
    return status;
}

// Every sign's own port, all open before the first byte so that they start together. Network signs connect at
// the same time, each on a thread of its own, so the fleet waits one connect limit at most, not their sum.
std::vector<std::unique_ptr<SignPort>> openPorts(const QStringList& ports, const QString& baud,
                                                 const std::atomic<bool>& cancelled, std::vector<QString>& errors)
{
    std::vector<std::unique_ptr<SignPort>> opened(size_t(ports.size()));
    std::vector<std::unique_ptr<QThread>> connecting;
    QThread* const here = QThread::currentThread();
    for (size_t i = 0; i < opened.size(); ++i) {
        if (!SignPort::isNetPort(ports[qsizetype(i)]))
            continue;
        connecting.emplace_back(QThread::create([&, i] {
            opened[i] = openSignPort(ports[qsizetype(i)], baud, &errors[i]);
            if (opened[i])
                opened[i]->handOverTo(here);
        }));
        connecting.back()->start();
    }
    for (size_t i = 0; i < opened.size(); ++i)
        // Once cancelled, the signs still to open would only delay the end.
        if (!SignPort::isNetPort(ports[qsizetype(i)]) && !cancelled)
            opened[i] = openSignPort(ports[qsizetype(i)], baud, &errors[i]);
    for (const auto& thread : connecting)
        thread->wait();
    return opened;
}

// The outcome of the only sign.
int reportOne(const QString& device, const PacedLine& line, int length)
{
    switch (line.outcome) {
    case TxOutcome::Completed:
        return StatusOk;
    case TxOutcome::Cancelled: {
        const QString sent = QStringLiteral("Mensaje Cancelado... %1 de %2 bytes enviados").arg(line.sent).arg(length);
        return fail(StatusCancelled,
                    sendTerminator(*line.port)
                        ? sent + QStringLiteral(", y el fin 01 01")
                        : sent + QStringLiteral("; el fin 01 01 no se pudo escribir (%1)").arg(line.port->errorText()));
    }
    case TxOutcome::Failed:
    case TxOutcome::Busy:
        break;
    }
    return fail(StatusTransmission, QStringLiteral("%1: %2: %3 de %4 bytes enviados (%5)")
                                        .arg(device, notSentText())
                                        .arg(line.sent)
                                        .arg(length)
                                        .arg(line.port->errorText()));
}

// A delay typed on the command line must be one of its list. A stored one outside it (Opciones stores what
// was typed) is taken as the window takes it: the delay in force stays, in this fresh run the default one.
int checkDelay(const QString& value, const QStringList& accepted, const QString& option, const QString& stored,
               double inForce)
{
    const DelayLookUp delay = lookUpDelay(value, accepted, inForce);
    if (delay.listed)
        return -1;
    const QString listed = accepted.join(QStringLiteral(", "));
    if (stored.isEmpty())
        return fail(StatusUsage,
                    QStringLiteral("%1 '%2' no es una demora aceptada; use una de: %3").arg(option, value, listed));
    // A warning, not a failure: the status fail() returns is not used.
    fail(StatusOk, QStringLiteral("aviso: el valor guardado %1 '%2' no es una demora aceptada; se envia con %3 ms")
                       .arg(stored, value)
                       .arg(qRound(delay.seconds * 1000)));
    return -1;
}

const QCommandLineOption
    portOption({QStringLiteral("p"), QStringLiteral("port")},
               QStringLiteral("Puerto serie: numero N (%1) o ruta del dispositivo").arg(SignPort::numberedPortForm()),
               QStringLiteral("PUERTO"));
const QCommandLineOption portsFileOption(QStringLiteral("ports-file"),
                                         QStringLiteral("Archivo con un puerto por linea (# comentarios); con "
                                                        "--port, se suman"),
                                         QStringLiteral("ARCHIVO"));
const QCommandLineOption baudOption({QStringLiteral("b"), QStringLiteral("baud")},
                                    QStringLiteral("Velocidad en baudios (8 bits, sin paridad, 1 bit de parada)"),
                                    QStringLiteral("BAUDIOS"));
const QCommandLineOption dy1Option(QStringLiteral("dy1"),
                                   QStringLiteral("Demora tras cada uno de los 5 primeros bytes, ms (10 ... 500)"),
                                   QStringLiteral("MS"));
const QCommandLineOption dy2Option(QStringLiteral("dy2"),
                                   QStringLiteral("Demora tras cada byte siguiente, ms (01 ... 90)"),
                                   QStringLiteral("MS"));
} // namespace

QList<QCommandLineOption> portOptions()
{
    return {portOption, portsFileOption, baudOption, dy1Option, dy2Option};
}

namespace
{
// The ports named by --port and --ports-file, in order; -1, or the status to end with.
int namedPorts(const QCommandLineParser& parser, QStringList* ports)
{
    ports->clear();
    for (const QString& port : parser.values(portOption)) {
        if (port.isEmpty())
            return fail(StatusUsage, QStringLiteral("--port vacio: indique un numero de puerto o un dispositivo"));
        ports->append(port);
    }
    if (parser.isSet(portsFileOption)) {
        const QString path = parser.value(portsFileOption);
        QByteArray text;
        FileFailure failure;
        if (!readWholeFile(path, &text, &failure))
            return readFailure(path, failure);
        const qsizetype given = ports->size();
        for (const QByteArray& line : text.split('\n')) {
            const QString port = QString::fromUtf8(line).trimmed();
            if (!port.isEmpty() && !port.startsWith(QLatin1Char('#')))
                ports->append(port);
        }
        if (ports->size() == given)
            return fail(StatusFile,
                        QStringLiteral("%1: no nombra ningun puerto (uno por linea; # comentarios)").arg(path));
    }
    // A text that can name no port is mistyped, not a sign out of reach: nothing is sent to any sign.
    for (const QString& port : std::as_const(*ports))
        if (const QString fault = SignPort::textFault(port); !fault.isEmpty())
            return fail(StatusUsage, fault);
    return -1;
}

// The same device twice, by one text or two (a link, a number), would be refused by the hold of the first; a
// network sign by two spellings of its address would get two copies: a sign gets the message once.
void keepEachSignOnce(QStringList* ports)
{
    ports->removeDuplicates();
    QStringList devices;
    std::vector<std::pair<NetAddress, QList<QHostAddress>>> signs;
    ports->removeIf([&devices, &signs](const QString& port) {
        if (SignPort::isNetPort(port)) {
            const std::optional<NetAddress> address = NetAddress::parse(port);
            if (!address)
                return false;
            const QList<QHostAddress> at = address->addresses();
            for (const auto& [other, otherAt] : signs)
                if (NetAddress::sameSign(*address, at, other, otherAt))
                    return true;
            signs.emplace_back(*address, at);
            return false;
        }
        const QString identity = platform::deviceIdentity(SignPort::deviceNameFor(port));
        if (identity.isEmpty())
            return false;
        if (devices.contains(identity))
            return true;
        devices << identity;
        return false;
    });
}

// --baud, --dy1 and --dy2 over the stored settings in `line`; -1, or the status to end with.
int lineOptions(const QCommandLineParser& parser, LineSettings* line)
{
    if (parser.isSet(baudOption)) {
        line->baud = parser.value(baudOption);
        bool number = false;
        const int baud = line->baud.toInt(&number);
        if (!number || baud <= 0 || line->baud.startsWith(QLatin1Char('+')))
            return fail(StatusUsage, QStringLiteral("--baud '%1' no es una velocidad valida").arg(line->baud));
    }
    const bool storedDY1 = !parser.isSet(dy1Option), storedDY2 = !parser.isSet(dy2Option);
    if (!storedDY1)
        line->dy1 = parser.value(dy1Option);
    if (!storedDY2)
        line->dy2 = parser.value(dy2Option);
    // A fresh run: the delays in force are the defaults.
    const SendDelays inForce;
    if (const int status = checkDelay(line->dy1, signproto::DelayStartList, QStringLiteral("--dy1"),
                                      storedDY1 ? QStringLiteral("DY1") : QString(), inForce.start);
        status >= 0)
        return status;
    return checkDelay(line->dy2, signproto::DelayCharList, QStringLiteral("--dy2"),
                      storedDY2 ? QStringLiteral("DY2") : QString(), inForce.perChar);
}
} // namespace

int applyPortOptions(const QCommandLineParser& parser, QStringList* ports, LineSettings* line)
{
    *line = loadLineSettings(userSettings());
    if (const int status = namedPorts(parser, ports); status >= 0)
        return status;
    keepEachSignOnce(ports);
    if (ports->isEmpty())
        ports->append(line->port);
    line->port = ports->first();
    return lineOptions(parser, line);
}

int sendBuilt(const QString& what, const std::function<QByteArray()>& build, const QStringList& ports,
              const LineSettings& line)
{
    // Installed before the ports are opened, so a Ctrl-C while they open is not lost.
    std::atomic<bool> cancelled = false;
    const platform::EndingSignals endingSignals(cancelled);

    const int count = int(ports.size());
    // A serial sign holds about three descriptors (the device, its lock, the library's own); the process needs a
    // few for itself.
    if (const qint64 files = platform::raiseOpenFilesLimit(); files >= 0 && count * 3 + 16 > files)
        fail(StatusOk, QStringLiteral("aviso: el limite de archivos abiertos (%1) no alcanza para %2 carteles; los "
                                      "que no se puedan abrir se informan")
                           .arg(files)
                           .arg(count));
    QStringList names;
    std::vector<QString> openErrors(static_cast<size_t>(count));
    const std::vector<std::unique_ptr<SignPort>> opened = openPorts(ports, line.baud, cancelled, openErrors);
    std::vector<PacedLine> lines(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        names << deviceOf(ports.at(i));
        lines[size_t(i)].port = opened[size_t(i)].get();
    }
    // Built once every port is open, right before the first byte: the clock's time is read then, not before the
    // network signs took their time to connect.
    const SendDelays delays = DelaysInForce().take(line);
    PacedSend send(build(), delays.start, delays.perChar, &cancelled);
    // A signal cuts a network sign's connecting short, and that failure is the cancel, not the port's.
    if (cancelled)
        return fail(StatusCancelled, cancelledBeforeText(what));
    if (count == 1 && !lines.front().port)
        return fail(StatusPort,
                    QStringLiteral("%1: %2 (%3)").arg(names.front(), notOpenedText(ports.front()), openErrors.front()));

    if (count == 1) {
        ProgressBar bar(platform::isTerminal(platform::StdStream::Error), send);
        send.onProgress([&bar](const PacedLine& line) { bar.show(line.sent + 1); });
        send.run(lines);
        bar.finish(lines.front().sent == send.length());
        return reportOne(names.front(), lines.front(), send.length());
    }
    ProgressLines progress(platform::enableCursorEscapes(platform::StdStream::Error), names, send);
    for (int i = 0; i < count; ++i)
        if (lines[size_t(i)].port)
            progress.set(i, barText(0, send), ProgressLines::Sending);
        else
            progress.set(i, notOpenedText(ports[i]), ProgressLines::NotSent);
    progress.draw();
    send.onProgress([&](const PacedLine& line) { progress.setPosition(int(&line - lines.data()), line.sent + 1); });
    send.run(lines);
    return reportMany(ports, names, openErrors, lines, send, progress);
}
} // namespace cli
