// A message: its pages, how many the editor counts, which one it shows and whether it changed. A value: the
// window owns the one it shows, each tivor-cli command its own, each send a copy.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

inline constexpr int MaxPages = 64;

inline constexpr int AlignLeft = 0;
inline constexpr int AlignCenter = 2;

struct Message
{
    // Page slots are numbered 1..MaxPages; slot 0 is never used, so a page's number is its index.
    std::array<QString, MaxPages + 1> text;
    std::array<std::uint8_t, MaxPages + 1> effect{}, pause{}, align{};

    std::uint8_t count = 0;   // pages the editor counts (0: no message open)
    std::uint8_t current = 0; // the page it shows
    bool modified = false;    // changed since it was opened, made or saved

    // Empty text, codes 0.
    void blankPage(int page);
    // Every slot blank and nothing counted, as before start-up.
    void clear();
    // True when at least one of the 64 slots holds text.
    bool hasText() const;
    // A blank page at `at`, the pages from there on one slot later; a full message is left as it is.
    void insertPage(int at);
    // Page `at` taken out, the later pages one slot earlier and the old last slot blanked; the last page of a
    // message is never taken out.
    void deletePage(int at);
    // The pages of `other` (texts, effects, pauses, alignments); the count, page shown and mark stay.
    void takePagesOf(const Message& other);
};

// "v" + major (empty when 0) + "." + revision.
QString versionTextFor(int major, int revision);
