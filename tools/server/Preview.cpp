// The window's preview texts, from the core, so that the API never tells another story than the window.
#include "Preview.h"

#include "core/files/MessageFile.h"
#include "core/protocol/LedPage.h"
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

// Each row as 96 characters, '0' off, '1' lit, '2' lit and pointed out.
QJsonArray dotRows(const led::Bitmap& dots)
{
    QJsonArray rows;
    for (int y = 0; y < led::Rows; ++y) {
        QString row(led::Columns, u'0');
        for (int x = 0; x < led::Columns; ++x)
            row[x] = QChar(u'0' + dots.at(x, y));
        rows.append(row);
    }
    return rows;
}

// Each row as 24 hex digits, the leftmost column in the first digit's high bit: lit or not, a quarter of the
// still's size, since a scrolling page has a frame for every column it moves.
QJsonArray hexRows(const led::Bitmap& dots)
{
    QJsonArray rows;
    for (int y = 0; y < led::Rows; ++y) {
        QByteArray row(led::Columns / 4, '0');
        for (int x = 0; x < led::Columns; x += 4) {
            int nibble = 0;
            for (int bit = 0; bit < 4; ++bit)
                nibble = nibble << 1 | (dots.at(x + bit, y) != led::Off ? 1 : 0);
            row[x / 4] = "0123456789abcdef"[nibble];
        }
        rows.append(QString::fromLatin1(row));
    }
    return rows;
}

// The dots as the window's preview draws them, its clock read at `now`.
void addDots(QJsonObject* json, const led::Page& editorPage, const QDateTime& now, bool animation)
{
    const led::Page page = led::pageAt(editorPage, now);
    const int frames = led::animationFrames(page);
    json->insert(QStringLiteral("dots"), dotRows(led::stillImage(page)));
    json->insert(QStringLiteral("frames"), frames);
    json->insert(QStringLiteral("frameMs"), led::FrameMs);
    json->insert(QStringLiteral("holdMs"), led::holdMs(page));
    if (!animation)
        return;
    QJsonArray all;
    for (int frame = 0; frame < frames; ++frame)
        all.append(hexRows(led::renderFrame(page, frame)));
    json->insert(QStringLiteral("animation"), all);
}

QJsonObject pageJson(const Message& message, int at, const QDateTime& now, bool animation)
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
    addDots(&json, led::signPageOf(text, effect, message.pause[at], message.align[at]).page, now, animation);
    return json;
}
} // namespace

QJsonObject previewJson(const Message& message, const SendDelays& delays, const QDateTime& now, bool animation)
{
    QJsonArray pages;
    QString texts;
    for (int at = 1; at <= MaxPages; ++at) {
        if (message.text[at].isEmpty())
            continue;
        pages.append(pageJson(message, at, now, animation));
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
