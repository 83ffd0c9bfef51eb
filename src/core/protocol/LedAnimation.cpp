// The entrance of each effect as a function of the frame number, so the widget and the tests agree.
#include "core/protocol/LedAnimation.h"

#include "core/protocol/LedFont.h"

#include <algorithm>
#include <cmath>

namespace led
{
using signproto::Entrance;

namespace
{
Entrance entranceOf(const Page& page)
{
    return signproto::effectOf(page.effect).entrance;
}

// A fixed scramble for the rain's drops: the same page always rains the same way.
int scatter(int x, int y, int range)
{
    unsigned h = unsigned(x) * 73856093u ^ unsigned(y) * 19349663u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return int(h % unsigned(range));
}

void drawChar(Bitmap& bmp, std::uint8_t byte, int x, std::uint8_t value)
{
    const Glyph* g = glyphFor(byte);
    const Glyph& glyph = g ? *g : missingGlyph();
    for (int row = 0; row < GlyphHeight; ++row)
        for (int col = 0; col < GlyphWidth; ++col)
            if (glyph[std::size_t(row)] & (0x10 >> col))
                bmp.set(x + col, row, value);
}

std::uint8_t valueOf(const Page& page, int index)
{
    return page.marked.contains(index) ? Marked : Lit;
}

bool isBlank(std::uint8_t b)
{
    return b == ' ';
}

constexpr int RainSpread = 20;
constexpr int ShotStep = 8; // columns a shot character travels per frame
constexpr int ExplosionFrames = 16;

// Frame at which each character of a "Shot" page leaves the right edge, and the frame it lands.
struct Shot
{
    int index;
    int start;
    int travel;
};

QList<Shot> shots(const Page& page)
{
    QList<Shot> out;
    int start = 0;
    for (int i = 0; i < std::min<int>(int(page.bytes.size()), LineChars); ++i) {
        if (isBlank(std::uint8_t(page.bytes[i])))
            continue;
        const int travel = (Columns - i * CellWidth + ShotStep - 1) / ShotStep;
        out.append({i, start, travel});
        start += travel;
    }
    return out;
}

// The entrances below draw frame `n` from the still image, before the last frame, which is the image itself.

// Rain: every dot drops from above the line, each at its own moment.
Bitmap rainFrame(const Bitmap& still, int n)
{
    Bitmap out;
    for (int y = 0; y < Rows; ++y)
        for (int x = 0; x < Columns; ++x) {
            const std::uint8_t v = still.at(x, y);
            const int fallen = n - scatter(x, y, RainSpread);
            if (v != Off && fallen >= 0)
                out.set(x, y - std::max(0, Rows - fallen), v);
        }
    return out;
}

// Interlace: even rows come in from the left, odd rows from the right.
Bitmap interlaceFrame(const Bitmap& still, int n)
{
    Bitmap out;
    const int shift = Columns - 4 * n;
    for (int y = 0; y < Rows; ++y)
        for (int x = 0; x < Columns; ++x)
            out.set(x, y, still.at(y % 2 == 0 ? x + shift : x - shift, y));
    return out;
}

// Vertical up: the line rises from below; vertical down: it comes down from above.
Bitmap verticalFrame(const Bitmap& still, int n, bool up)
{
    Bitmap out;
    const int shift = Rows - n / 2;
    for (int y = 0; y < Rows; ++y)
        for (int x = 0; x < Columns; ++x)
            out.set(x, y, still.at(x, up ? y - shift : y + shift));
    return out;
}

// Curtain up: rows uncovered from the bottom; curtain down: from the top.
Bitmap curtainFrame(const Bitmap& still, int n, bool up)
{
    Bitmap out;
    const int shown = n / 3;
    for (int y = 0; y < Rows; ++y) {
        const bool visible = up ? y >= Rows - shown : y < shown;
        if (visible)
            for (int x = 0; x < Columns; ++x)
                out.set(x, y, still.at(x, y));
    }
    return out;
}

// Shot: one character after another flies in from the right to its place.
Bitmap shotFrame(const Page& line, int n)
{
    Bitmap out;
    for (const Shot& s : shots(line)) {
        if (n < s.start)
            break;
        const int target = s.index * CellWidth;
        const int x = std::max(target, Columns - (n - s.start) * ShotStep);
        drawChar(out, std::uint8_t(line.bytes[s.index]), x, valueOf(line, s.index));
    }
    return out;
}

// Peephole: a window opens from the middle outwards.
Bitmap peepholeFrame(const Bitmap& still, int n)
{
    Bitmap out;
    const int half = 2 * n;
    for (int x = Columns / 2 - half; x < Columns / 2 + half; ++x)
        for (int y = 0; y < Rows; ++y)
            out.set(x, y, still.at(x, y));
    return out;
}

// Explosion: every dot flies out of the middle to its place.
Bitmap explosionFrame(const Bitmap& still, int n)
{
    Bitmap out;
    const double t = double(n) / ExplosionFrames;
    const double cx = Columns / 2.0, cy = Rows / 2.0;
    for (int y = 0; y < Rows; ++y)
        for (int x = 0; x < Columns; ++x) {
            const std::uint8_t v = still.at(x, y);
            if (v != Off)
                out.set(int(std::lround(cx + (x - cx) * t)), int(std::lround(cy + (y - cy) * t)), v);
        }
    return out;
}
} // namespace

int Bitmap::litCount() const
{
    return int(std::count_if(dots.begin(), dots.end(), [](std::uint8_t d) { return d != Off; }));
}

Bitmap lineBitmap(const Page& page, int x)
{
    Bitmap bmp;
    for (int i = 0; i < page.bytes.size(); ++i) {
        const int cx = x + i * CellWidth;
        if (cx >= Columns)
            break;
        if (cx + GlyphWidth <= 0)
            continue;
        drawChar(bmp, std::uint8_t(page.bytes[i]), cx, valueOf(page, i));
    }
    return bmp;
}

int animationFrames(const Page& page)
{
    switch (entranceOf(page)) {
    case Entrance::Scroll:
        return Columns + int(page.bytes.size()) * CellWidth + 1;
    case Entrance::Rain:
        return RainSpread + Rows + 1;
    case Entrance::Interlace:
        return Columns / 4 + 1;
    case Entrance::RiseUp:
    case Entrance::DropDown:
        return 2 * Rows + 1;
    case Entrance::CurtainUp:
    case Entrance::CurtainDown:
        return 3 * Rows + 1;
    case Entrance::Shot: {
        const QList<Shot> s = shots(page);
        return s.isEmpty() ? 1 : s.last().start + s.last().travel + 1;
    }
    case Entrance::Peephole:
        return Columns / 4 + 1;
    case Entrance::Explosion:
        return ExplosionFrames + 1;
    case Entrance::Still:
    case Entrance::Time:
    case Entrance::Date:
        return 1;
    }
    return 1;
}

int holdMs(const Page& page)
{
    switch (signproto::effectOf(page.effect).kind) {
    case signproto::Kind::WholeText:
        return 0;
    case signproto::Kind::Clock:
        return ClockHoldMs;
    case signproto::Kind::Line:
        break;
    }
    return std::clamp(page.pause, 1, signproto::MaxPause) * 1000;
}

Bitmap renderFrame(const Page& page, int frame)
{
    const int last = animationFrames(page) - 1;
    const int n = std::clamp(frame, 0, last);
    const Entrance entrance = entranceOf(page);
    if (entrance == Entrance::Scroll) // the whole text enters at the right edge and leaves at the left
        return lineBitmap(page, Columns - n);

    // Only the first 16 characters fit the line; the still image is the reference for every entrance.
    Page line = page;
    line.bytes = page.bytes.left(LineChars);
    const Bitmap still = lineBitmap(line);
    if (n == last)
        return still;

    switch (entrance) {
    case Entrance::Rain:
        return rainFrame(still, n);
    case Entrance::Interlace:
        return interlaceFrame(still, n);
    case Entrance::RiseUp:
    case Entrance::DropDown:
        return verticalFrame(still, n, entrance == Entrance::RiseUp);
    case Entrance::CurtainUp:
    case Entrance::CurtainDown:
        return curtainFrame(still, n, entrance == Entrance::CurtainUp);
    case Entrance::Shot:
        return shotFrame(line, n);
    case Entrance::Peephole:
        return peepholeFrame(still, n);
    case Entrance::Explosion:
        return explosionFrame(still, n);
    case Entrance::Scroll:
    case Entrance::Still:
    case Entrance::Time:
    case Entrance::Date:
        return still;
    }
    return Bitmap();
}
} // namespace led
