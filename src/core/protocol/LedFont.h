// The sign's 5x7 dot font: printable ASCII and its Spanish letters at codes 0x10..0x1E.
#pragma once

#include <array>
#include <cstdint>

namespace led
{
inline constexpr int GlyphWidth = 5;
inline constexpr int GlyphHeight = 7;

// Seven rows of five dots, the leftmost dot in bit 4.
using Glyph = std::array<std::uint8_t, GlyphHeight>;

// The glyph for one byte of page text as the sign receives it, or nullptr when the sign has none.
const Glyph* glyphFor(std::uint8_t signByte);

// Drawn where the sign has no glyph, so the preview never shows such a byte as a blank.
const Glyph& missingGlyph();
} // namespace led
