// Puts the shared state and the platform seam into a known state for each test.
#pragma once

#include "gui/dialogs/InicioComm.h"
#include "support/Doubles.h"

#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <tuple>
#include <utility>

namespace testenv
{
// Puts the doubles back to nothing queued or recorded with their settings store at a fresh file in `dir`, and
// shortens the program's own waits by `waitScale`.
void reset(const QTemporaryDir& dir, double waitScale = 0.0);

// Fails the current test (returns false) when a prompt or dialog was shown that nothing answered, or an answer
// queued for one was never taken.
bool noUnexpectedPrompts();

// Runs `action` on the next modal widget that opens (a real QMessageBox or dialog), from the event loop.
void onNextModal(std::function<void(class QWidget*)> action, int timeoutMs = 5000);

// Writes bytes to a file, replacing it.
bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
// The most memory the process has held (VmHWM), in kB; 0 once it has ended.
qint64 peakMemoryKb(qint64 pid);

// A row of a test's data: its name, then one value for each column in order, each of its column's type (a string
// literal stands for a QString).
template <typename... Values> void row(const char* name, const Values&... values)
{
    (QTest::newRow(name) << ... << values);
}

// A test's data by its columns' types alone, the columns named by their place. In the _data function
// `Table<QString, int> row;` adds them and `row("name", "x", 1)` a row, each value converted to its column's type
// (a string literal to a QByteArray, a braced list to a QStringList); in the test `auto [text, count] =
// Table<QString, int>::fetch();` takes the current row.
template <typename... Columns> class Table
{
    static_assert(sizeof...(Columns) <= 8);
    static constexpr const char* names[] = {"0", "1", "2", "3", "4", "5", "6", "7"};
    template <size_t... I> static std::tuple<Columns...> fetch(std::index_sequence<I...>)
    {
        return {*static_cast<Columns*>(QTest::qData(names[I], qMetaTypeId<Columns>()))...};
    }
    template <size_t... I> static void addColumns(std::index_sequence<I...>)
    {
        (QTest::addColumn<Columns>(names[I]), ...);
    }

public:
    Table() { addColumns(std::index_sequence_for<Columns...>()); }
    void operator()(const char* name, const Columns&... values) const { (QTest::newRow(name) << ... << values); }
    static std::tuple<Columns...> fetch() { return fetch(std::index_sequence_for<Columns...>()); }
};

// Bytes from hex digits; blanks between them are ignored.
inline QByteArray hex(const char* digits)
{
    return QByteArray::fromHex(digits);
}

// While it lives, a write past `bytes` fails with "File too large" (from then on instead of ending the process):
// a disk that fills up half-way through a write. POSIX only (a process's file-size limit); where there is none,
// `available()` is false and constructing one is a test's error.
class FileSizeLimit
{
public:
    static bool available();
    explicit FileSizeLimit(long long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    // The limit before this one, to put back (an rlimit's two values).
    unsigned long long savedCurrent = 0, savedMaximum = 0;
};
} // namespace testenv

// The one-page example on the wire: HOLA, "Estatico", centred, pause "5".
inline const QByteArray kHola = testenv::hex("572D4E5439DFE080 202020202020 484F4C41 202020202020 C60101");
