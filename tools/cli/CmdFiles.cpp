// "tivor-cli dump", "import" and "show": transmissions and message files made and listed with the program's
// own reader, import rules, transmission builder and writer.
#include "Cli.h"
#include "CliFiles.h"
#include "core/model/Cp1252.h"

#include "core/files/MessageFile.h"
#include "core/files/OutputFile.h"
#include "core/files/TextImport.h"
#include "core/model/Message.h"
#include "core/platform/Terminal.h"
#include "core/protocol/MessageBuilder.h"
#include "core/protocol/SignProtocol.h"

namespace cli
{
namespace
{
QString codeText(int code)
{
    return QStringLiteral("codigo %1").arg(code);
}

// The effect as the editor's list shows it, "[16]" included: what the operator picks it by.
QString effectShown(int effect)
{
    // The list texts carry trailing blanks ("Hora  "); inner blanks are part of the text as the editor shows it.
    if (effect < signproto::EffectCount)
        return signproto::effectListText(effect).trimmed();
    return codeText(effect);
}

QString pauseName(int pause)
{
    return pause < signproto::PauseList.size() ? signproto::PauseList.at(pause) : codeText(pause);
}

QString alignName(int align)
{
    if (align == AlignLeft)
        return QStringLiteral("izquierda");
    if (align == AlignCenter)
        return QStringLiteral("centrado");
    return codeText(align);
}

// One page per line: a line end or a tab inside a text (a quoted field may span lines) is shown escaped.
QString shownText(const QString& text)
{
    QString shown;
    for (QChar c : text) {
        // C1 controls too: a terminal takes some of them for commands.
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0))
            shown +=
                QStringLiteral("\\x") + QString::number(c.unicode(), 16).toUpper().rightJustified(2, QLatin1Char('0'));
        else
            shown += c;
    }
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

// What comes before the first page record.
const qsizetype headerBytes = messageHeader().size();

// The bytes of each page record of `message`, in slot order, as the builder makes them.
QList<int> recordLengths(const Message& m)
{
    QList<int> lengths;
    for (int page = 1; page <= MaxPages; ++page)
        if (!m.text[page].isEmpty())
            lengths << int(pageRecord(m.text[page], m.effect[page], m.pause[page], m.align[page]).size());
    return lengths;
}

// One line per part of the transmission: offset, bytes in hex, bytes as ASCII ('.' for the others).
QByteArray hexDump(const QByteArray& tx, const QList<int>& recordLengths)
{
    QList<QByteArray> parts{tx.left(headerBytes)};
    const qsizetype bodyEnd = tx.size() - signproto::Terminator.size();
    qsizetype at = headerBytes;
    for (int length : recordLengths) {
        if (at >= bodyEnd)
            break; // cut by the length cap
        parts << tx.mid(at, std::min<qsizetype>(length, bodyEnd - at));
        at += length;
    }
    // The terminator; after the length cap also what was left of the first one (01 01 01).
    parts << tx.mid(std::min(at, bodyEnd));
    // Hex columns line up for records up to the 18 bytes of a 16-character page; longer ones run on.
    qsizetype hexWidth = 0;
    for (const QByteArray& part : parts)
        hexWidth = std::max(hexWidth, std::min<qsizetype>(part.size(), 18) * 3 - 1);
    QByteArray out;
    qsizetype offset = 0;
    for (const QByteArray& part : parts) {
        QByteArray ascii;
        for (char c : part)
            ascii += (uchar(c) >= 0x20 && uchar(c) < 0x7F) ? c : '.';
        out += QByteArray::number(offset, 16).toUpper().rightJustified(4, '0') + "  " +
               part.toHex(' ').toUpper().leftJustified(hexWidth, ' ') + "  |" + ascii + "|\n";
        offset += part.size();
    }
    return out;
}
} // namespace

int cmdDump(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption output(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Escribe en ARCHIVO (completo o nada) en lugar de la salida estandar"),
        QStringLiteral("ARCHIVO"));
    const QCommandLineOption hex(QStringLiteral("hex"),
                                 QStringLiteral("Volcado hexadecimal y ASCII, un registro de pagina por linea"));
    const Command command{QStringLiteral("dump"),
                          QStringLiteral("dump [opciones] MENSAJE.mnm"),
                          QStringLiteral("Escribe la transmision del mensaje tal como la guarda \"Salida.txt\": "
                                         "comilla, los bytes,\ncomilla, retorno de carro y salto de linea."),
                          {output, hex},
                          {QStringLiteral("MENSAJE.mnm")}};
    if (const int status = parseCommand(parser, command, arguments); status >= 0)
        return status;
    if (parser.isSet(output) && parser.value(output).isEmpty())
        return fail(StatusUsage, QStringLiteral("dump: -o vacio: indique el archivo"));
    const QString path = parser.positionalArguments().at(0);
    // Raw sign bytes would garble a terminal (and may switch its modes); whoever wants them there says so.
    if (!parser.isSet(output) && !parser.isSet(hex) && platform::isTerminal(platform::StdStream::Output))
        return fail(StatusUsage, QStringLiteral("dump: la salida estandar es una terminal; use --hex para verla "
                                                "o -o ARCHIVO para guardarla"));
    if (const int status = refuseSameFile(path, parser.value(output)); status >= 0)
        return status;
    Message message;
    if (const int status = loadMessageFile(path, message); status >= 0)
        return status;
    if (!message.hasText())
        return fail(StatusFile,
                    QStringLiteral("%1: Error #21, No Hay mensaje cargado (ninguna pagina tiene texto)").arg(path));

    if (const int cut = bytesLeftOut(message))
        fail(StatusOk, QStringLiteral("%1: %2").arg(path, bytesLeftOutText(cut)));
    const QByteArray tx = messageTransmission(message);
    const QByteArray bytes = parser.isSet(hex) ? hexDump(tx, recordLengths(message)) : salidaLine(tx);
    if (const int status = writeOutput(parser.value(output), bytes); status >= 0)
        return status;
    return StatusOk;
}

int cmdShow(const QStringList& arguments)
{
    QCommandLineParser parser;
    const Command command{QStringLiteral("show"),
                          QStringLiteral("show [opciones] MENSAJE.mnm"),
                          QStringLiteral("Lista las paginas de un archivo de mensajes: numero, efecto, pausa, "
                                         "alineacion y texto."),
                          {},
                          {QStringLiteral("MENSAJE.mnm")}};
    if (const int status = parseCommand(parser, command, arguments); status >= 0)
        return status;
    Message message;
    if (const int status = loadMessageFile(parser.positionalArguments().at(0), message); status >= 0)
        return status;

    QList<QStringList> rows{{QStringLiteral("Pagina"), QStringLiteral("Efecto"), QStringLiteral("Pausa"),
                             QStringLiteral("Alineacion"), QStringLiteral("Texto")}};
    for (int page = 1; page <= MaxPages; ++page) {
        if (!message.text[page].isEmpty())
            rows.append({QString::number(page), effectShown(message.effect[page]), pauseName(message.pause[page]),
                         alignName(message.align[page]), shownText(message.text[page])});
    }
    // Columns as wide as their widest entry; the page number is right-aligned under its heading.
    int widths[4] = {};
    for (const QStringList& row : rows)
        for (int column = 0; column < 4; ++column)
            widths[column] = std::max(widths[column], int(row[column].size()));
    QString text;
    for (const QStringList& row : rows)
        text += QStringLiteral("%1  %2  %3  %4  %5\n")
                    .arg(row[0], widths[0])
                    .arg(row[1], -widths[1])
                    .arg(row[2], -widths[2])
                    .arg(row[3], -widths[3])
                    .arg(row[4]);
    return printOut(text) ? StatusOk : fail(StatusFile, QStringLiteral("no se pudo escribir la salida estandar"));
}

int cmdImport(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("El archivo de mensajes que se crea (obligatorio)"),
                                    QStringLiteral("MENSAJE.mnm"));
    const Command command{QStringLiteral("import"),
                          QStringLiteral("import [opciones] TEXTO.txt -o MENSAJE.mnm"),
                          QStringLiteral("Crea un archivo de mensajes desde un archivo de texto: una pagina por "
                                         "cada linea no vacia, hasta 64,\ncompletada con blancos hasta 16 caracteres, "
                                         "efecto Rotacion, pausa 1, alineada a la izquierda.\n"
                                         "El texto puede estar en UTF-8, en Windows-1252 o en UTF-16 con marca de "
                                         "orden de bytes;\nsin esa marca, cada linea valida en UTF-8 se lee como "
                                         "UTF-8 y las demas como Windows-1252."),
                          {output},
                          {QStringLiteral("TEXTO.txt")}};
    if (const int status = parseCommand(parser, command, arguments); status >= 0)
        return status;
    const QString source = parser.positionalArguments().at(0);
    const QString target = parser.value(output);
    if (target.isEmpty())
        return fail(StatusUsage, QStringLiteral("import: falta -o MENSAJE.mnm, el archivo que se crea"));
    if (const int status = refuseSameFile(source, target); status >= 0)
        return status;

    QStringList pages;
    ImportNotes notes;
    if (FileFailure failure; !readImportFile(source, &pages, &failure, &notes))
        return readFailure(source, failure);
    // The program would save nothing for a message without text; say so rather than leave no file silently.
    if (pages.isEmpty())
        return fail(StatusFile, QStringLiteral("%1: no tiene lineas con texto; no se creo %2").arg(source, target));

    QString error;
    if (!writeMessageFile(target, messageOfPages(pages), &error))
        return fail(StatusFile, QStringLiteral("%1: no se pudo escribir (%2)").arg(target, error));
    if (const QString leftOut = importNotesText(notes); !leftOut.isEmpty())
        fail(StatusOk, QStringLiteral("%1: %2").arg(source, leftOut));
    if (const QString lost = unkeptInMessageFile(pages.join(QString())); !lost.isEmpty())
        fail(StatusOk, QStringLiteral("%1: %2").arg(target, unkeptCharactersText(lost)));
    return StatusOk;
}
} // namespace cli
