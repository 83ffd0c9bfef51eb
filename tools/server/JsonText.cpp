#include "JsonText.h"

QString jsonErrorText(const QJsonParseError& error)
{
    switch (error.error) {
    case QJsonParseError::UnterminatedObject:
        return QStringLiteral("falta cerrar un objeto");
    case QJsonParseError::MissingNameSeparator:
        return QStringLiteral("falta ':' tras un nombre");
    case QJsonParseError::UnterminatedArray:
        return QStringLiteral("falta cerrar una lista");
    case QJsonParseError::MissingValueSeparator:
        return QStringLiteral("falta ',' entre valores");
    case QJsonParseError::IllegalValue:
        return QStringLiteral("valor no valido");
    case QJsonParseError::TerminationByNumber:
        return QStringLiteral("termina en un numero");
    case QJsonParseError::IllegalNumber:
        return QStringLiteral("numero no valido");
    case QJsonParseError::IllegalEscapeSequence:
    case QJsonParseError::IllegalUTF8String:
        return QStringLiteral("texto no valido");
    case QJsonParseError::UnterminatedString:
        return QStringLiteral("falta cerrar un texto");
    case QJsonParseError::MissingObject:
        return QStringLiteral("se esperaba un objeto");
    case QJsonParseError::DeepNesting:
        return QStringLiteral("demasiados niveles");
    case QJsonParseError::DocumentTooLarge:
        return QStringLiteral("demasiado grande");
    case QJsonParseError::GarbageAtEnd:
        return QStringLiteral("sobra texto al final");
    case QJsonParseError::NoError:
        break;
    }
    return QString();
}

QByteArray jsonBytes(const QJsonDocument& document, QJsonDocument::JsonFormat format)
{
    // Outside strings JSON is ASCII, so these bytes are always a string's character.
    return document.toJson(format).replace("\xEF\xBB\xBF", "\\ufeff");
}
