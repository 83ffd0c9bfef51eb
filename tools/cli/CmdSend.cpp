// "tivor-cli send" and "tivor-cli clock": a message file or the computer's clock to the sign, paced like
// the program's send dialogs.
#include "Cli.h"
#include "CliFiles.h"
#include "CliSend.h"

#include "core/model/Message.h"
#include "core/platform/Clock.h"
#include "core/protocol/MessageBuilder.h"
#include "core/settings/LineSettings.h"

namespace cli
{
namespace
{
const QString portHelp = QStringLiteral(
    "\nPuerto, velocidad y demoras: por omision los de la configuracion de Tivor. Las demoras se escriben\n"
    "exactamente como en la lista: --dy1 10, 25, 50, 100 ... 500; --dy2 01, 02, 05, 10 ... 90.\n"
    "Un cartel en la red: --port tcp://EQUIPO:PUERTO (TCP sin traducir; la velocidad no se fija) o\n"
    "--port rfc2217://EQUIPO:PUERTO (telnet RFC 2217, como ser2net); EQUIPO: nombre, IPv4 o IPv6 entre corchetes.\n"
    "Varios --port, o --ports-file, envian a todos los carteles a la vez; si alguno falla, los demas siguen,\n"
    "la salida es la mas grave (130 cancelado, 5 transmision, 4 puerto) y se escribe una linea por puerto.\n"
    "Ctrl-C o SIGTERM cancelan: se termina el byte en curso, se escribe el fin 01 01 y la salida es 130.");
} // namespace

int cmdSend(const QStringList& arguments)
{
    QCommandLineParser parser;
    const Command command{QStringLiteral("send"),
                          QStringLiteral("send [opciones] MENSAJE.mnm"),
                          QStringLiteral("Envia un archivo de mensajes al cartel por el puerto serie, byte por byte.") +
                              portHelp,
                          portOptions(),
                          {QStringLiteral("MENSAJE.mnm")}};
    if (const int status = parseCommand(parser, command, arguments); status >= 0)
        return status;
    QStringList ports;
    LineSettings line;
    if (const int status = applyPortOptions(parser, &ports, &line); status >= 0)
        return status;
    // The whole file is read and checked before the port is touched: a broken file sends nothing.
    const QString path = parser.positionalArguments().at(0);
    Message message;
    if (const int status = loadMessageFile(path, message); status >= 0)
        return status;
    if (!message.hasText())
        return fail(StatusFile,
                    QStringLiteral("%1: Error #21, No Hay mensaje cargado (ninguna pagina tiene texto)").arg(path));
    if (const int cut = bytesLeftOut(message))
        fail(StatusOk, QStringLiteral("%1: %2").arg(path, bytesLeftOutText(cut)));
    return sendBuilt(
        QStringLiteral("Mensaje"), [&message] { return messageTransmission(message); }, ports, line);
}

int cmdClock(const QStringList& arguments)
{
    QCommandLineParser parser;
    // Fixes the moment sent, so the bytes can be checked against a known time.
    QCommandLineOption at(QStringLiteral("ahora"), QStringLiteral("Fecha y hora a enviar (AAAA-MM-DDThh:mm:ss)"),
                          QStringLiteral("FECHA"));
    at.setFlags(QCommandLineOption::HiddenFromHelp);
    const Command command{QStringLiteral("clock"),
                          QStringLiteral("clock [opciones]"),
                          QStringLiteral("Pone el reloj del cartel en la fecha y hora de la computadora.") + portHelp,
                          portOptions() << at,
                          {}};
    if (const int status = parseCommand(parser, command, arguments); status >= 0)
        return status;
    QDateTime when;
    if (parser.isSet(at)) {
        when = QDateTime::fromString(parser.value(at), Qt::ISODate);
        if (!when.isValid())
            return fail(StatusUsage, QStringLiteral("--ahora '%1' no es una fecha valida").arg(parser.value(at)));
    }
    QStringList ports;
    LineSettings line;
    if (const int status = applyPortOptions(parser, &ports, &line); status >= 0)
        return status;
    return sendBuilt(
        QStringLiteral("Hora y fecha"),
        [when] { return dateTransmission(when.isValid() ? when : platform::SystemClock().now()); }, ports, line);
}
} // namespace cli
