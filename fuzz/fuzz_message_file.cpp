// Fuzzes the .mnm reader: it must never crash, and whatever it accepts must survive the writer unchanged.
#include "core/files/MessageFile.h"
#include "core/model/Message.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QList<MessageRecord> records;
    if (!parseMessageFile(bytes, &records)) {
        if (!records.isEmpty())
            std::abort();
        return 0;
    }
    if (records.size() > MaxMessageRecords)
        std::abort();

    // Into a message, out through the writer, back through the reader: the pages with text come back as read.
    Message message;
    QList<MessageRecord> withText;
    for (int i = 0; i < records.size(); ++i) {
        const MessageRecord& r = records[i];
        if (r.effect < 0 || r.effect > 255 || r.pause < 0 || r.pause > 255 || r.align < 0 || r.align > 255)
            std::abort();
        message.text[i + 1] = r.text;
        message.effect[i + 1] = std::uint8_t(r.effect);
        message.pause[i + 1] = std::uint8_t(r.pause);
        message.align[i + 1] = std::uint8_t(r.align);
        if (!r.text.isEmpty())
            withText.append(r);
    }
    QList<MessageRecord> again;
    if (!parseMessageFile(messageFileBytes(message), &again) || again.size() != withText.size())
        std::abort();
    for (int i = 0; i < again.size(); ++i)
        if (again[i].effect != withText[i].effect || again[i].pause != withText[i].pause ||
            again[i].align != withText[i].align || again[i].text != withText[i].text)
            std::abort();
    return 0;
}
