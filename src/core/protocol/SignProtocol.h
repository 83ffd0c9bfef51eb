// The sign's protocol in one place: every byte, code, list and width that the builder, the filter, the editor,
// the preview and the virtual sign share.
#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

namespace signproto
{
// Every transmission: preamble, command byte, body, terminator.
inline constexpr std::string_view Preamble = "W-NT9";
inline constexpr std::uint8_t MessageCommand = 0xDF;
inline constexpr std::uint8_t ClockCommand = 0xB0; // body: hour, minute, second, day, month, year in BCD
inline constexpr int ClockFieldCount = 6;
inline constexpr std::uint8_t TerminatorByte = 0x01;
inline const QByteArray Terminator = QByteArrayLiteral("\x01\x01");
// A longer stream is cut here and terminated once more.
inline constexpr int MaxLength = 8000;
// Bytes from here up are commands, record codes, pauses and speeds; page text must stay below.
inline constexpr std::uint8_t FirstCommandByte = 0x80;

// One line of the sign, in characters.
inline constexpr int LineWidth = 16;

struct Speed
{
    std::string_view name;
    std::uint8_t code;
};
// The first is the one every message is sent with.
inline constexpr auto Speeds = std::to_array<Speed>({{"Rapida", 0xE0}, {"Media", 0xE3}, {"Lenta", 0xE6}});

// The speed code of a name; the fast speed for any other name.
inline std::uint8_t speedCodeFor(QStringView name)
{
    for (const Speed& s : Speeds)
        if (name == QLatin1StringView(s.name.data(), qsizetype(s.name.size())))
            return s.code;
    return Speeds.front().code;
}

// The name of a speed code ("Rapida"), or an empty text for a byte that is no speed.
inline QString speedName(std::uint8_t code)
{
    for (const Speed& s : Speeds)
        if (s.code == code)
            return QString::fromLatin1(s.name.data(), qsizetype(s.name.size()));
    return QString();
}

// How a page's record is laid out.
enum class Kind : std::uint8_t {
    WholeText, // the code, then the whole filtered text; the next code or the terminator ends it
    Line,      // the code, exactly LineWidth filtered characters, a pause byte
    Clock,     // fixed bytes: the sign fills in its own clock; the page text is not sent
};

// What the sign draws when the page comes up (the preview animates it).
enum class Entrance : std::uint8_t {
    Scroll,
    Still,
    Rain,
    Interlace,
    RiseUp,
    DropDown,
    CurtainUp,
    CurtainDown,
    Shot,
    Peephole,
    Explosion,
    Time, // the sign's clock: hour
    Date, // the sign's clock: date
};

struct Effect
{
    std::string_view listText; // as the editor's effect list shows it, blanks and "[16]" included
    std::uint8_t code;         // the record's first byte
    std::uint8_t width;        // 0: the whole text goes to the filter; LineWidth: exactly that many
    Kind kind;
    Entrance entrance;
    std::string_view record = {};      // Clock: all the record's bytes, code first
    std::string_view placeholder = {}; // Clock: the text the editor puts in the page field
};

// A page's stored effect is its row's position here.
inline constexpr auto Effects = std::to_array<Effect>({
    {"Rotacion", 0x90, 0, Kind::WholeText, Entrance::Scroll},
    {"Estatico", 0x80, LineWidth, Kind::Line, Entrance::Still},
    {"LLuvia   [16]", 0x91, LineWidth, Kind::Line, Entrance::Rain},
    {"Enlazado [16]", 0x92, LineWidth, Kind::Line, Entrance::Interlace},
    {"Vert Arr [16]", 0x93, LineWidth, Kind::Line, Entrance::RiseUp},
    {"Vert Aba [16]", 0x94, LineWidth, Kind::Line, Entrance::DropDown},
    {"Pers Arr [16]", 0x95, LineWidth, Kind::Line, Entrance::CurtainUp},
    {"Pers Aba [16]", 0x96, LineWidth, Kind::Line, Entrance::CurtainDown},
    {"Shot     [16]", 0x97, LineWidth, Kind::Line, Entrance::Shot},
    {"Mirilla  [16]", 0x98, LineWidth, Kind::Line, Entrance::Peephole},
    {"Explosion[16]", 0x99, LineWidth, Kind::Line, Entrance::Explosion},
    {"Hora  ", 0xA0, 0, Kind::Clock, Entrance::Time, "\xA0\xA0\xA0\xA0\xA0", " Hora 00:00:00 "},
    {"Fecha ", 0xA2, 0, Kind::Clock, Entrance::Date, "\xA2\xC3", "Fecha 12/07/07 "},
});
inline constexpr int EffectCount = int(Effects.size());

// The positions the program names: a new page's effect, what an unknown effect is sent as, the clock pages.
inline constexpr int EffectRotacion = 0;
inline constexpr int EffectEstatico = 1;
inline constexpr int EffectHora = 11;
inline constexpr int EffectFecha = 12;
static_assert(Effects[EffectRotacion].kind == Kind::WholeText && Effects[EffectEstatico].kind == Kind::Line);
static_assert(Effects[EffectHora].entrance == Entrance::Time && Effects[EffectFecha].entrance == Entrance::Date);

// The row of a stored effect. A value past the table (only a damaged or foreign file brings one) is sent
// as "Estatico": a static page still shows the text, where a guessed code could throw the sign's parsing off.
constexpr const Effect& effectOf(int effect)
{
    return effect >= 0 && effect < EffectCount ? Effects[std::size_t(effect)] : Effects[EffectEstatico];
}
// What the editor offers for an effect of the list: the pause selector, or the clock's fixed page text.
// Neither holds past the table (such a page is only shown, not edited).
constexpr bool takesPause(int effect)
{
    return effect >= 0 && effect < EffectCount && Effects[std::size_t(effect)].kind == Kind::Line;
}
constexpr bool isClock(int effect)
{
    return effect >= 0 && effect < EffectCount && Effects[std::size_t(effect)].kind == Kind::Clock;
}

// The effect whose record starts with `code`, or -1 when no record does.
constexpr int effectForRecordCode(std::uint8_t code)
{
    for (int i = 0; i < EffectCount; ++i)
        if (Effects[std::size_t(i)].code == code)
            return i;
    return -1;
}

inline QString effectListText(int effect)
{
    const std::string_view t = effectOf(effect).listText;
    return QString::fromLatin1(t.data(), qsizetype(t.size()));
}
// The editor's effect list, in stored order.
QStringList effectListTexts();
// The list text without its padding and "[16]" suffix ("LLuvia", "Hora"); empty past the table.
QString effectName(int effect);
// The record bytes of a clock effect.
inline QByteArray clockRecord(int effect)
{
    const std::string_view r = effectOf(effect).record;
    return QByteArray(r.data(), qsizetype(r.size()));
}
inline QString placeholderOf(int effect)
{
    const std::string_view p = effectOf(effect).placeholder;
    return QString::fromLatin1(p.data(), qsizetype(p.size()));
}

// The pause list's positions are the stored pause: "1" is 0.
inline const QStringList PauseList = {
    QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"),
    QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9"),
};
// Pause "1".."9" is 0xC2..0xCA; a stored value past "9" is sent as "9".
inline constexpr std::uint8_t PauseBase = 0xC1;
inline constexpr int MaxPause = 9;
constexpr std::uint8_t pauseByteFor(std::uint8_t storedPause)
{
    return std::uint8_t(PauseBase + 1 + std::min<int>(storedPause, MaxPause - 1));
}
// The pause 1..9 a byte stands for, or 0 when it is no pause byte.
constexpr int pauseOfByte(std::uint8_t byte)
{
    return byte > PauseBase && byte <= PauseBase + MaxPause ? byte - PauseBase : 0;
}

// The sign's own codes for "@" and the Spanish characters; everything else it takes as printable ASCII.
struct SignChar
{
    char16_t shown;
    std::uint8_t byte;
};
inline constexpr auto SignChars = std::to_array<SignChar>({
    {u'\u00E1', 0x10}, // á
    {u'\u00E9', 0x11}, // é
    {u'\u00ED', 0x12}, // í
    {u'\u00F3', 0x13}, // ó
    {u'\u00FA', 0x14}, // ú
    {u'\u00F1', 0x15}, // ñ
    {u'\u00D1', 0x16}, // Ñ
    {u'\u00FC', 0x17}, // ü
    {u'\u00A1', 0x18}, // ¡
    {u'\u00BF', 0x19}, // ¿
    {u'\u00BB', 0x1A}, // »
    {u'\u00AB', 0x1B}, // «
    {u'@', 0x1E},
});

// The sign's code for a page character, or -1 when it has none of its own.
constexpr int signByteFor(char16_t c)
{
    for (const SignChar& s : SignChars)
        if (s.shown == c)
            return s.byte;
    return -1;
}

// The character the sign shows for a byte of page text, or a null QChar when it shows none. A plain "@"
// (0x40) shows as itself as well; the program sends it as 0x1E.
inline QChar charForByte(std::uint8_t byte)
{
    for (const SignChar& s : SignChars)
        if (s.byte == byte)
            return QChar(s.shown);
    if (byte >= 0x20 && byte <= 0x7E)
        return QLatin1Char(char(byte));
    return QChar();
}

// The delay texts the options dialog offers, in milliseconds; only these are looked up.
inline const QStringList DelayStartList = {
    QStringLiteral("10"),  QStringLiteral("25"),  QStringLiteral("50"),  QStringLiteral("100"),
    QStringLiteral("150"), QStringLiteral("200"), QStringLiteral("250"), QStringLiteral("300"),
    QStringLiteral("350"), QStringLiteral("400"), QStringLiteral("450"), QStringLiteral("500"),
};
inline const QStringList DelayCharList = {
    QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("05"), QStringLiteral("10"),
    QStringLiteral("20"), QStringLiteral("30"), QStringLiteral("40"), QStringLiteral("50"),
    QStringLiteral("60"), QStringLiteral("70"), QStringLiteral("80"), QStringLiteral("90"),
};
// The delays of a fresh installation, as the options store them; they pace every send until a listed text
// is looked up, so a stored text outside the lists never leaves a run unpaced (the sign would drop bytes).
inline constexpr std::string_view DefaultDelayStart = "200";
inline constexpr std::string_view DefaultDelayChar = "05";
// The milliseconds of a delay text made of digits.
constexpr int delayMs(std::string_view text)
{
    int ms = 0;
    for (const char c : text)
        ms = ms * 10 + (c - '0');
    return ms;
}
// Bytes 1..PreambleDelayBytes wait the start delay, every later byte the character delay.
inline constexpr int PreambleDelayBytes = 5;
} // namespace signproto
