// Latin-1 copy first (vectorised by Qt), then the few bytes where Windows-1252 differs are fixed in place.
#include "files/FastDecode.h"

#include <QFile>
#include <QFileInfo>

#include "model/Cp1252.h"

QString decodeWindows1252(QByteArrayView bytes, bool byte255AsQuote)
{
    QString out = QString::fromLatin1(bytes);
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    QChar* d = nullptr;
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char c = b[i];
        if (c < 0x80 || (c >= 0xA0 && c != 0xFF))
            continue;
        if (c == 0xFF && !byte255AsQuote)
            continue;
        if (!d)
            d = out.data();
        d[i] = c == 0xFF ? QChar(u'"') : Cp1252::charOf(c);
    }
    return out;
}

bool readWholeFile(const QString& path, QByteArray* bytes)
{
    bytes->clear();
    if (path.isEmpty() || QFileInfo(path).isDir())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}
