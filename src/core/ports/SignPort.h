// What paced sending needs of a line to the sign, whatever carries it (a serial port today).
#pragma once

#include <QByteArray>
#include <QString>

class SignPort
{
public:
    virtual ~SignPort() = default;

    // Writes the bytes and pushes them out before returning: the sender's waits count from here.
    // False when the line refused them.
    virtual bool Output(const QByteArray& bytes) = 0;
    // The system's reason for the last failure.
    virtual QString errorText() const = 0;

protected:
    SignPort() = default;
    SignPort(const SignPort&) = default;
    SignPort& operator=(const SignPort&) = default;
};
