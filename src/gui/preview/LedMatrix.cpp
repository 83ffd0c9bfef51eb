// The LED matrix widget: a timer only while something moves, nothing at all while hidden.
#include "gui/preview/LedMatrix.h"

#include "core/platform/Clock.h"
#include "core/protocol/SignProtocol.h"

#include <QPainter>
#include <QPainterPath>

namespace
{
constexpr int MarginDots = 1;
const QColor kBackground(0, 0, 0);
const QColor kDotColors[3] = {QColor(48, 10, 8), QColor(255, 40, 20), QColor(255, 176, 0)};

QByteArray centredLine(const QString& text)
{
    const int pad = (led::LineChars - int(text.size())) / 2;
    return QByteArray(pad, ' ') + text.toLatin1() + QByteArray(led::LineChars - pad - int(text.size()), ' ');
}
} // namespace

LedMatrix::LedMatrix(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    frameTimer_.setInterval(led::FrameMs);
    frameTimer_.setTimerType(Qt::PreciseTimer);
    holdTimer_.setSingleShot(true);
    clockTimer_.setInterval(1000);
    connect(&frameTimer_, &QTimer::timeout, this, &LedMatrix::nextFrame);
    connect(&holdTimer_, &QTimer::timeout, this, &LedMatrix::endOfHold);
    connect(&clockTimer_, &QTimer::timeout, this, &LedMatrix::refreshClock);
}

void LedMatrix::setPages(const QList<led::Page>& pages)
{
    pages_ = pages;
    startPage(0);
}

void LedMatrix::setClockOffsetMs(qint64 ms)
{
    clockOffsetMs_ = ms;
    refreshClock();
}

void LedMatrix::setComputerClock(const platform::Clock& clock)
{
    computerClock_ = &clock;
    refreshClock();
}

QDateTime LedMatrix::clockNow() const
{
    return computerClock_->now().addMSecs(clockOffsetMs_);
}

void LedMatrix::setCutMarker(bool on)
{
    if (cutMarker_ == on)
        return;
    cutMarker_ = on;
    update();
}

led::Page LedMatrix::pageForShow(int index) const
{
    led::Page p = pages_.value(index);
    const signproto::Entrance entrance = signproto::effectOf(p.effect).entrance;
    if (entrance == signproto::Entrance::Time)
        p.bytes = centredLine(clockNow().toString(QStringLiteral("HH:mm:ss")));
    else if (entrance == signproto::Entrance::Date)
        p.bytes = centredLine(clockNow().toString(QStringLiteral("dd/MM/yy")));
    if (signproto::isClock(p.effect))
        p.marked.clear();
    return p;
}

void LedMatrix::stopTimers()
{
    frameTimer_.stop();
    holdTimer_.stop();
    clockTimer_.stop();
}

void LedMatrix::startPage(int index)
{
    stopTimers();
    pageIndex_ = pages_.isEmpty() ? 0 : index % int(pages_.size());
    frame_ = 0;
    if (pages_.isEmpty()) {
        shown_ = led::Page{};
        bitmap_ = led::Bitmap{};
        update();
        return;
    }
    shown_ = pageForShow(pageIndex_);
    bitmap_ = led::renderFrame(shown_, 0);
    update();
    emit pageStarted(pageIndex_);
    if (!isVisible())
        return; // shown again later: showEvent starts the page afresh
    if (led::animationFrames(shown_) > 1)
        frameTimer_.start();
    else
        nextFrame();
}

void LedMatrix::nextFrame()
{
    const int frames = led::animationFrames(shown_);
    if (frame_ < frames - 1) {
        ++frame_;
        bitmap_ = led::renderFrame(shown_, frame_);
        update();
    }
    if (frame_ < frames - 1)
        return;
    frameTimer_.stop();
    holdTimer_.start(std::max(led::holdMs(shown_), led::FrameMs));
    if (signproto::isClock(shown_.effect))
        clockTimer_.start();
}

void LedMatrix::endOfHold()
{
    startPage(pageIndex_ + 1);
}

void LedMatrix::refreshClock()
{
    if (pages_.isEmpty() || !signproto::isClock(shown_.effect))
        return;
    shown_ = pageForShow(pageIndex_);
    bitmap_ = led::renderFrame(shown_, frame_);
    update();
}

void LedMatrix::showStill()
{
    if (pages_.isEmpty())
        return;
    stopTimers();
    frame_ = led::animationFrames(shown_) - 1;
    // A scrolling text has no still image of its own: show its start as the line would.
    bitmap_ = signproto::effectOf(shown_.effect).entrance == signproto::Entrance::Scroll
                  ? led::lineBitmap(shown_)
                  : led::renderFrame(shown_, frame_);
    update();
}

QSize LedMatrix::sizeHint() const
{
    return QSize((led::Columns + 2 * MarginDots) * 8, heightForWidth((led::Columns + 2 * MarginDots) * 8));
}

QSize LedMatrix::minimumSizeHint() const
{
    return QSize((led::Columns + 2 * MarginDots) * 3, (led::Rows + 2 * MarginDots) * 3);
}

int LedMatrix::heightForWidth(int w) const
{
    const int pitch = std::max(2, w / (led::Columns + 2 * MarginDots));
    return pitch * (led::Rows + 2 * MarginDots);
}

void LedMatrix::resizeEvent(QResizeEvent*)
{
    pitch_ = 0;
}

void LedMatrix::showEvent(QShowEvent*)
{
    startPage(pageIndex_);
}

void LedMatrix::hideEvent(QHideEvent*)
{
    stopTimers();
}

void LedMatrix::paintEvent(QPaintEvent*)
{
    const int pitch =
        std::max(2, std::min(width() / (led::Columns + 2 * MarginDots), height() / (led::Rows + 2 * MarginDots)));
    if (pitch != pitch_) {
        pitch_ = pitch;
        const qreal dpr = devicePixelRatioF();
        for (int i = 0; i < 3; ++i) {
            QPixmap pm(QSize(pitch, pitch) * dpr);
            pm.setDevicePixelRatio(dpr);
            pm.fill(kBackground);
            QPainter p(&pm);
            p.setPen(Qt::NoPen);
            p.setBrush(kDotColors[i]);
            if (pitch < 5) {
                // Too small for a round dot to read as one: a square with a gap.
                p.drawRect(QRect(0, 0, pitch - 1, pitch - 1));
            } else {
                p.setRenderHint(QPainter::Antialiasing);
                const qreal d = pitch * 0.78;
                p.drawEllipse(QRectF((pitch - d) / 2, (pitch - d) / 2, d, d));
            }
            dotPixmaps_[i] = pm;
        }
    }
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    const int left = (width() - led::Columns * pitch) / 2;
    const int top = (height() - led::Rows * pitch) / 2;
    for (int y = 0; y < led::Rows; ++y)
        for (int x = 0; x < led::Columns; ++x)
            p.drawPixmap(left + x * pitch, top + y * pitch, dotPixmaps_[bitmap_.at(x, y)]);
    if (cutMarker_) {
        // An amber arrow past the last column: there is more text that the sign will not get.
        const qreal cx = left + led::Columns * pitch + pitch * 0.3;
        const qreal cy = top + led::Rows * pitch / 2.0;
        const qreal s = std::max<qreal>(pitch * 0.9, 5);
        QPainterPath arrow;
        arrow.moveTo(cx, cy - s);
        arrow.lineTo(cx + s * 0.7, cy);
        arrow.lineTo(cx, cy + s);
        arrow.closeSubpath();
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(arrow, kDotColors[led::Marked]);
    }
}
