// What the sign's dot matrix shows for a page, frame by frame: a pure function of the page and the frame.
#pragma once

#include "core/protocol/SignProtocol.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <cstdint>

namespace led
{
inline constexpr int LineChars = signproto::LineWidth;
inline constexpr int CellWidth = 6; // five dots and a blank column
inline constexpr int Columns = LineChars * CellWidth;
inline constexpr int Rows = 7;
inline constexpr int FrameMs = 40;       // 25 frames a second, the sign's fast speed
inline constexpr int ClockHoldMs = 5000; // clock pages ("Hora", "Fecha") have no pause byte

// Dot values: off, lit, lit and belonging to a character the preview points out.
enum Dot : std::uint8_t { Off = 0, Lit = 1, Marked = 2 };

struct Bitmap
{
    std::array<std::uint8_t, Columns * Rows> dots{};

    std::uint8_t at(int x, int y) const
    {
        return (x < 0 || x >= Columns || y < 0 || y >= Rows) ? std::uint8_t(Off) : dots[std::size_t(y * Columns + x)];
    }
    void set(int x, int y, std::uint8_t v)
    {
        if (x >= 0 && x < Columns && y >= 0 && y < Rows && v != Off)
            dots[std::size_t(y * Columns + x)] = v;
    }
    int litCount() const;
    bool operator==(const Bitmap& o) const { return dots == o.dots; }
};

struct Page
{
    int effect = 1;    // position in the effect list
    QByteArray bytes;  // the line as the sign gets it (sign codes); the clock text for Hora/Fecha
    int pause = 1;     // 1..9 seconds
    QList<int> marked; // indexes into `bytes` of characters to point out
};

// Frames of the page's entrance (at least 1); the last one is the still image.
int animationFrames(const Page& page);
// How long the still image stays after the entrance; "Rotacion" has none.
int holdMs(const Page& page);
// The dots of frame `frame` (0-based); frames past the entrance show the still image.
Bitmap renderFrame(const Page& page, int frame);
// The line drawn with its first character at column `x`, characters past the right edge clipped.
Bitmap lineBitmap(const Page& page, int x = 0);
} // namespace led
