// Pages from JSON by the editor's own lists.
#include "ShowBody.h"

#include "JsonText.h"

#include "core/files/TextImport.h"
#include "core/protocol/MessageBuilder.h"
#include "core/protocol/SignProtocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace
{
BodyFault refused(const QString& place, const QString& reason)
{
    return {400, place.isEmpty() ? reason : QStringLiteral("%1: %2").arg(place, reason)};
}

int effectByName(const QString& name)
{
    for (int effect = 0; effect < signproto::EffectCount; ++effect)
        if (name.compare(signproto::effectName(effect), Qt::CaseInsensitive) == 0 ||
            name.compare(signproto::effectListText(effect).trimmed(), Qt::CaseInsensitive) == 0)
            return effect;
    return -1;
}

BodyFault readEffect(const QJsonObject& page, const QString& at, int* effect)
{
    const QJsonValue value = page.value(QStringLiteral("effect"));
    if (value.isUndefined())
        return {};
    *effect = value.isString() ? effectByName(value.toString()) : -1;
    if (*effect < 0)
        return refused(at + QStringLiteral("effect"), QStringLiteral("'%1' no es un efecto; use uno de: %2")
                                                          .arg(value.toVariant().toString(), effectNamesText()));
    return {};
}

BodyFault readPause(const QJsonObject& page, const QString& at, int* pause)
{
    const QJsonValue value = page.value(QStringLiteral("pause"));
    if (value.isUndefined())
        return {};
    const double number = value.toDouble(0);
    if (!value.isDouble() || number != double(int(number)) || number < 1 || number > signproto::MaxPause)
        return refused(at + QStringLiteral("pause"), QStringLiteral("debe ser un numero entero de 1 a 9"));
    *pause = int(number);
    return {};
}

BodyFault readAlign(const QJsonObject& page, const QString& at, int* align)
{
    const QJsonValue value = page.value(QStringLiteral("align"));
    if (value.isUndefined())
        return {};
    if (value == QJsonValue(QStringLiteral("izquierda")))
        *align = AlignLeft;
    else if (value == QJsonValue(QStringLiteral("centrado")))
        *align = AlignCenter;
    else
        return refused(at + QStringLiteral("align"), QStringLiteral("debe ser \"izquierda\" o \"centrado\""));
    return {};
}

BodyFault readPage(const QJsonValue& value, const QString& place, int slot, Message* message)
{
    if (!value.isObject())
        return refused(place, QStringLiteral("cada pagina debe ser un objeto"));
    const QJsonObject page = value.toObject();
    const QString at = place.isEmpty() ? QString() : place + QLatin1Char('.');
    for (auto it = page.begin(); it != page.end(); ++it)
        if (it.key() != QLatin1String("text") && it.key() != QLatin1String("effect") &&
            it.key() != QLatin1String("pause") && it.key() != QLatin1String("align"))
            return refused(at + it.key(), QStringLiteral("clave desconocida; se admiten: text, effect, pause, align"));
    int effect = signproto::EffectRotacion, pause = 1, align = AlignLeft;
    for (const BodyFault& fault :
         {readEffect(page, at, &effect), readPause(page, at, &pause), readAlign(page, at, &align)})
        if (fault.status)
            return fault;
    const QJsonValue text = page.value(QStringLiteral("text"));
    if (!text.isUndefined() && !text.isString())
        return refused(at + QStringLiteral("text"), QStringLiteral("debe ser un texto"));
    // A clock page's text never reaches the sign; the editor puts its placeholder there.
    const QString shown =
        text.toString().isEmpty() && signproto::isClock(effect) ? signproto::placeholderOf(effect) : text.toString();
    if (shown.isEmpty())
        return refused(at + QStringLiteral("text"), QStringLiteral("la pagina no tiene texto"));
    message->text[slot] = shown;
    message->effect[slot] = std::uint8_t(effect);
    message->pause[slot] = std::uint8_t(pause - 1);
    message->align[slot] = std::uint8_t(align);
    return {};
}

BodyFault readPages(const QJsonObject& root, Message* message)
{
    if (!root.contains(QStringLiteral("pages")))
        return readPage(root, QString(), 1, message);
    if (root.size() != 1)
        return refused(QString(), QStringLiteral("con \"pages\" no van otras claves"));
    const QJsonValue pages = root.value(QStringLiteral("pages"));
    if (!pages.isArray() || pages.toArray().isEmpty())
        return refused(QStringLiteral("pages"), QStringLiteral("debe ser una lista de 1 a %1 paginas").arg(MaxPages));
    const QJsonArray list = pages.toArray();
    if (list.size() > MaxPages)
        return {422,
                QStringLiteral("pages: %1 paginas; un mensaje tiene %2 como maximo").arg(list.size()).arg(MaxPages)};
    for (qsizetype i = 0; i < list.size(); ++i)
        if (const BodyFault fault = readPage(list.at(i), QStringLiteral("pages[%1]").arg(i), int(i) + 1, message);
            fault.status)
            return fault;
    return {};
}
} // namespace

BodyFault lengthFault(const Message& message)
{
    if (const int cut = bytesLeftOut(message))
        return {422, bytesLeftOutText(cut)};
    return {};
}

bool pagesJson(const Message& message, QJsonArray* pages, int* page)
{
    for (*page = 1; *page <= MaxPages; ++*page) {
        const int at = *page;
        if (message.text[at].isEmpty())
            continue;
        if (message.effect[at] >= signproto::EffectCount || message.pause[at] >= signproto::MaxPause ||
            (message.align[at] != AlignLeft && message.align[at] != AlignCenter))
            return false;
        pages->append(
            QJsonObject{{QStringLiteral("text"), message.text[at]},
                        {QStringLiteral("effect"), signproto::effectName(message.effect[at])},
                        {QStringLiteral("pause"), message.pause[at] + 1},
                        {QStringLiteral("align"),
                         message.align[at] == AlignCenter ? QStringLiteral("centrado") : QStringLiteral("izquierda")}});
    }
    return true;
}

QString effectNamesText()
{
    QStringList names;
    for (int effect = 0; effect < signproto::EffectCount; ++effect)
        names << signproto::effectName(effect);
    return names.join(QStringLiteral(", "));
}

BodyFault messageFromBody(const QByteArray& body, Message* message, QString* stored)
{
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parse);
    if (parse.error != QJsonParseError::NoError)
        return refused(QString(), QStringLiteral("el cuerpo no es JSON valido (%1, en el caracter %2)")
                                      .arg(jsonErrorText(parse))
                                      .arg(parse.offset));
    if (!document.isObject())
        return refused(QString(), QStringLiteral("el cuerpo debe ser un objeto JSON: una pagina o {\"pages\": [...]}"));
    if (stored && document.object().contains(QStringLiteral("message"))) {
        const QJsonObject root = document.object();
        if (root.size() != 1 || !root.value(QStringLiteral("message")).isString())
            return refused(QStringLiteral("message"), QStringLiteral("debe ser el nombre de un mensaje guardado, sin "
                                                                     "otras claves"));
        *stored = root.value(QStringLiteral("message")).toString();
        return {};
    }
    message->clear();
    if (const BodyFault fault = readPages(document.object(), message); fault.status)
        return fault;
    int count = 0;
    while (count < MaxPages && !message->text[count + 1].isEmpty())
        ++count;
    message->count = std::uint8_t(count);
    message->current = 1;
    return {};
}

BodyFault messageFromText(const QByteArray& body, Message* message)
{
    ImportNotes notes;
    const QStringList pages = importPagesFromBytes(body, &notes);
    if (pages.isEmpty())
        return refused(QString(), QStringLiteral("el texto no tiene lineas con texto"));
    if (notes.linesLeftOut > 0)
        return {422, QStringLiteral("el texto tiene %1 lineas con texto despues de la pagina %2; un mensaje tiene %2 "
                                    "como maximo")
                         .arg(notes.linesLeftOut)
                         .arg(MaxPages)};
    *message = messageOfPages(pages);
    return {};
}
