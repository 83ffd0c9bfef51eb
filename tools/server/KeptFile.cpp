#include "KeptFile.h"

#include "Journal.h"
#include "JsonText.h"

#include "core/files/FileIO.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

QJsonObject readKeptObject(const QString& file, const QString& key, const KeptFileTexts& texts)
{
    QByteArray bytes;
    FileFailure failure;
    if (!readWholeFile(file, &bytes, &failure)) {
        if (failure.kind != FileFailure::Missing)
            journal(texts.unreadable.arg(file, failure.reason));
        return {};
    }
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parse);
    if (parse.error != QJsonParseError::NoError)
        journal(texts.notJson.arg(file, jsonErrorText(parse)));
    else if (!document.isObject())
        journal(texts.notJson.arg(file, QStringLiteral("no es un objeto")));
    return document.object().value(key).toObject();
}

void saveKeptObject(const QString& file, const QString& key, const QJsonObject& object, const KeptFileTexts& texts)
{
    FileFailure failure;
    if (!QDir().mkpath(QFileInfo(file).absolutePath()) ||
        !writeFileAtomically(file, jsonBytes(QJsonDocument(QJsonObject{{key, object}})), &failure))
        journal(texts.unsaved.arg(file, failure.reason.isEmpty() ? QStringLiteral("no se pudo crear la carpeta")
                                                                 : failure.reason));
}
