// Text and JSON forms of what the virtual sign decoded.
#include "SignOutput.h"

#include "core/protocol/SignProtocol.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace sign
{
namespace
{
QString kindWord(const Transmission& t)
{
    switch (t.kind) {
    case Transmission::Kind::Message:
        return QStringLiteral("mensaje");
    case Transmission::Kind::Clock:
        return QStringLiteral("hora");
    default:
        return QStringLiteral("desconocida");
    }
}

QJsonObject errorJson(const ProtocolError& e)
{
    return QJsonObject{{QStringLiteral("clase"), errorKindName(e.kind)},
                       {QStringLiteral("texto"), e.text},
                       {QStringLiteral("posicion"), double(e.offset)}};
}

QString two(int v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}
} // namespace

QString formatText(const Event& event)
{
    if (!event.isTransmission)
        return QStringLiteral("Error: %1").arg(event.error.text);
    const Transmission& t = event.transmission;
    QStringList lines;
    const QString state = t.complete()   ? QString()
                          : t.accepted() ? QStringLiteral(" (con bytes que el cartel no sabe mostrar)")
                          : t.terminated ? QStringLiteral(" (con errores: el cartel la descarta)")
                                         : QStringLiteral(" (incompleta: el cartel la descarta)");
    if (t.kind == Transmission::Kind::Message) {
        lines << QStringLiteral("Mensaje: %1 paginas, %2 bytes, velocidad %3%4")
                     .arg(t.pages.size())
                     .arg(t.byteCount)
                     .arg(t.speed ? signproto::speedName(t.speed) : QStringLiteral("-"), state);
        for (int i = 0; i < t.pages.size(); ++i) {
            const Page& p = t.pages[i];
            QString line =
                QStringLiteral("  Pagina %1  %2").arg(i + 1, 2).arg(signproto::effectName(p.effect).leftJustified(9));
            line += p.pause ? QStringLiteral("  pausa %1").arg(p.pause) : QString(9, QLatin1Char(' '));
            if (!p.bytes.isEmpty())
                line += QStringLiteral("  |%1|").arg(p.text);
            lines << line.trimmed().prepend(QStringLiteral("  "));
        }
    } else if (t.kind == Transmission::Kind::Clock) {
        lines << (t.clockValid ? clockText(t.clock) : QStringLiteral("Orden de hora")) + state;
    } else {
        lines << QStringLiteral("Transmision con orden desconocida %1%2").arg(hexByte(t.command), state);
    }
    for (const ProtocolError& e : t.errors)
        lines << QStringLiteral("  Error: %1").arg(e.text);
    return lines.join(QLatin1Char('\n'));
}

QJsonObject toJson(const Event& event)
{
    if (!event.isTransmission) {
        QJsonObject o = errorJson(event.error);
        o.insert(QStringLiteral("tipo"), QStringLiteral("error"));
        return o;
    }
    const Transmission& t = event.transmission;
    QJsonObject o{{QStringLiteral("tipo"), kindWord(t)},
                  {QStringLiteral("bytes"), double(t.byteCount)},
                  {QStringLiteral("transmision_hex"), QString::fromLatin1(t.raw.toHex())},
                  {QStringLiteral("duracion_ms"), double(t.lastByteMs - t.firstByteMs)},
                  {QStringLiteral("terminada"), t.terminated},
                  {QStringLiteral("completa"), t.complete()},
                  {QStringLiteral("aceptada"), t.accepted()}};
    if (t.kind == Transmission::Kind::Message) {
        o.insert(QStringLiteral("velocidad"), signproto::speedName(t.speed));
        QJsonArray pages;
        for (int i = 0; i < t.pages.size(); ++i) {
            const Page& p = t.pages[i];
            QJsonObject jp{{QStringLiteral("pagina"), i + 1},
                           {QStringLiteral("efecto"), signproto::effectName(p.effect)},
                           {QStringLiteral("posicion_efecto"), p.effect},
                           {QStringLiteral("codigo"), hexByte(p.code)},
                           {QStringLiteral("texto"), p.text},
                           {QStringLiteral("bytes_hex"), QString::fromLatin1(p.bytes.toHex(' '))}};
            if (p.pause)
                jp.insert(QStringLiteral("pausa"), p.pause);
            pages.append(jp);
        }
        o.insert(QStringLiteral("paginas"), pages);
    } else if (t.kind == Transmission::Kind::Clock && t.clockValid) {
        o.insert(QStringLiteral("hora"),
                 QStringLiteral("%1:%2:%3").arg(two(t.clock.hour), two(t.clock.minute), two(t.clock.second)));
        o.insert(QStringLiteral("fecha"),
                 QStringLiteral("%1/%2/%3").arg(two(t.clock.day), two(t.clock.month), two(t.clock.year)));
    } else if (t.kind == Transmission::Kind::Unknown) {
        o.insert(QStringLiteral("orden"), hexByte(t.command));
    }
    QJsonArray errors;
    for (const ProtocolError& e : t.errors)
        errors.append(errorJson(e));
    o.insert(QStringLiteral("errores"), errors);
    return o;
}

QString formatJson(const Event& event)
{
    return QString::fromUtf8(QJsonDocument(toJson(event)).toJson(QJsonDocument::Compact));
}
} // namespace sign
