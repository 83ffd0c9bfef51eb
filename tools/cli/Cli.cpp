// Parsing of the command line into a subcommand, help and version texts, and the shared output helpers.
#include "Cli.h"

#include "core/model/Message.h"
#include "core/platform/Program.h"
#include "core/platform/Terminal.h"
#include "core/settings/LineSettings.h"

#include <QCoreApplication>
#include <QTranslator>
#include <cstdio>

namespace cli
{
namespace
{
// QCommandLineParser reports its errors in English; the program speaks Spanish without accents.
class ParserTexts : public QTranslator
{
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* disambiguation, int n) const override
    {
        Q_UNUSED(disambiguation);
        Q_UNUSED(n);
        if (qstrcmp(context, "QCommandLineParser") != 0)
            return QString();
        static const struct
        {
            const char* english;
            const char* spanish;
        } texts[] = {
            {"Missing value after '%1'.", "falta el valor de la opcion '%1'"},
            {"Unexpected value after '%1'.", "la opcion '%1' no lleva valor"},
        };
        for (const auto& t : texts)
            if (qstrcmp(sourceText, t.english) == 0)
                return QString::fromLatin1(t.spanish);
        return QString();
    }
};

using Handler = int (*)(const QStringList&);
struct Entry
{
    const char* name;
    const char* synopsis;
    const char* summary;
    Handler handler;
    bool readsSettings = false;
};
const Entry commands[] = {
    {"send", "send MENSAJE.mnm", "Envia un archivo de mensajes al cartel", cmdSend, true},
    {"clock", "clock", "Pone el reloj del cartel en la hora de la computadora", cmdClock, true},
    {"dump", "dump MENSAJE.mnm", "Escribe la transmision de un mensaje como en \"Salida.txt\"", cmdDump},
    {"import", "import TEXTO.txt -o MENSAJE.mnm", "Crea un archivo de mensajes desde un archivo de texto", cmdImport},
    {"show", "show MENSAJE.mnm", "Lista las paginas de un archivo de mensajes", cmdShow},
    {"ports", "ports", "Lista los puertos serie encontrados", cmdPorts},
};

QString optionLine(const QCommandLineOption& option)
{
    QStringList names;
    for (const QString& name : option.names())
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    QString left = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
        left += QStringLiteral(" ") + option.valueName();
    return QStringLiteral("  %1  %2\n").arg(left, -26).arg(option.description());
}

QString mainHelp()
{
    QString text = QStringLiteral("Uso: tivor-cli COMANDO [opciones] [argumentos]\n"
                                  "Carga mensajes en carteles Tivor desde la linea de comandos.\n\nComandos:\n");
    for (const Entry& e : commands)
        text +=
            QStringLiteral("  %1  %2\n").arg(QString::fromLatin1(e.synopsis), -32).arg(QString::fromLatin1(e.summary));
    text += QStringLiteral("\nOpciones:\n");
    text += optionLine(
        QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Muestra esta ayuda")));
    text += optionLine(
        QCommandLineOption({QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Muestra la version")));
    text += QStringLiteral("\n\"tivor-cli COMANDO --help\" muestra las opciones de cada comando.\n"
                           "Estados de salida: 0 bien, 2 uso incorrecto, 3 archivo, 4 puerto serie, 5 transmision, "
                           "130 cancelado.\n");
    return text;
}

// Qt names an unknown option without its dashes; the user typed them, so show them.
QString parseError(const QCommandLineParser& parser)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (unknown.isEmpty())
        return parser.errorText();
    const QString name = unknown.first();
    return QStringLiteral("opcion desconocida '%1%2'")
        .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name);
}

QString versionText()
{
    return QStringLiteral("tivor-cli %1 (Tivor %2)\n")
        .arg(platform::versionString(), versionTextFor(platform::versionMajor(), platform::versionRevision()));
}
} // namespace

int fail(int status, const QString& message)
{
    const QByteArray line = platform::standardStreamText(QStringLiteral("tivor-cli: %1\n").arg(message));
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
    return status;
}

bool printOut(const QString& text)
{
    const QByteArray bytes = platform::standardStreamText(text);
    const bool written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    return std::fflush(stdout) == 0 && written;
}

int parseCommand(QCommandLineParser& parser, const Command& command, const QStringList& arguments)
{
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Muestra esta ayuda"));
    parser.addOptions(command.options);
    parser.addOption(help);
    if (!parser.parse(arguments))
        return fail(StatusUsage, command.name + QStringLiteral(": ") + parseError(parser));
    if (parser.isSet(help)) {
        QString text = QStringLiteral("Uso: tivor-cli %1\n%2\n\nOpciones:\n").arg(command.usage, command.description);
        for (const QCommandLineOption& option : command.options)
            if (!(option.flags() & QCommandLineOption::HiddenFromHelp))
                text += optionLine(option);
        text += optionLine(help);
        return printOut(text) ? StatusOk : StatusFile;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() < command.positionalNames.size())
        return fail(StatusUsage, QStringLiteral("%1: falta el argumento %2 (ver tivor-cli %1 --help)")
                                     .arg(command.name, command.positionalNames.at(positional.size())));
    if (positional.size() > command.positionalNames.size())
        return fail(StatusUsage, QStringLiteral("%1: argumento de mas: '%2'")
                                     .arg(command.name, positional.at(command.positionalNames.size())));
    return -1;
}

int run(const QStringList& arguments)
{
    static ParserTexts spanish;
    QCoreApplication::installTranslator(&spanish);

    QCommandLineParser parser;
    // Everything after the subcommand's name belongs to the subcommand's own parser.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Muestra esta ayuda"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Muestra la version"));
    parser.addOptions({help, version});
    if (!parser.parse(arguments))
        return fail(StatusUsage, parseError(parser) + QStringLiteral(" (ver tivor-cli --help)"));
    if (parser.isSet(help))
        return printOut(mainHelp()) ? StatusOk : StatusFile;
    if (parser.isSet(version))
        return printOut(versionText()) ? StatusOk : StatusFile;

    const QStringList rest = parser.positionalArguments();
    if (rest.isEmpty()) {
        const QByteArray text = platform::standardStreamText(mainHelp());
        std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
        return StatusUsage;
    }
    for (const Entry& e : commands) {
        if (rest.first() != QLatin1String(e.name))
            continue;
        // Said before anything else: otherwise the first sign of it is an error naming a port nobody chose.
        if (const QString problem = userSettings().readProblem(); e.readsSettings && !problem.isEmpty())
            fail(StatusOk, QStringLiteral("no se pudieron leer las opciones guardadas (%1); se usan los valores por "
                                          "omision")
                               .arg(problem));
        return e.handler(rest);
    }
    return fail(StatusUsage, QStringLiteral("comando desconocido: '%1' (ver tivor-cli --help)").arg(rest.first()));
}
} // namespace cli
