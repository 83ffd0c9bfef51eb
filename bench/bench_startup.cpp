// Start-up of the main window, offscreen: each run is a new process, timed from its start until the window is
// shown and painted. Prints the median and spread over the runs and the largest peak resident memory.
//   bench_startup [RUNS]        (default 25; the runs use QT_QPA_PLATFORM=offscreen)
// Each run reads its settings from a file of its own that names a pseudo-terminal as the port.
#include "core/settings/SettingsStore.h"
#include "gui/editor/FrmMain.h"
#include "platform/PseudoTerminal.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPaintEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <stdlib.h>
#include <vector>

namespace
{
// The process's peak resident set, in KiB, from the kernel.
long peakRssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression re(QStringLiteral("VmHWM:\\s+(\\d+)"));
    const auto m = re.match(QString::fromLatin1(status.readAll()));
    return m.hasMatch() ? m.captured(1).toLong() : -1;
}

// Counts the main window's first paint.
class PaintWatch : public QObject
{
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

int child(int argc, char* argv[])
{
    // Start-up opens the serial port from the settings: give it a pseudo-terminal that opens, in a
    // settings file of its own, so the run measures the normal path and no "Error #03" box waits.
    int master = -1, slave = -1;
    QString slavePath, error;
    if (!openRawPty(&master, &slave, &slavePath, &error))
        return 3;
    QTemporaryDir settingsDir;
    const auto settings = platform::SettingsStore::inFile(settingsDir.filePath(QStringLiteral("Tivor.conf")));
    settings.SaveSetting(QStringLiteral("COM"), QStringLiteral("Port"), slavePath);

    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    BoxPrompter prompter;
    DialogFileChooser files;
    platform::SystemProgramStarter programs;
    const platform::SystemClock systemClock;
    FrmMain w(Services{prompter, files, programs, systemClock, settings});
    PaintWatch watch;
    w.installEventFilter(&watch);
    w.show();
    while (!watch.painted)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    std::printf("shown %lld %ld\n", static_cast<long long>(clock.nsecsElapsed() / 1000), peakRssKiB());
    std::fflush(stdout);
    return 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && QByteArray(argv[1]) == "--child")
        return child(argc, argv);

    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 25;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    std::vector<double> wallMs, inProcessMs;
    long peak = 0;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        p.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
        QByteArray line;
        while (!line.contains('\n') && p.waitForReadyRead(10000))
            line += p.readAllStandardOutput();
        const double wall = clock.nsecsElapsed() / 1e6;
        p.waitForFinished(10000);
        const QList<QByteArray> fields = line.trimmed().split(' ');
        if (fields.size() != 3 || fields[0] != "shown") {
            std::fprintf(stderr, "run %d: the window did not come up (%s)\n%s", i + 1, line.constData(),
                         p.readAllStandardError().constData());
            return 1;
        }
        wallMs.push_back(wall);
        inProcessMs.push_back(fields[1].toDouble() / 1000.0);
        peak = std::max(peak, fields[2].toLong());
    }
    std::printf("start-up to main window shown, offscreen, %d runs (each a new process)\n", runs);
    std::printf("  from spawn:      median %.1f ms  min %.1f ms  max %.1f ms   (target: median <= 150 ms)\n",
                median(wallMs), *std::min_element(wallMs.begin(), wallMs.end()),
                *std::max_element(wallMs.begin(), wallMs.end()));
    std::printf("  inside main():   median %.1f ms\n", median(inProcessMs));
    std::printf("  peak RSS:        %.1f MB (largest run)                      (target: <= 60 MB)\n", peak / 1024.0);
    return 0;
}
