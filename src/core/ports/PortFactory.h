// The class of port a port text names: a serial line, raw TCP or RFC 2217.
#pragma once

#include <QString>
#include <memory>

class SignPort;

// The port the text names (see SignPort for the forms), not yet open; null, with the reason in `error`,
// when it names none.
std::unique_ptr<SignPort> openablePort(const QString& port, QString* error);
