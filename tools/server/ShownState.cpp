// The file is replaced whole by the core's atomic writer: a crash mid-write leaves the previous state.
#include "ShownState.h"

#include "KeptFile.h"

namespace
{
const KeptFileTexts Texts{QStringLiteral("%1: no se pudo leer el estado de los carteles (%2)"),
                          QStringLiteral("%1: el estado de los carteles no es JSON valido (%2); se empieza sin el"),
                          QStringLiteral("%1: no se pudo guardar el estado de los carteles (%2)")};
} // namespace

ShownState::ShownState(QString file) : m_file(std::move(file))
{
    const QJsonObject signs = readKeptObject(m_file, QStringLiteral("signs"), Texts);
    for (auto it = signs.begin(); it != signs.end(); ++it)
        if (it.value().isObject())
            m_signs[it.key()] = it.value().toObject();
}

void ShownState::record(const QString& sign, const QJsonArray& pages, int job, const QString& request,
                        const QDateTime& since)
{
    m_signs[sign] = QJsonObject{{QStringLiteral("pages"), pages},
                                {QStringLiteral("since"), since.toString(Qt::ISODateWithMs)},
                                {QStringLiteral("job"), job},
                                {QStringLiteral("request"), request}};
    save();
}

QJsonObject ShownState::shown(const QString& sign) const
{
    const auto it = m_signs.find(sign);
    return it == m_signs.end() ? QJsonObject() : it->second;
}

int ShownState::lastJob() const
{
    int last = 0;
    for (const auto& [sign, shown] : m_signs)
        last = std::max(last, shown.value(QStringLiteral("job")).toInt());
    return last;
}

void ShownState::save() const
{
    QJsonObject signs;
    for (const auto& [sign, shown] : m_signs)
        signs.insert(sign, shown);
    saveKeptObject(m_file, QStringLiteral("signs"), signs, Texts);
}
