// The sign's character codes and record codes.
#include "preview/SignCodes.h"

#include "model/Module1.h"

namespace signcodes
{
int effectForCode(std::uint8_t code)
{
    for (int i = 0; i < 13; ++i)
        if (EffectCodes[i] == code)
            return i;
    return -1;
}

QString effectName(int effect)
{
    if (effect < 0 || effect >= Module1::EffectList.size())
        return QString();
    QString name = Module1::EffectList.at(effect);
    name.remove(QStringLiteral("[16]"));
    return name.trimmed();
}

QChar charForByte(std::uint8_t byte)
{
    // The sign's own codes for what the wire's 7-bit range cannot carry otherwise.
    static const char16_t spanish[12] = {u'á', u'é', u'í', u'ó', u'ú', u'ñ', u'Ñ', u'ü', u'¡', u'¿', u'»', u'«'};
    if (byte >= 0x10 && byte <= 0x1B)
        return QChar(spanish[byte - 0x10]);
    if (byte == 0x1E)
        return QLatin1Char('@');
    if (byte >= 0x20 && byte <= 0x7E)
        return QLatin1Char(char(byte));
    return QChar();
}

QString speedName(std::uint8_t code)
{
    switch (code) {
    case SpeedRapida:
        return QStringLiteral("Rapida");
    case SpeedMedia:
        return QStringLiteral("Media");
    case SpeedLenta:
        return QStringLiteral("Lenta");
    default:
        return QString();
    }
}
} // namespace signcodes
