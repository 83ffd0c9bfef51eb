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

// What the command line asked for.
struct Options
{
    bool json = false;
    bool listen = false; // a network sign: at --listen, or by default where there are no pseudo-terminals
    QString listenAddress;
    bool serial = false; // a serial device of its own, `port`; neither: a pseudo-terminal and its link
    QString port;
    QString link;
    int baud = 9600;
};

void addOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Cartel virtual de Tivor: recibe lo que Tivor envia al cartel y lo muestra.\n") +
        (havePseudoTerminals ? QStringLiteral("Sin opciones crea un pseudo-terminal y un enlace fijo a el; escriba la "
                                              "ruta del enlace\nen el campo Puerto de las opciones de Tivor.")
                             : QStringLiteral("Sin opciones escucha en %1; escriba esa direccion\nen el campo Puerto "
                                              "de las opciones de Tivor.")
                                   .arg(QLatin1String(DefaultListen))));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("link"),
         QStringLiteral("Ruta del enlace al pseudo-terminal (por omision %1).").arg(SignLink::defaultPath()),
         QStringLiteral("ruta")},
        {QStringLiteral("port"),
         QStringLiteral("Escucha en un puerto serie real en lugar de crear un pseudo-terminal."),
         QStringLiteral("dispositivo")},
        {QStringLiteral("listen"),
         QStringLiteral("Cartel en la red: escucha bytes sin traducir en tcp://EQUIPO:PUERTO "
                        "(puerto 0: uno libre). Un emisor a la vez."),
         QStringLiteral("direccion")},
        {QStringLiteral("baud"), QStringLiteral("Velocidad del puerto serie (por omision 9600)."), QStringLiteral("n"),
         QStringLiteral("9600")},
        {QStringLiteral("headless"), QStringLiteral("Sin ventana: escribe cada transmision recibida como texto.")},
        {QStringLiteral("json"), QStringLiteral("Sin ventana: escribe un objeto JSON por linea por cada transmision.")},
    });
}

// The options read into `options`; -1 to go on, or the status to end with.
int readOptions(QCoreApplication& app, Options* options)
{
    QCommandLineParser parser;
    addOptions(parser);
    // The parser would answer these itself, but on Windows a program without a console window (started from
    // a service, a script or Wine) gets its answer in a message box that nobody sees: they go to the standard
    // streams here, the same text everywhere. --help-all, with Qt's own options, is still the parser's.
    if (!parser.parse(app.arguments())) {
        std::fputs(qPrintable(QCoreApplication::applicationName() + QStringLiteral(": ") + parser.errorText() + u'\n'),
                   stderr);
        return 1;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::fputs(
            qPrintable(QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion() + u'\n'),
            stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    parser.process(app);
    const bool port = parser.isSet(QStringLiteral("port")), link = parser.isSet(QStringLiteral("link")),
               listen = parser.isSet(QStringLiteral("listen"));
    if (port + link + listen > 1) {
        printError(QStringLiteral("use solo una de --link, --port y --listen."));
        return 2;
    }
    bool baudOk = false;
    options->baud = parser.value(QStringLiteral("baud")).toInt(&baudOk);
    if (!baudOk || options->baud <= 0) {
        printError(QStringLiteral("velocidad no valida: %1").arg(parser.value(QStringLiteral("baud"))));
        return 2;
    }
    options->json = parser.isSet(QStringLiteral("json"));
    // Without pseudo-terminals the sign with no options is a network sign at a fixed address, typed once.
    options->listen = listen || (!havePseudoTerminals && !port && !link);
    options->listenAddress = listen ? parser.value(QStringLiteral("listen")) : QString::fromLatin1(DefaultListen);
    options->serial = port;
    options->port = parser.value(QStringLiteral("port"));
    options->link = link ? parser.value(QStringLiteral("link")) : SignLink::defaultPath();
    return -1;
}

// The line the sign listens on, opened as the options say; false, with the reason, when it cannot be.
bool openLine(const Options& options, SignLine& line, SignLink& link, QString* error)
{
    if (options.listen)
        return line.listenTcp(options.listenAddress, error);
    if (options.serial)
        return line.openSerial(options.port, options.baud, error);
    return line.openPty(error) && link.create(options.link, line.devicePath(), error);
}

// Where the sign listens, said where its user looks: the window, or the first lines of its output.
std::unique_ptr<SignWindow> announce(const Options& options, bool noWindow, const SignLine& line, const SignLink& link)
{
    if (options.json) {
        QJsonObject start{{QStringLiteral("tipo"), QStringLiteral("inicio")},
                          {QStringLiteral("dispositivo"), line.devicePath()}};
        if (!link.path().isEmpty())
            start.insert(QStringLiteral("enlace"), link.path());
        printLine(QString::fromUtf8(QJsonDocument(start).toJson(QJsonDocument::Compact)));
        return nullptr;
    }
    if (noWindow) {
        printLine(QStringLiteral("Cartel virtual escuchando en %1").arg(line.devicePath()));
        if (!link.path().isEmpty())
            printLine(QStringLiteral("Enlace: %1  (escriba esta ruta en el campo Puerto de las opciones de Tivor)")
                          .arg(link.path()));
        return nullptr;
    }
    auto window = std::make_unique<SignWindow>();
    window->setPortText(
        options.listen ? QStringLiteral("Puerto para Tivor: %1").arg(line.devicePath())
        : link.path().isEmpty()
            ? QStringLiteral("Puerto: %1 a %2 baudios").arg(line.devicePath()).arg(options.baud)
            : QStringLiteral("Puerto para Tivor: %1  (enlace a %2)").arg(link.path(), line.devicePath()));
    window->logLine(QStringLiteral("Cartel virtual escuchando en %1").arg(line.devicePath()));
    window->show();
    return window;
}

// What comes down the line, decoded and shown in the window or written out, one event at a time.
class Receiver
{
public:
    Receiver(SignLine& line, SignWindow* window, bool json) : m_window(window), m_json(json)
    {
        // The silence check needs a clock only while a transmission is open.
        m_silence.setInterval(250);
        QObject::connect(&m_silence, &QTimer::timeout, [this, &line] {
            m_decoder.poll(line.nowMs());
            deliver();
            if (!m_decoder.inTransmission())
                m_silence.stop();
        });
        QObject::connect(&line, &SignLine::bytesRead, [this](const QByteArray& bytes, qint64 timeMs) {
            m_decoder.feed(bytes, timeMs);
            deliver();
            if (m_decoder.inTransmission())
                m_silence.start();
        });
        QObject::connect(&line, &SignLine::senderGone, [this](qint64 timeMs) {
            m_decoder.lineClosed(timeMs);
            deliver();
            m_silence.stop();
        });
        QObject::connect(&line, &SignLine::failed, [this](const QString& reason) {
            if (m_window) {
                m_window->logLine(QStringLiteral("Error: %1").arg(reason));
            } else {
                printError(reason);
                QCoreApplication::exit(1);
            }
        });
    }

private:
    void deliver()
    {
        for (const sign::Event& e : m_decoder.takeEvents()) {
            if (m_window)
                m_window->receive(e);
            else
                printLine(m_json ? sign::formatJson(e) : sign::formatText(e));
        }
    }

    sign::Decoder m_decoder;
    QTimer m_silence;
    SignWindow* m_window;
    bool m_json;
};
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
    Options options;
    if (const int status = readOptions(*app, &options); status >= 0)
        return status;

    // Ctrl-C and the other ending signals end the event loop, so the link is removed on the way out.
    std::atomic<bool> ending{false};
    const platform::EndingSignals endingSignals(ending);
    QObject::connect(&endingSignals, &platform::EndingSignals::arrived, app.get(), &QCoreApplication::quit);

    SignLine line;
    SignLink link;
    if (QString error; !openLine(options, line, link, &error)) {
        printError(error);
        return 1;
    }
    const std::unique_ptr<SignWindow> window = announce(options, noWindow, line, link);
    const Receiver receiver(line, window.get(), options.json);
    const int rc = app->exec();
    link.remove();
    return rc;
}
