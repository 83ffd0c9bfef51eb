// The message model and the values the whole program shares, read and written directly.
#pragma once

#include <QString>
#include <QStringList>
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

// Positions in these lists are the stored effect and pause codes.
inline const QStringList EffectList = {
    QStringLiteral("Rotacion"),      QStringLiteral("Estatico"),      QStringLiteral("LLuvia   [16]"),
    QStringLiteral("Enlazado [16]"), QStringLiteral("Vert Arr [16]"), QStringLiteral("Vert Aba [16]"),
    QStringLiteral("Pers Arr [16]"), QStringLiteral("Pers Aba [16]"), QStringLiteral("Shot     [16]"),
    QStringLiteral("Mirilla  [16]"), QStringLiteral("Explosion[16]"), QStringLiteral("Hora  "),
    QStringLiteral("Fecha "),
};
inline const QStringList PauseList = {
    QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"),
    QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9"),
};

inline constexpr int EffectRotacion = 0;
inline constexpr int EffectHora = 11;
inline constexpr int EffectFecha = 12;
inline constexpr int AlignLeft = 0;
inline constexpr int AlignCenter = 2;

// Placeholders the editor writes into the text field for the clock pages.
inline const QString HoraPlaceholder = QStringLiteral(" Hora 00:00:00 ");
inline const QString FechaPlaceholder = QStringLiteral("Fecha 12/07/07 ");

// "v" + major (empty when 0) + "." + revision.
QString versionTextFor(int major, int revision);

// Empties every slot and zeroes the message state, as before start-up.
void clearModel();

// Blanks one slot: empty text, codes 0.
void blankPage(int page);

// True when at least one of the 64 slots holds text.
bool messageHasText();
} // namespace Module1
