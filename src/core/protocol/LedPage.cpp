// The preview's page from the transmission's own filter, so that every preview shows what the sign gets.
#include "core/protocol/LedPage.h"

#include "core/protocol/PageNotes.h"
#include "core/protocol/SignProtocol.h"

#include <algorithm>

namespace led
{
namespace
{
QByteArray centredLine(const QString& text)
{
    const int pad = (LineChars - int(text.size())) / 2;
    return QByteArray(pad, ' ') + text.toLatin1() + QByteArray(LineChars - pad - int(text.size()), ' ');
}
} // namespace

SignPage signPageOf(const QString& text, int effect, int pause, int align)
{
    const LineOnSign line = signLineOf(text, effect, align);
    SignPage out;
    out.page.effect = effect;
    out.page.pause = std::clamp(pause + 1, 1, signproto::MaxPause);
    out.page.bytes = line.line.toLatin1();
    out.page.marked = line.marked;
    out.cut = line.cut;
    out.note = line.changes.join(QStringLiteral("\n"));
    return out;
}

Page pageAt(Page page, const QDateTime& now)
{
    const signproto::Entrance entrance = signproto::effectOf(page.effect).entrance;
    if (entrance == signproto::Entrance::Time)
        page.bytes = centredLine(now.toString(QStringLiteral("HH:mm:ss")));
    else if (entrance == signproto::Entrance::Date)
        page.bytes = centredLine(now.toString(QStringLiteral("dd/MM/yy")));
    if (signproto::isClock(page.effect))
        page.marked.clear();
    return page;
}

Bitmap stillImage(const Page& page)
{
    return signproto::effectOf(page.effect).entrance == signproto::Entrance::Scroll
               ? lineBitmap(page)
               : renderFrame(page, animationFrames(page) - 1);
}
} // namespace led
