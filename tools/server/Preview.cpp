// The window's preview texts, from the core, so that the API never tells another story than the window.
#include "Preview.h"

#include "core/files/MessageFile.h"
#include "core/protocol/MessageBuilder.h"
#include "core/protocol/PageNotes.h"
#include "core/protocol/SignProtocol.h"

#include <QJsonArray>

namespace
{
// The sign's codes read back as the characters its font draws for them ("ñ" for 0x15).
QString shownText(const QString& line)
{
    QString shown;
    for (const QChar c : line) {
        const QChar drawn = signproto::charForByte(std::uint8_t(c.unicode()));
        shown += drawn.isNull() ? QChar(u'#') : drawn;
    }
    return shown;
}

QJsonObject pageJson(const Message& message, int at)
{
    // An effect past the list (only a file brings one) goes out as "Estatico", and the window shows it so.
    const int effect = message.effect[at] < signproto::EffectCount ? message.effect[at] : signproto::EffectEstatico;
    const int pause = std::clamp(message.pause[at] + 1, 1, signproto::MaxPause);
    const QString& text = message.text[at];
    const LineOnSign line = signLineOf(text, effect, message.align[at]);
    QJsonArray marked;
    for (const int cell : line.marked)
        marked.append(cell);
    QJsonObject json{{QStringLiteral("page"), at},
                     {QStringLiteral("effect"), signproto::effectName(effect)},
                     {QStringLiteral("marked"), marked},
                     {QStringLiteral("warnings"), QJsonArray::fromStringList(line.changes)},
                     {QStringLiteral("summary"), changesSummary(text, line.cut)},
                     {QStringLiteral("spoken"), spokenLine(text, line.cut, effect, pause, message.align[at])}};
    if (!signproto::isClock(effect))
        json.insert(QStringLiteral("line"), shownText(line.line));
    if (!line.cut.isEmpty())
        json.insert(QStringLiteral("cut"), line.cut);
    return json;
}
} // namespace

QJsonObject previewJson(const Message& message, const SendDelays& delays)
{
    QJsonArray pages;
    QString texts;
    for (int at = 1; at <= MaxPages; ++at) {
        if (message.text[at].isEmpty())
            continue;
        pages.append(pageJson(message, at));
        texts += message.text[at];
    }
    QJsonArray warnings;
    for (const QString& warning :
         {unkeptCharactersText(unkeptInMessageFile(texts)), bytesLeftOutText(bytesLeftOut(message))})
        if (!warning.isEmpty())
            warnings.append(warning);
    const int length = int(messageTransmission(message).size());
    return {{QStringLiteral("pages"), pages},
            {QStringLiteral("warnings"), warnings},
            {QStringLiteral("length"), length},
            {QStringLiteral("ms"), estimatedSendMs(length, delays.start, delays.perChar)},
            {QStringLiteral("delayStartMs"), qRound(delays.start * 1000)},
            {QStringLiteral("delayCharMs"), qRound(delays.perChar * 1000)}};
}
