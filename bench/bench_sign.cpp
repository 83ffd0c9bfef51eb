// Figures for the virtual sign and the preview: CPU while animating and idle, and decoder throughput.
//   bench_sign            (offscreen unless DISPLAY is set; then the windows are real X windows)
#include "SignDecoder.h"
#include "core/settings/SettingsStore.h"
#include "gui/editor/FrmMain.h"
#include "gui/platform/MsgBox.h"
#include "gui/preview/LedMatrix.h"
#include "gui/preview/PagePreview.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace
{
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double selfCpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// CPU seconds a child has used so far (utime + stime from /proc, in clock ticks).
double childCpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

// Percent of one core used in `ms` of wall time by `cpu()`.
template <typename F> double measure(F cpu, int ms)
{
    const double c0 = cpu();
    QElapsedTimer t;
    t.start();
    runFor(ms);
    return 100.0 * (cpu() - c0) / (t.elapsed() / 1000.0);
}

QByteArray animatedMessage()
{
    QByteArray m("W-NT9\xDF\xE0");
    const char* texts[] = {"Lluvia de prueba", "Explosion total!", "Disparo al aire ", "  Mirilla abre  "};
    const unsigned char codes[] = {0x91, 0x99, 0x97, 0x98};
    for (int i = 0; i < 4; ++i) {
        m.append(char(codes[i]));
        m.append(texts[i], 16);
        m.append(char(0xC2));
    }
    m.append(char(0x90));
    m.append("Un texto que pasa de derecha a izquierda por todo el cartel");
    m.append("\x01\x01", 2);
    return m;
}

void decoderThroughput()
{
    // A stream of every kind of record, with errors among them, about 16 MB.
    QByteArray unit = animatedMessage();
    unit += QByteArray("W-NT9\xB0\x14\x05\x09\x05\x12\x26\x01\x01", 14);
    unit += QByteArray("junk W-NT9\xDF\xE0\x92"
                       "abc\x01\x01",
                       20);
    QByteArray stream;
    while (stream.size() < 16 * 1024 * 1024)
        stream += unit;
    for (int chunk : {4096, 1}) {
        sign::Decoder d;
        qint64 events = 0;
        QElapsedTimer t;
        t.start();
        for (qsizetype i = 0; i < stream.size(); i += chunk) {
            d.feed(stream.mid(i, chunk), t.elapsed());
            if ((i / chunk) % 64 == 0)
                events += d.takeEvents().size();
        }
        events += d.takeEvents().size();
        const double s = t.nsecsElapsed() / 1e9;
        std::printf("decoder, %5d-byte reads: %.1f MB in %.2f s = %.1f MB/s (%.0f bytes/s), %lld events\n", chunk,
                    stream.size() / 1e6, s, stream.size() / 1e6 / s, stream.size() / s, events);
    }
}

void virtualSignWindow(int seconds)
{
#ifdef TIVOR_SIGN_PROGRAM
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("cartel"));
    QProcess sign;
    sign.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sign.start(QStringLiteral(TIVOR_SIGN_PROGRAM), {QStringLiteral("--link"), link});
    if (!sign.waitForStarted(5000)) {
        std::printf("tivor-sign did not start\n");
        return;
    }
    QElapsedTimer wait;
    wait.start();
    while (!QFileInfo(link).isSymLink() && wait.elapsed() < 5000)
        runFor(50);
    runFor(1000); // start-up is not idling
    const qint64 pid = sign.processId();
    const double idle = measure([&] { return childCpuSeconds(pid); }, seconds * 1000);
    auto send = [&](const QByteArray& bytes) {
        QFile port(link);
        if (!port.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || port.write(bytes) < 0)
            std::printf("could not write to %s\n", qPrintable(link));
        runFor(200);
    };
    send(animatedMessage());
    const double mixed = measure([&] { return childCpuSeconds(pid); }, seconds * 1000);
    // The worst case: a text that scrolls all the time.
    send(QByteArray("W-NT9\xDF\xE0\x90") + QByteArray(200, 'W') + QByteArray("\x01\x01", 2));
    const double scrolling = measure([&] { return childCpuSeconds(pid); }, seconds * 1000);
    // Under Xvfb the X server draws too: give its pid in BENCH_XSERVER_PID to see its share.
    const qint64 xpid = qEnvironmentVariableIntValue("BENCH_XSERVER_PID");
    if (xpid > 0)
        std::printf("X server while the sign scrolls: %.2f%% of a core\n",
                    measure([&] { return childCpuSeconds(xpid); }, seconds * 1000));
    std::printf(
        "virtual sign window (tivor-sign, %s): idle %.2f%% of a core, playing a message of animated pages %.2f%%, "
        "scrolling without pause %.2f%%\n",
        qgetenv("DISPLAY").isEmpty() ? "offscreen" : "X display", idle, mixed, scrolling);
    sign.terminate();
    sign.waitForFinished(5000);
#else
    Q_UNUSED(seconds);
    std::printf("virtual sign window: tivor-sign not built\n");
#endif
}

void previewInTheMainWindow(int seconds)
{
    // The real main window, kept away from the user's settings and from real message boxes.
    QTemporaryDir dir;
    // Every box is answered unseen: Ok, or No to a question.
    class UnseenPrompter final : public Prompter
    {
    public:
        void Beep() override {}

    protected:
        MsgAnswer answer(const MsgBoxContent& box, QWidget*) override
        {
            return box.buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
        }
    } prompter;
    DialogFileChooser files;
    platform::SystemProgramStarter programs;
    const platform::SystemClock clock;
    FrmMain w(Services{prompter, files, programs, clock,
                       platform::SettingsStore::inFile(dir.filePath(QStringLiteral("bench.ini")))});
    w.show();
    runFor(300);
    const double noMessage = measure(selfCpuSeconds, seconds * 1000);
    w.findChild<QAction*>(QStringLiteral("Nuevo"))->trigger();
    auto* text = w.findChild<QLineEdit*>(QStringLiteral("txtMensaje"));
    auto* effect = w.findChild<QComboBox*>(QStringLiteral("cboEfe"));
    text->setText(QString::fromUtf8("Lluvia sobre Tivor"));
    effect->setCurrentIndex(2);
    const double rain = measure(selfCpuSeconds, seconds * 1000);
    text->setText(QStringLiteral("Un texto que pasa de derecha a izquierda"));
    effect->setCurrentIndex(0);
    const double scroll = measure(selfCpuSeconds, seconds * 1000);
    text->setText(QStringLiteral("Quieto"));
    effect->setCurrentIndex(1);
    w.findChild<QComboBox*>(QStringLiteral("cboPausa"))->setCurrentIndex(8);
    runFor(100);
    const double still = measure(selfCpuSeconds, seconds * 1000);
    w.hide();
    const double hidden = measure(selfCpuSeconds, seconds * 1000);
    std::printf(
        "main window with preview (%s): no message open %.2f%% of a core, LLuvia looping %.2f%%, Rotacion %.2f%%, "
        "Estatico holding %.2f%%, window hidden %.2f%%\n",
        qgetenv("DISPLAY").isEmpty() ? "offscreen" : "X display", noMessage, rain, scroll, still, hidden);
}
} // namespace

int main(int argc, char* argv[])
{
    if (qgetenv("DISPLAY").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    decoderThroughput();
    previewInTheMainWindow(seconds);
    virtualSignWindow(seconds);
    return 0;
}
