// What each sign is believed to show: the pages of the last show that reached it whole, since when and from
// which job. Kept in a JSON file, so that a restart of the server does not forget it.
#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <map>

class ShownState
{
public:
    // Reads the file when there is one; one that cannot be read is named on the journal and left to be
    // replaced by the next show.
    explicit ShownState(QString file);
    const QString& file() const { return m_file; }

    // The sign got `pages` whole from job `job` (asked for by `request`) at `since`; written to the file at once.
    void record(const QString& sign, const QJsonArray& pages, int job, const QString& request, const QDateTime& since);
    // {"pages", "since", "job", "request"}; empty when nothing is known of the sign.
    QJsonObject shown(const QString& sign) const;
    // The highest job id kept, so that a restarted server never gives a kept id to another job.
    int lastJob() const;

private:
    void save() const;

    QString m_file;
    std::map<QString, QJsonObject> m_signs;
};
