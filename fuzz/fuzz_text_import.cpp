// Fuzzes the text import: any bytes give at most 64 well-formed pages, the lines of the decoded text.
#include "core/files/TextImport.h"
#include "core/model/Message.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList pages = importPagesFromBytes(bytes);
    if (pages.size() > MaxPages)
        std::abort();
    for (const QString& page : pages)
        if (page.size() < ImportLineWidth || page.contains(u'\r') || page.contains(u'\n'))
            std::abort();
    // Splitting the bytes gives the same pages as splitting the whole decoded text.
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    const QStringList lines = decodeTextFile(bytes).split(lineEnd, Qt::SkipEmptyParts).mid(0, MaxPages);
    if (lines.size() != pages.size())
        std::abort();
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].leftJustified(ImportLineWidth, u' ') != pages[i])
            std::abort();

    // The validator and the fast decoder agree with Qt's own UTF-8 decoder.
    QStringDecoder qt(QStringConverter::Utf8,
                      QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    const QString byQt = qt.decode(bytes);
    if (isValidUtf8(bytes) == qt.hasError())
        std::abort();
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    if (!qt.hasError() && !bom && byQt != decodeTextFile(bytes))
        std::abort();
    return 0;
}
