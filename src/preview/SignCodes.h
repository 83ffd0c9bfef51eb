// The sign's side of the wire: its character codes and the record code of each effect.
#pragma once

#include <QChar>
#include <QString>
#include <cstdint>

namespace signcodes
{
inline constexpr int LineWidth = 16;

// Record code of each effect, by its position in the effect list (0 "Rotacion" .. 12 "Fecha ").
inline constexpr std::uint8_t EffectCodes[13] = {0x90, 0x80, 0x91, 0x92, 0x93, 0x94, 0x95,
                                                 0x96, 0x97, 0x98, 0x99, 0xA0, 0xA2};
inline constexpr std::uint8_t PauseBase = 0xC1; // pause "1" is 0xC2, "9" is 0xCA
inline constexpr std::uint8_t SpeedRapida = 0xE0;
inline constexpr std::uint8_t SpeedMedia = 0xE3;
inline constexpr std::uint8_t SpeedLenta = 0xE6;
inline constexpr std::uint8_t CmdMessage = 0xDF;
inline constexpr std::uint8_t CmdClock = 0xB0;
inline constexpr std::uint8_t Terminator = 0x01;
inline constexpr std::uint8_t FechaSecond = 0xC3;
inline constexpr char Preamble[] = "W-NT9";

// Position in the effect list of a record code, or -1 for a code that starts no record.
int effectForCode(std::uint8_t code);

// True for the ten fixed-width effects: 16 characters and a pause byte.
inline bool isFixedWidth(int effect) { return effect >= 1 && effect <= 10; }

// The effect's list text without its padding and "[16]" suffix ("LLuvia", "Hora").
QString effectName(int effect);

// The character the sign shows for one byte of page text, or a null QChar when it shows none.
// Printable ASCII is itself, except that the sign takes "@" as 0x1E; 0x10..0x1B are its Spanish letters.
QChar charForByte(std::uint8_t byte);

// The speed's name for its code ("Rapida"), or an empty text.
QString speedName(std::uint8_t code);
} // namespace signcodes
