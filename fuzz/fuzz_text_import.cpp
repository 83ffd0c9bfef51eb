// Fuzzes the text import: any bytes give at most 64 well-formed pages, the same by both reading paths.
#include "files/TextImport.h"
#include "model/Module1.h"

#include <QStringDecoder>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList pages = importPages(decodeTextFile(bytes));
    if (pages.size() > Module1::MaxPages)
        std::abort();
    for (const QString& page : pages)
        if (page.size() < ImportLineWidth || page.contains(u'\r') || page.contains(u'\n'))
            std::abort();
    if (importPagesFromBytes(bytes) != pages)
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
