// What a message's pages would show on a sign, and what the window would warn of, without sending anything.
#pragma once

#include "core/link/SendDelays.h"
#include "core/model/Message.h"

#include <QDateTime>
#include <QJsonObject>

// Each page with text: the line as the sign shows it, the characters it gets changed, the part not sent and the
// window's notes of them; then the warnings of the whole message (characters a message file cannot keep, bytes
// past the length cap) and the transmission's length and time by `delays`. Each page's dots are those the window's
// preview draws, a clock page's at `now`; with `animation`, every frame of its entrance as well.
QJsonObject previewJson(const Message& message, const SendDelays& delays, const QDateTime& now, bool animation);
