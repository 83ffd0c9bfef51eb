// The notes use the transmission's own filter, so that they never tell of a line the sign does not get.
#include "core/protocol/PageNotes.h"

#include "core/model/Message.h"
#include "core/protocol/Filtro.h"
#include "core/protocol/SignProtocol.h"

namespace
{
// A character as the operator can read it in a note: control characters by name.
QString readable(QChar c)
{
    switch (c.unicode()) {
    case 0x09:
        return QStringLiteral("tabulador");
    case 0x0A:
    case 0x0D:
        return QStringLiteral("salto de linea");
    default:
        break;
    }
    if (c.unicode() < 0x20 || c.isSurrogate() || !c.isPrint())
        return QStringLiteral("U+") + QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0'));
    return QStringLiteral("\"%1\"").arg(c);
}
} // namespace

LineOnSign signLineOf(const QString& text, int effect, int align)
{
    LineOnSign out;
    if (signproto::isClock(effect) || text.isEmpty())
        return out;
    const quint8 width = signproto::effectOf(effect).width;
    out.line = Filtro(text, width, quint8(align));
    const int shift =
        (align == AlignCenter && text.size() < signproto::LineWidth) ? int(signproto::LineWidth - text.size()) / 2 : 0;
    for (const FilterMark& m : filterMarks(text)) {
        if (width && m.index >= signproto::LineWidth)
            break;
        out.marked.append(m.index + shift);
        const QString change =
            m.unmappable ? QStringLiteral("%1 no existe en el cartel: se vera \"#\"").arg(readable(m.original))
                         : QStringLiteral("%1 se vera \"%2\"").arg(readable(m.original), m.shown);
        if (!out.changes.contains(change))
            out.changes << change;
    }
    if (width && text.size() > signproto::LineWidth) {
        out.cut = text.mid(signproto::LineWidth);
        out.changes << QStringLiteral("Con este efecto solo se envian %1 caracteres: no se envia \"%2\"")
                           .arg(QString::number(signproto::LineWidth), out.cut);
    }
    return out;
}

QString changesSummary(const QString& text, const QString& cut)
{
    QStringList brief;
    for (const FilterMark& m : filterMarks(text.left(cut.isEmpty() ? text.size() : signproto::LineWidth))) {
        const QString pair = QStringLiteral("%1 > %2").arg(readable(m.original), m.shown);
        if (!brief.contains(pair))
            brief << pair;
    }
    QString summary;
    if (!brief.isEmpty())
        summary = QStringLiteral("Cambia: ") + brief.join(QStringLiteral(", "));
    if (!cut.isEmpty())
        summary +=
            (summary.isEmpty() ? QString() : QStringLiteral("   ")) + QStringLiteral("No se envia: \"%1\"").arg(cut);
    return summary;
}

QString spokenLine(const QString& text, const QString& cut, int effect, int pause, int align)
{
    QString line = cut.isEmpty() ? text : text.left(signproto::LineWidth);
    const QList<FilterMark> lineMarks = filterMarks(line);
    for (auto m = lineMarks.crbegin(); m != lineMarks.crend(); ++m)
        line.replace(m->index, 1, m->shown);
    if (signproto::isClock(effect))
        return QStringLiteral("El cartel mostrara la %1 de su reloj.").arg(signproto::effectName(effect).toLower());
    if (text.isEmpty())
        return QStringLiteral("Pagina vacia: el cartel no mostrara texto.");
    return QStringLiteral("El cartel mostrara \"%1\" %2, con el efecto %3")
               .arg(line.trimmed(),
                    align == AlignCenter ? QStringLiteral("centrado") : QStringLiteral("a la izquierda"),
                    signproto::effectName(effect)) +
           (signproto::takesPause(effect) ? QStringLiteral(" y pausa %1.").arg(pause) : QStringLiteral("."));
}
