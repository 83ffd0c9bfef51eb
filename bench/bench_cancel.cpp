// Time from a click on "Cancelar" to the terminator on the wire, over a pseudo-terminal, default delays.
#include "core/link/SendDelays.h"
#include "core/model/Message.h"
#include "core/platform/Clock.h"
#include "core/platform/Wait.h"
#include "core/ports/MSComm.h"
#include "core/protocol/MessageBuilder.h"
#include "core/settings/LineSettings.h"
#include "core/settings/SettingsStore.h"
#include "gui/dialogs/frmDate.h"
#include "gui/dialogs/frmSend.h"
#include "gui/editor/FrmMain.h"
#include "gui/editor/PageEditor.h"
#include "platform/PseudoTerminal.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <random>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace
{
// The date dialog sends the same moment on every run.
class FixedClock final : public platform::Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 3, 1), QTime(9, 7, 3)); }
    // The closing wait is not what is measured.
    void pause(double) const override { Clock::pause(0); }
};

qint64 nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The sign's end of the line: a pseudo-terminal master read in a thread, each byte stamped on arrival.
class Receiver
{
public:
    Receiver()
    {
        QString error;
        if (!openRawPty(&master, &slaveKeep, &slavePath, &error))
            return;
        reader = std::thread([this] { run(); });
    }
    ~Receiver()
    {
        stop = true;
        if (reader.joinable())
            reader.join();
        if (slaveKeep >= 0)
            close(slaveKeep);
        if (master >= 0)
            close(master);
    }
    bool ok() const { return master >= 0 && slaveKeep >= 0; }

    std::vector<std::pair<unsigned char, qint64>> take()
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto out = std::move(got);
        got.clear();
        return out;
    }

    QString slavePath;

private:
    void run()
    {
        while (!stop) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN))
                continue;
            unsigned char buf[256];
            const ssize_t n = read(master, buf, sizeof buf);
            const qint64 t = nowNs();
            std::lock_guard<std::mutex> lock(mutex);
            for (ssize_t i = 0; i < n; ++i)
                got.emplace_back(buf[i], t);
        }
    }

    int master = -1;
    int slaveKeep = -1;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::vector<std::pair<unsigned char, qint64>> got;
    std::thread reader;
};

// A real click as the window system delivers it: press and release, made here and posted later from
// another thread while the program is busy sleeping between two bytes.
struct Click
{
    QPushButton* button;
    QMouseEvent* press;
    QMouseEvent* release;
    explicit Click(QPushButton* b) : button(b)
    {
        const QPointF pos(b->width() / 2.0, b->height() / 2.0);
        const QPointF global = b->mapToGlobal(pos);
        press = new QMouseEvent(QEvent::MouseButtonPress, pos, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        release =
            new QMouseEvent(QEvent::MouseButtonRelease, pos, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    }
    void post()
    {
        QCoreApplication::postEvent(button, press);
        QCoreApplication::postEvent(button, release);
    }
};

struct Phase
{
    const char* name;
    int fromMs, toMs; // the click falls at a random moment in this span after "Enviar"
    int delayMs;      // the delay in force there
    bool message;     // the send dialog with a 64-page message, or the date dialog
};

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}
} // namespace

int main(int argc, char* argv[])
{
    // The offscreen platform remarks on every window shown; the figures are what matters here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type != QtDebugMsg && !msg.contains(QLatin1String("propagateSizeHints")))
            std::fprintf(stderr, "%s\n", qPrintable(msg));
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 10;

    Receiver receiver;
    if (!receiver.ok()) {
        std::fprintf(stderr, "bench_cancel: no pseudo-terminal\n");
        return 1;
    }
    // The program as the user runs it, with a settings store of its own that names the receiver's port.
    QTemporaryDir dir;
    const auto settings = platform::SettingsStore::inFile(dir.filePath(QStringLiteral("Tivor.conf")));
    settings.SaveSetting(QStringLiteral("COM"), QStringLiteral("Port"), receiver.slavePath);
    BoxPrompter prompter;
    DialogFileChooser files;
    platform::SystemProgramStarter programs;
    const FixedClock clock;
    FrmMain main(Services{prompter, files, programs, clock, settings, dir.path()});
    if (!main.MSComm1.PortOpen()) {
        std::fprintf(stderr, "bench_cancel: %s\n", qPrintable(main.MSComm1.errorText()));
        return 1;
    }
    std::printf("Delays: DY1 \"%s\", DY2 \"%s\"\n", qPrintable(main.lineSettings().dy1),
                qPrintable(main.lineSettings().dy2));
    // A 64-page message of fixed-width pages for the send dialog.
    Message& message = main.editor().message();
    for (int p = 1; p <= MaxPages; ++p) {
        message.text[p] = QStringLiteral("PAGINA %1").arg(p);
        message.effect[p] = 1;
        message.align[p] = AlignCenter;
    }
    message.count = MaxPages;
    message.current = 1;
    main.editor().setMessageOpen(true);
    main.editor().RefMensaje();

    // The date transmission: 5 preamble bytes at 200 ms, then the rest at 5 ms; the message: 1161 bytes.
    const Phase phases[] = {
        {"date, preamble", 20, 980, 200, false},
        {"date, after preamble", 1003, 1040, 5, false},
        {"message, preamble", 20, 980, 200, true},
        {"message, pages", 1100, 6500, 5, true},
    };
    std::mt19937 random(12345);
    std::printf("Cancel latency: click on \"Cancelar\" -> first terminator byte received, %d runs per phase\n", runs);
    for (const Phase& phase : phases) {
        std::vector<double> latencies;
        int missed = 0;
        for (int run = 0; run < runs; ++run) {
            receiver.take();
            std::unique_ptr<TxDialog> dialog;
            if (phase.message)
                dialog = main.makeSendDialog();
            else
                dialog = main.makeDateDialog();
            dialog->show();
            auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("Command2"));
            auto* send = dialog->findChild<QPushButton*>(QStringLiteral("cmdOK"));
            const int offsetMs = std::uniform_int_distribution<int>(phase.fromMs, phase.toMs)(random);
            Click click(cancel);
            std::atomic<qint64> clickNs{0};
            const qint64 startNs = nowNs();
            std::thread clicker([&] {
                const qint64 at = startNs + qint64(offsetMs) * 1000000;
                timespec ts{time_t(at / 1000000000), long(at % 1000000000)};
                clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
                clickNs = nowNs();
                click.post();
            });
            send->click();
            clicker.join();
            platform::sleepMs(50);
            const auto got = receiver.take();
            // After a cancel the stream ends with 01 01 directly behind the last byte sent.
            const bool cancelled = got.size() >= 2 && got.size() < size_t(messageTransmission(message).size()) + 2 &&
                                   got[got.size() - 1].first == 1 && got[got.size() - 2].first == 1;
            if (!cancelled) {
                ++missed;
                continue;
            }
            latencies.push_back(double(got[got.size() - 2].second - clickNs) / 1e6);
        }
        if (latencies.empty()) {
            std::printf("  %-22s no cancelled run (%d missed)\n", phase.name, missed);
            continue;
        }
        const double worst = *std::max_element(latencies.begin(), latencies.end());
        std::printf(
            "  %-22s delay %3d ms  runs %zu  min %.2f  median %.2f  p90 %.2f  max %.2f ms  target <= %d ms: %s%s\n",
            phase.name, phase.delayMs, latencies.size(), *std::min_element(latencies.begin(), latencies.end()),
            percentile(latencies, 0.5), percentile(latencies, 0.9), worst, phase.delayMs + 10,
            worst <= phase.delayMs + 10 ? "met" : "MISSED",
            missed ? qPrintable(QStringLiteral(" (%1 runs ended before the click)").arg(missed)) : "");
        std::fflush(stdout);
    }
    return 0;
}
