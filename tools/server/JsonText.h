// What the server says of JSON that cannot be read: Qt's own texts are English.
#pragma once

#include <QJsonParseError>
#include <QString>

QString jsonErrorText(const QJsonParseError& error);
