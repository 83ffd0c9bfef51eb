// Prints the time of saving and opening a full message, and the time and memory of reading hostile files.
#include "core/files/MessageFile.h"
#include "core/files/TextImport.h"
#include "core/model/Message.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <string>
#include <vector>

namespace
{
// Kilobytes from /proc/self/status ("VmRSS", "VmHWM").
long statusKb(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0)
            return std::stol(line.substr(prefix.size()));
    return -1;
}

// Makes the peak resident size start again from the current one.
void resetPeak()
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

double medianMs(int runs, const std::function<void()>& work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

Message fullMessage()
{
    Message m;
    for (int i = 1; i <= MaxPages; ++i) {
        QString text = QStringLiteral("Pagina %1 \"con comillas\", comas y a\u00F1o: ").arg(i);
        while (text.size() < 255)
            text += QChar(char16_t(u'A' + text.size() % 26));
        m.text[i] = text;
        m.effect[i] = std::uint8_t(i % 13);
        m.pause[i] = std::uint8_t(i % 9);
        m.align[i] = std::uint8_t(i % 2 ? 0 : 2);
    }
    m.count = MaxPages;
    return m;
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

QByteArray repeated(const QByteArray& unit, qsizetype total)
{
    QByteArray out;
    out.reserve(total + unit.size());
    while (out.size() < total)
        out += unit;
    return out;
}

struct Hostile
{
    const char* name;
    QByteArray bytes;
    bool messageFile;
};

void hostileCase(const QString& dir, Hostile c)
{
    const QString path = dir + QStringLiteral("/hostile");
    writeBytes(path, c.bytes);
    const double sizeMb = double(c.bytes.size()) / (1024.0 * 1024.0);
    c.bytes = QByteArray(); // only the file remains
    QString outcome;
    const auto work = [&]() {
        if (c.messageFile) {
            Message message; // every run starts without the last run's pages
            const MessageLoad load = loadMessage(path, message);
            const bool ok = load == MessageLoad::Pages || load == MessageLoad::Empty;
            outcome =
                ok ? QStringLiteral("accepted, %1 records").arg(load == MessageLoad::Pages ? int(message.count) : 0)
                   : QStringLiteral("rejected");
        } else {
            QStringList pages;
            readImportFile(path, &pages);
            outcome = QStringLiteral("%1 pages, first %2 chars").arg(pages.size()).arg(pages.value(0).size());
        }
    };
    work(); // warm the page cache
    resetPeak();
    const long before = statusKb("VmRSS");
    work();
    const long peak = statusKb("VmHWM");
    const double ms = medianMs(5, work);
    const double growthMb = double(peak - before) / 1024.0;
    std::printf("  %-44s %6.1f MB  %7.2f ms  growth %6.1f MB (%.2fx)  %s\n", c.name, sizeMb, ms, growthMb,
                growthMb / sizeMb, qPrintable(outcome));
}
} // namespace

int main()
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString path = dir.filePath(QStringLiteral("lleno.mnm"));

    const Message full = fullMessage();
    const double saveMs = medianMs(201, [&]() {
        if (!writeMessageFile(path, full))
            std::fprintf(stderr, "save failed\n");
    });
    const qint64 fileSize = QFileInfo(path).size();
    // The save's own work without the file system: the rest of a save is QSaveFile's write, fsync and rename.
    const double bytesMs = medianMs(201, [&]() {
        if (messageFileBytes(full).isEmpty())
            std::fprintf(stderr, "no bytes\n");
    });
    const double openMs = medianMs(201, [&]() {
        Message opened;
        if (loadMessage(path, opened) != MessageLoad::Pages || opened.count != MaxPages)
            std::fprintf(stderr, "open failed\n");
    });
    std::printf("64 pages x 255 characters (%lld bytes), median of 201 runs (target <= 2 ms each):\n",
                static_cast<long long>(fileSize));
    std::printf("  save %.3f ms (of which building the bytes %.3f ms; the rest is write, fsync, rename)\n"
                "  open %.3f ms (read, parse, into a message)\n",
                saveMs, bytesMs, openMs);

    const qsizetype tenMb = 10 * 1024 * 1024;
    std::printf("10 MB hostile files, median of 5 reads; growth = peak resident size over the start "
                "(target <= 100 ms, <= 3x):\n");
    hostileCase(dir.path(), {"mnm: one record, one endless quoted text",
                             "1,2,0,\"" + repeated("ABCDEFGHIJ", tenMb) + "\"\r\n", true});
    hostileCase(dir.path(),
                {"mnm: one endless line, quote never closed", "1,2,0,\"" + repeated("ABCDEFGHIJ", tenMb), true});
    hostileCase(dir.path(), {"mnm: one endless number", repeated("1234567890", tenMb), true});
    hostileCase(dir.path(), {"mnm: millions of short records", repeated("0,0,0,\"x\"\r\n", tenMb), true});
    hostileCase(dir.path(), {"mnm: millions of blank lines", repeated("\r\n", tenMb), true});
    hostileCase(dir.path(), {"txt: one endless line, UTF-8", repeated("a\xC3\xB1o ", tenMb), false});
    hostileCase(dir.path(), {"txt: one endless line, Windows-1252", repeated("a\xF1o ", tenMb), false});
    hostileCase(dir.path(), {"txt: millions of short lines", repeated("x\n", tenMb), false});
    hostileCase(dir.path(), {"txt: millions of empty lines", repeated("\r\n", tenMb), false});
    return 0;
}
