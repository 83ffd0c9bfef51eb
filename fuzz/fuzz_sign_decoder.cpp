// Fuzzes the virtual sign's decoder with arbitrary line bytes: no crash, and the same events whether
// the bytes arrive in one piece or one at a time; decoded records always have their protocol shape.
#include "SignDecoder.h"

#include <cstdint>
#include <cstdlib>

namespace
{
QList<sign::Event> decode(const QByteArray& bytes, bool byteByByte)
{
    sign::Decoder decoder;
    QList<sign::Event> events;
    if (byteByByte) {
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            decoder.feedByte(std::uint8_t(bytes[i]), 0);
            events += decoder.takeEvents();
        }
    } else {
        decoder.feed(bytes, 0);
        events = decoder.takeEvents();
    }
    return events;
}

bool sameEvents(const QList<sign::Event>& a, const QList<sign::Event>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].isTransmission != b[i].isTransmission)
            return false;
        if (a[i].isTransmission) {
            const auto& x = a[i].transmission;
            const auto& y = b[i].transmission;
            if (x.pages.size() != y.pages.size() || x.errors.size() != y.errors.size() || x.terminated != y.terminated)
                return false;
        } else if (a[i].error.kind != b[i].error.kind || a[i].error.offset != b[i].error.offset) {
            return false;
        }
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<sign::Event> whole = decode(bytes, false);
    if (!sameEvents(whole, decode(bytes, true)))
        std::abort();
    for (const sign::Event& event : whole) {
        if (!event.isTransmission)
            continue;
        for (const sign::Page& page : event.transmission.pages) {
            const bool fixedWidth = page.code == 0x80 || (page.code >= 0x91 && page.code <= 0x99);
            if (fixedWidth && (page.bytes.size() != 16 || page.pause < 1 || page.pause > 9))
                std::abort();
            if (page.text.size() != page.bytes.size())
                std::abort();
        }
        const sign::Clock& c = event.transmission.clock;
        if (event.transmission.clockValid &&
            (c.hour > 23 || c.minute > 59 || c.second > 59 || c.day < 1 || c.day > 31 || c.month < 1 || c.month > 12))
            std::abort();
    }
    return 0;
}
