// The sign's one-line LED dot matrix: red dots on black, playing pages with their effects in a loop.
#pragma once

#include "core/platform/Clock.h"
#include "core/protocol/LedAnimation.h"

#include <QDateTime>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

class LedMatrix : public QWidget
{
    Q_OBJECT
public:
    explicit LedMatrix(QWidget* parent = nullptr);

    // Plays the pages from the first one, again and again; an empty list leaves the matrix dark.
    void setPages(const QList<led::Page>& pages);
    const QList<led::Page>& pages() const { return m_pages; }

    // The clock that "Hora" and "Fecha" pages show: the computer's clock plus this offset.
    void setClockOffsetMs(qint64 ms);
    // The computer's clock (the system's unless set), which must outlive the matrix.
    void setComputerClock(const platform::Clock& clock);
    const platform::Clock& computerClock() const { return *m_computerClock; }
    QDateTime clockNow() const;

    // A small mark at the right edge: the text goes on beyond the line but is not sent.
    void setCutMarker(bool on);
    bool cutMarker() const { return m_cutMarker; }

    // What is on the matrix now, and where the player stands (for tests and benchmarks).
    const led::Bitmap& bitmap() const { return m_bitmap; }
    int pageIndex() const { return m_pageIndex; }
    int frame() const { return m_frame; }
    bool isAnimating() const { return m_frameTimer.isActive(); }
    bool hasTimerRunning() const
    {
        return m_frameTimer.isActive() || m_holdTimer.isActive() || m_clockTimer.isActive();
    }
    // The page as shown, with the clock text filled in for "Hora" and "Fecha".
    const led::Page& shownPage() const { return m_shown; }

    // Jumps to the still image of the current page (tests, screenshots).
    void showStill();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int w) const override;

signals:
    void pageStarted(int index);

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    void startPage(int index);
    void nextFrame();
    void endOfHold();
    void refreshClock();
    void stopTimers();
    led::Page pageForShow(int index) const;

    QList<led::Page> m_pages;
    led::Page m_shown;
    led::Bitmap m_bitmap;
    int m_pageIndex = 0;
    int m_frame = 0;
    qint64 m_clockOffsetMs = 0;
    const platform::Clock* m_computerClock = &platform::systemClock();
    bool m_cutMarker = false;
    QTimer m_frameTimer;
    QTimer m_holdTimer;
    QTimer m_clockTimer;
    // One picture per dot state at the current size, so a frame is only blits.
    QPixmap m_dotPixmaps[3];
    int m_pitch = 0;
};
