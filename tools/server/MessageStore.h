// The stored messages: the .mnm files of one folder, named in the API's paths.
#pragma once

#include "ShowBody.h"

#include "core/model/Message.h"

#include <QByteArray>
#include <QJsonArray>
#include <QString>

class MessageStore
{
public:
    // `folder` need not exist until the first message is stored.
    explicit MessageStore(QString folder) : m_folder(std::move(folder)) {}
    const QString& folder() const { return m_folder; }

    // Why a name cannot be a stored message's, empty when it can: it becomes NAME.mnm in the folder, so
    // nothing that leaves the folder, hides the file, or names a device on any system the folder may be
    // shared with.
    static QString nameFault(const QString& name);

    // Every stored message: name, size in bytes and when it last changed, by name.
    QJsonArray list() const;
    // The file as it is stored.
    BodyFault read(const QString& name, QByteArray* bytes) const;
    // The file read by the rules tivor-cli send reads a message file by.
    BodyFault load(const QString& name, Message* message) const;
    // Replaces (or creates) the file with `bytes` by the core's atomic writer: a refused or failed write leaves
    // the folder as it was. `created` tells which.
    BodyFault write(const QString& name, const QByteArray& bytes, bool* created) const;
    BodyFault remove(const QString& name) const;

private:
    QString pathOf(const QString& name) const;
    // Refuses a name, a link that leads out of the folder, or something there that is not a file; 404 for
    // nothing there when `mustExist`.
    BodyFault check(const QString& name, bool mustExist) const;

    QString m_folder;
};
