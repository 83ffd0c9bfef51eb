// Decoded transmissions written out: plain text for people, one JSON object a line for scripts.
#pragma once

#include "SignDecoder.h"

#include <QJsonObject>
#include <QString>

namespace sign
{
// Several lines: a heading, one line per page ("Pagina 1  Estatico  pausa 5  |      HOLA      |"), errors.
QString formatText(const Event& event);
QJsonObject toJson(const Event& event);
// The JSON object on one line, without a newline.
QString formatJson(const Event& event);
} // namespace sign
