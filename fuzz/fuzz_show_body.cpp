// Fuzzes the show request's bodies: any bytes, read as JSON or as text, are taken or refused with a status and a
// Spanish detail, and the pages taken are given back by pagesJson, written as the server writes JSON, as a body
// that reads to the same message.
#include "JsonText.h"
#include "ShowBody.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>
#include <cstdlib>

namespace
{
// A refusal is the client's fault, and says why.
void checkRefusal(const BodyFault& fault)
{
    if ((fault.status != 400 && fault.status != 422) || fault.detail.isEmpty())
        std::abort();
}

bool samePages(const Message& a, const Message& b)
{
    for (int page = 0; page <= MaxPages; ++page)
        if (a.text[page] != b.text[page] || a.effect[page] != b.effect[page] || a.pause[page] != b.pause[page] ||
            a.align[page] != b.align[page])
            return false;
    return a.count == b.count;
}

// A message taken has from 1 to 64 pages, all of them with text, which pagesJson gives back as a body that
// reads to the same pages.
void checkTaken(const Message& message)
{
    if (message.count < 1 || message.count > MaxPages)
        std::abort();
    for (int page = 1; page <= message.count; ++page)
        if (message.text[page].isEmpty())
            std::abort();
    QJsonArray pages;
    int page = 0;
    if (!pagesJson(message, &pages, &page) || pages.size() != message.count)
        std::abort();
    const QByteArray body = jsonBytes(QJsonDocument(QJsonObject{{QStringLiteral("pages"), pages}}));
    Message again;
    if (messageFromBody(body, &again).status != 0 || !samePages(message, again))
        std::abort();
    if (const BodyFault cut = lengthFault(message); cut.status)
        checkRefusal(cut);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    Message message;
    QString stored;
    const bool named = QJsonDocument::fromJson(body).object().contains(QStringLiteral("message"));
    if (const BodyFault fault = messageFromBody(body, &message, &stored); fault.status)
        checkRefusal(fault);
    else if (!named)
        checkTaken(message);
    // Without a stored message's name to take, "message" is one more key a page does not have.
    Message page;
    if (const BodyFault fault = messageFromBody(body, &page); fault.status)
        checkRefusal(fault);
    else if (named || !samePages(page, message))
        std::abort();
    Message text;
    if (const BodyFault fault = messageFromText(body, &text); fault.status)
        checkRefusal(fault);
    else
        checkTaken(text);
    return 0;
}
