// tivor-sign: a virtual LED sign on a pseudo-terminal (or a serial device, or a TCP port), with a window or as text.
#include "SignLine.h"
#include "SignLink.h"
#include "SignOutput.h"
#include "SignWindow.h"
#include "core/platform/Display.h"
#include "core/platform/EndingSignals.h"
#include "core/platform/Program.h"
#include "platform/PseudoTerminal.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <cstdio>

namespace
{
// Where the virtual sign listens when the system has no pseudo-terminals to offer.
const char DefaultListen[] = "tcp://127.0.0.1:2001";

void printLine(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void printError(const QString& text)
{
    std::fprintf(stderr, "tivor-sign: %s\n", text.toUtf8().constData());
}

bool wantsNoWindow(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--headless" || a == "--json" || a == "-h" || a == "--help" || a == "-v" || a == "--version")
            return true;
    }
    return false;
}
} // namespace

int main(int argc, char* argv[])
{
    const bool noWindow = wantsNoWindow(argc, argv);
    if (!noWindow && !platform::hasDisplay()) {
        printError(QStringLiteral(
            "no hay pantalla (DISPLAY no definido). Use --headless o --json para trabajar sin ventana."));
        return 2;
    }
    std::unique_ptr<QCoreApplication> app(noWindow ? new QCoreApplication(argc, argv) : new QApplication(argc, argv));
    QCoreApplication::setApplicationName(QStringLiteral("tivor-sign"));
    QCoreApplication::setApplicationVersion(platform::versionString());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Cartel virtual de Tivor: recibe lo que Tivor envia al cartel y lo muestra.\n") +
        (havePseudoTerminals ? QStringLiteral("Sin opciones crea un pseudo-terminal y un enlace fijo a el; escriba la "
                                              "ruta del enlace\nen el campo Puerto de las opciones de Tivor.")
                             : QStringLiteral("Sin opciones escucha en %1; escriba esa direccion\nen el campo Puerto "
                                              "de las opciones de Tivor.")
                                   .arg(QLatin1String(DefaultListen))));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption linkOption(
        QStringLiteral("link"),
        QStringLiteral("Ruta del enlace al pseudo-terminal (por omision %1).").arg(SignLink::defaultPath()),
        QStringLiteral("ruta"));
    const QCommandLineOption portOption(
        QStringLiteral("port"), QStringLiteral("Escucha en un puerto serie real en lugar de crear un pseudo-terminal."),
        QStringLiteral("dispositivo"));
    const QCommandLineOption listenOption(
        QStringLiteral("listen"),
        QStringLiteral("Cartel en la red: escucha bytes sin traducir en tcp://EQUIPO:PUERTO "
                       "(puerto 0: uno libre). Un emisor a la vez."),
        QStringLiteral("direccion"));
    const QCommandLineOption baudOption(QStringLiteral("baud"),
                                        QStringLiteral("Velocidad del puerto serie (por omision 9600)."),
                                        QStringLiteral("n"), QStringLiteral("9600"));
    const QCommandLineOption headlessOption(
        QStringLiteral("headless"), QStringLiteral("Sin ventana: escribe cada transmision recibida como texto."));
    const QCommandLineOption jsonOption(
        QStringLiteral("json"), QStringLiteral("Sin ventana: escribe un objeto JSON por linea por cada transmision."));
    parser.addOptions({linkOption, portOption, listenOption, baudOption, headlessOption, jsonOption});
    // The parser would answer these itself, but on Windows a program without a console window (started from
    // a service, a script or Wine) gets its answer in a message box that nobody sees: they go to the standard
    // streams here, the same text everywhere. --help-all, with Qt's own options, is still the parser's.
    if (!parser.parse(app->arguments())) {
        std::fputs(qPrintable(QCoreApplication::applicationName() + QStringLiteral(": ") + parser.errorText() + u'\n'),
                   stderr);
        return 1;
    }
    if (parser.isSet(versionOption)) {
        std::fputs(
            qPrintable(QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion() + u'\n'),
            stdout);
        return 0;
    }
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    parser.process(*app);

    const bool json = parser.isSet(jsonOption);
    if (parser.isSet(portOption) + parser.isSet(linkOption) + parser.isSet(listenOption) > 1) {
        printError(QStringLiteral("use solo una de --link, --port y --listen."));
        return 2;
    }
    bool baudOk = false;
    const int baud = parser.value(baudOption).toInt(&baudOk);
    if (!baudOk || baud <= 0) {
        printError(QStringLiteral("velocidad no valida: %1").arg(parser.value(baudOption)));
        return 2;
    }

    // Ctrl-C and the other ending signals end the event loop, so the link is removed on the way out.
    std::atomic<bool> ending{false};
    const platform::EndingSignals endingSignals(ending);
    QObject::connect(&endingSignals, &platform::EndingSignals::arrived, app.get(), &QCoreApplication::quit);

    SignLine line;
    SignLink link;
    QString error;
    // Without pseudo-terminals the sign with no options is a network sign at a fixed address, typed once.
    const bool listen =
        parser.isSet(listenOption) || (!havePseudoTerminals && !parser.isSet(portOption) && !parser.isSet(linkOption));
    const QString listenAddress =
        parser.isSet(listenOption) ? parser.value(listenOption) : QString::fromLatin1(DefaultListen);
    if (parser.isSet(portOption) || listen) {
        if (parser.isSet(portOption) ? !line.openSerial(parser.value(portOption), baud, &error)
                                     : !line.listenTcp(listenAddress, &error)) {
            printError(error);
            return 1;
        }
    } else {
        if (!line.openPty(&error)) {
            printError(error);
            return 1;
        }
        const QString linkPath = parser.isSet(linkOption) ? parser.value(linkOption) : SignLink::defaultPath();
        if (!link.create(linkPath, line.devicePath(), &error)) {
            printError(error);
            return 1;
        }
    }

    std::unique_ptr<SignWindow> window;
    const QString where =
        listen ? QStringLiteral("Puerto para Tivor: %1").arg(line.devicePath())
        : link.path().isEmpty()
            ? QStringLiteral("Puerto: %1 a %2 baudios").arg(line.devicePath()).arg(baud)
            : QStringLiteral("Puerto para Tivor: %1  (enlace a %2)").arg(link.path(), line.devicePath());
    if (json) {
        QJsonObject start{{QStringLiteral("tipo"), QStringLiteral("inicio")},
                          {QStringLiteral("dispositivo"), line.devicePath()}};
        if (!link.path().isEmpty())
            start.insert(QStringLiteral("enlace"), link.path());
        printLine(QString::fromUtf8(QJsonDocument(start).toJson(QJsonDocument::Compact)));
    } else if (noWindow) {
        printLine(QStringLiteral("Cartel virtual escuchando en %1").arg(line.devicePath()));
        if (!link.path().isEmpty())
            printLine(QStringLiteral("Enlace: %1  (escriba esta ruta en el campo Puerto de las opciones de Tivor)")
                          .arg(link.path()));
    } else {
        window = std::make_unique<SignWindow>();
        window->setPortText(where);
        window->logLine(QStringLiteral("Cartel virtual escuchando en %1").arg(line.devicePath()));
        window->show();
    }

    sign::Decoder decoder;
    auto deliver = [&] {
        for (const sign::Event& e : decoder.takeEvents()) {
            if (window)
                window->receive(e);
            else
                printLine(json ? sign::formatJson(e) : sign::formatText(e));
        }
    };
    // The silence check needs a clock only while a transmission is open.
    QTimer silenceTimer;
    silenceTimer.setInterval(250);
    QObject::connect(&silenceTimer, &QTimer::timeout, [&] {
        decoder.poll(line.nowMs());
        deliver();
        if (!decoder.inTransmission())
            silenceTimer.stop();
    });
    QObject::connect(&line, &SignLine::bytesRead, [&](const QByteArray& bytes, qint64 timeMs) {
        decoder.feed(bytes, timeMs);
        deliver();
        if (decoder.inTransmission())
            silenceTimer.start();
    });
    QObject::connect(&line, &SignLine::senderGone, [&](qint64 timeMs) {
        decoder.lineClosed(timeMs);
        deliver();
        silenceTimer.stop();
    });
    QObject::connect(&line, &SignLine::failed, [&](const QString& reason) {
        if (window) {
            window->logLine(QStringLiteral("Error: %1").arg(reason));
        } else {
            printError(reason);
            QCoreApplication::exit(1);
        }
    });

    const int rc = app->exec();
    link.remove();
    return rc;
}
