// The effect table's texts and its consistency checks.
#include "core/protocol/SignProtocol.h"

namespace signproto
{
namespace
{
constexpr bool tableIsConsistent()
{
    for (const Effect& e : Effects) {
        if (e.width != (e.kind == Kind::Line ? LineWidth : 0))
            return false;
        // A clock record starts with its code and carries nothing the sign could take as text or a terminator.
        if (e.kind == Kind::Clock) {
            if (e.record.empty() || std::uint8_t(e.record.front()) != e.code || e.placeholder.empty())
                return false;
            for (const char b : e.record)
                if (std::uint8_t(b) < FirstCommandByte)
                    return false;
        }
        if (e.code < FirstCommandByte || effectForRecordCode(e.code) != int(&e - Effects.data()))
            return false;
    }
    return true;
}
static_assert(tableIsConsistent(), "every effect needs its own record code and a layout that fits its kind");
} // namespace

QStringList effectListTexts()
{
    QStringList list;
    for (int i = 0; i < EffectCount; ++i)
        list << effectListText(i);
    return list;
}

QString effectName(int effect)
{
    if (effect < 0 || effect >= EffectCount)
        return QString();
    QString name = effectListText(effect);
    name.remove(QStringLiteral("[16]"));
    return name.trimmed();
}
} // namespace signproto
