// The LED matrix widget: a timer only while something moves, nothing at all while hidden.
#include "gui/preview/LedMatrix.h"

#include "core/platform/Clock.h"
#include "core/protocol/LedPage.h"
#include "core/protocol/SignProtocol.h"

#include <QPainter>
#include <QPainterPath>

namespace
{
constexpr int MarginDots = 1;
const QColor kBackground(0, 0, 0);
const QColor kDotColors[3] = {QColor(48, 10, 8), QColor(255, 40, 20), QColor(255, 176, 0)};
} // namespace

LedMatrix::LedMatrix(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_frameTimer.setInterval(led::FrameMs);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    m_holdTimer.setSingleShot(true);
    m_clockTimer.setInterval(1000);
    connect(&m_frameTimer, &QTimer::timeout, this, &LedMatrix::nextFrame);
    connect(&m_holdTimer, &QTimer::timeout, this, &LedMatrix::endOfHold);
    connect(&m_clockTimer, &QTimer::timeout, this, &LedMatrix::refreshClock);
}

void LedMatrix::setPages(const QList<led::Page>& pages)
{
    m_pages = pages;
    startPage(0);
}

void LedMatrix::setClockOffsetMs(qint64 ms)
{
    m_clockOffsetMs = ms;
    refreshClock();
}

void LedMatrix::setComputerClock(const platform::Clock& clock)
{
    m_computerClock = &clock;
    refreshClock();
}

QDateTime LedMatrix::clockNow() const
{
    return m_computerClock->now().addMSecs(m_clockOffsetMs);
}

void LedMatrix::setCutMarker(bool on)
{
    if (m_cutMarker == on)
        return;
    m_cutMarker = on;
    update();
}

led::Page LedMatrix::pageForShow(int index) const
{
    return led::pageAt(m_pages.value(index), clockNow());
}

void LedMatrix::stopTimers()
{
    m_frameTimer.stop();
    m_holdTimer.stop();
    m_clockTimer.stop();
}

void LedMatrix::startPage(int index)
{
    stopTimers();
    m_pageIndex = m_pages.isEmpty() ? 0 : index % int(m_pages.size());
    m_frame = 0;
    if (m_pages.isEmpty()) {
        m_shown = led::Page{};
        m_bitmap = led::Bitmap{};
        update();
        return;
    }
    m_shown = pageForShow(m_pageIndex);
    m_bitmap = led::renderFrame(m_shown, 0);
    update();
    emit pageStarted(m_pageIndex);
    if (!isVisible())
        return; // shown again later: showEvent starts the page afresh
    if (led::animationFrames(m_shown) > 1)
        m_frameTimer.start();
    else
        nextFrame();
}

void LedMatrix::nextFrame()
{
    const int frames = led::animationFrames(m_shown);
    if (m_frame < frames - 1) {
        ++m_frame;
        m_bitmap = led::renderFrame(m_shown, m_frame);
        update();
    }
    if (m_frame < frames - 1)
        return;
    m_frameTimer.stop();
    m_holdTimer.start(std::max(led::holdMs(m_shown), led::FrameMs));
    if (signproto::isClock(m_shown.effect))
        m_clockTimer.start();
}

void LedMatrix::endOfHold()
{
    startPage(m_pageIndex + 1);
}

void LedMatrix::refreshClock()
{
    if (m_pages.isEmpty() || !signproto::isClock(m_shown.effect))
        return;
    m_shown = pageForShow(m_pageIndex);
    m_bitmap = led::renderFrame(m_shown, m_frame);
    update();
}

void LedMatrix::showStill()
{
    if (m_pages.isEmpty())
        return;
    stopTimers();
    m_frame = led::animationFrames(m_shown) - 1;
    m_bitmap = led::stillImage(m_shown);
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
    m_pitch = 0;
}

void LedMatrix::showEvent(QShowEvent*)
{
    startPage(m_pageIndex);
}

void LedMatrix::hideEvent(QHideEvent*)
{
    stopTimers();
}

void LedMatrix::paintEvent(QPaintEvent*)
{
    const int pitch =
        std::max(2, std::min(width() / (led::Columns + 2 * MarginDots), height() / (led::Rows + 2 * MarginDots)));
    if (pitch != m_pitch) {
        m_pitch = pitch;
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
            m_dotPixmaps[i] = pm;
        }
    }
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    const int left = (width() - led::Columns * pitch) / 2;
    const int top = (height() - led::Rows * pitch) / 2;
    for (int y = 0; y < led::Rows; ++y)
        for (int x = 0; x < led::Columns; ++x)
            p.drawPixmap(left + x * pitch, top + y * pitch, m_dotPixmaps[m_bitmap.at(x, y)]);
    if (m_cutMarker) {
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
