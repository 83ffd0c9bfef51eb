// The message value's own operations.
#include "core/model/Message.h"

#include <algorithm>

void Message::blankPage(int page)
{
    text[page].clear();
    effect[page] = 0;
    pause[page] = 0;
    align[page] = 0;
}

void Message::clear()
{
    *this = Message();
}

bool Message::hasText() const
{
    return std::any_of(text.begin() + 1, text.end(), [](const QString& t) { return !t.isEmpty(); });
}

void Message::insertPage(int at)
{
    if (count >= MaxPages)
        return;
    for (int i = count; i >= at; --i) {
        text[i + 1] = text[i];
        effect[i + 1] = effect[i];
        pause[i + 1] = pause[i];
        align[i + 1] = align[i];
    }
    blankPage(at);
    ++count;
    modified = true;
}

void Message::deletePage(int at)
{
    if (count < 2)
        return;
    for (int i = at; i <= count - 1; ++i) {
        text[i] = text[i + 1];
        effect[i] = effect[i + 1];
        pause[i] = pause[i + 1];
        align[i] = align[i + 1];
    }
    blankPage(count);
    --count;
    modified = true;
}

QString versionTextFor(int major, int revision)
{
    const QString majorText = major == 0 ? QString() : QString::number(major);
    return QStringLiteral("v") + majorText + QStringLiteral(".") + QString::number(revision);
}

void Message::takePagesOf(const Message& other)
{
    text = other.text;
    effect = other.effect;
    pause = other.pause;
    align = other.align;
}
