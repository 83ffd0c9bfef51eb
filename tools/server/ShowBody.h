// The body of a show request, read into a message: one page, or {"pages": [...]}.
#pragma once

#include "core/model/Message.h"

#include <QByteArray>
#include <QJsonArray>
#include <QString>

struct BodyFault
{
    int status = 0; // 0: the body was taken
    QString detail;
};

// A page: "text" (a clock page may leave it out), "effect" by its name in the editor's list ("LLuvia" or
// "LLuvia   [16]", any case; Rotacion when left out), "pause" 1..9 (1), "align" "izquierda" or "centrado"
// (izquierda). Nothing is guessed: an unknown key, a wrong type or a value outside its list is refused with
// its place.
// {"message": "NAME"} names a stored message instead: `stored` gets the name and `message` is left alone.
BodyFault messageFromBody(const QByteArray& body, Message* message, QString* stored = nullptr);

// A text/plain body: one page a line, as tivor-cli import reads a text file (its encodings, blanks, 16 columns).
// More lines with text than a message has pages are refused, not cut.
BodyFault messageFromText(const QByteArray& body, Message* message);

// What the transmission's length cap would cut, as a refusal (422) for what is to be sent or stored: the sign
// would show less than was asked for.
BodyFault lengthFault(const Message& message);

// The pages of `message` as a show body gives them (a clock page with its placeholder text); false, with the
// page in `page`, when one holds an effect, pause or alignment code the lists do not.
bool pagesJson(const Message& message, QJsonArray* pages, int* page);

// The names the effects are taken by, as the error texts list them.
QString effectNamesText();
