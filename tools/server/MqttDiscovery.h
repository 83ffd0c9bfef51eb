// What Home Assistant reads to show each sign as a device of its own: one retained config per entity.
#pragma once

#include "ServerConfig.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

struct MqttMessage
{
    QString topic;
    QByteArray payload;
};

// The topics of a sign or a group under the server's prefix: "<prefix>/sign/<id>", "<prefix>/group/<g>".
QString signTopic(const MqttConfig& config, const QString& id);
QString groupTopic(const MqttConfig& config, const QString& group);
QString statusTopic(const MqttConfig& config);

// The sign's text, select, button, sensor and connectivity sensor, each under
// "<discovery>/<component>/tivor_<server>/<sign>_<entity>/config". The select lists `messages`; without any it is
// an empty payload, which removes it (Home Assistant refuses a select without options).
std::vector<MqttMessage> discoveryMessages(const MqttConfig& config, const SignConfig& sign,
                                           const QStringList& messages);
