// The JSON files the server keeps what it must remember in ("estado.json", "horarios.json"): one object under
// one key, read at start and written whole on each change, so that a crash leaves the old file or the new one.
#pragma once

#include <QJsonObject>
#include <QString>

// The journal's lines for one kept file, each "%1: ... (%2)" with the file and the reason.
struct KeptFileTexts
{
    QString unreadable; // the file is there but cannot be read
    QString notJson;    // it is read but is not a JSON object: the server starts without it
    QString unsaved;    // it cannot be written
};

// The object under `key`; empty when the file is missing (a first start) or faulty (journaled).
QJsonObject readKeptObject(const QString& file, const QString& key, const KeptFileTexts& texts);
// Writes `object` under `key`, making the file's folder first; a failure is journaled, and the server goes on.
void saveKeptObject(const QString& file, const QString& key, const QJsonObject& object, const KeptFileTexts& texts);
