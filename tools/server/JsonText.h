// What the server says of JSON that cannot be read: Qt's own texts are English.
#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QString>

QString jsonErrorText(const QJsonParseError& error);

// The document as Qt writes it, with U+FEFF escaped: Qt's reader drops one that begins a string when it comes
// unescaped, and what the server writes is read back (its stored state and schedules, a schedule's body) or by
// clients that may be built on Qt.
QByteArray jsonBytes(const QJsonDocument& document, QJsonDocument::JsonFormat format = QJsonDocument::Indented);
