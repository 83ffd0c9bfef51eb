// The message model and the values the whole program shares, read and written directly.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace Module1
{
inline constexpr int MaxPages = 64;

// Page slots are numbered 1..MaxPages; slot 0 is never used.
inline std::array<QString, MaxPages + 1> PageText;
inline std::array<std::uint8_t, MaxPages + 1> PageEffect{};
inline std::array<std::uint8_t, MaxPages + 1> PagePause{};
inline std::array<std::uint8_t, MaxPages + 1> PageAlign{};

inline std::uint8_t PageCount = 0;
inline std::uint8_t CurrentPage = 0;
inline bool MsgModified = false;

inline QString AppFolder;
inline QString VersionText;

inline constexpr int AlignLeft = 0;
inline constexpr int AlignCenter = 2;

// "v" + major (empty when 0) + "." + revision.
QString versionTextFor(int major, int revision);

// Empties every slot and zeroes the message state, as before start-up.
void clearModel();

// Blanks one slot: empty text, codes 0.
void blankPage(int page);

// True when at least one of the 64 slots holds text.
bool messageHasText();
} // namespace Module1
