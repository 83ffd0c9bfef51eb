// Opens a message file in the main window and saves a picture of the window:
//   tivor-screenshot OUT.png MESSAGE.mnm [PAGE] [WIDTHxHEIGHT]
// With "-" for the message it shows the first start instead: no message, the port not found.
// Run it under a real X server (Xvfb) so the picture has the desktop's fonts and style.
#include "core/settings/SettingsStore.h"
#include "gui/editor/FrmMain.h"
#include "gui/editor/PageEditor.h"
#include "gui/platform/CommonDialog.h"
#include "gui/platform/MsgBox.h"
#include "platform/PseudoTerminal.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <utility>

namespace
{
// The first start's "Error #03" box is answered unseen; any other box is shown.
class FirstStartPrompter final : public Prompter
{
public:
    bool firstStart = false;
    void Beep() override {}

protected:
    MsgAnswer answer(const MsgBoxContent& box, QWidget* parent) override
    {
        if (!firstStart)
            return shown.MsgBox(box.text, box.buttons, box.icon, box.title, parent, box.detail);
        return box.buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
    }

private:
    BoxPrompter shown;
};

// The first open dialog takes the message file named on the command line; later ones are Qt's.
class FirstFileChooser final : public FileChooser
{
public:
    QString first;
    QString chooseToOpen(const CommonDialog& dialog, QWidget* parent) override
    {
        return first.isEmpty() ? shown.chooseToOpen(dialog, parent) : std::exchange(first, QString());
    }
    QString chooseToSave(const CommonDialog& dialog, QWidget* parent) override
    {
        return shown.chooseToSave(dialog, parent);
    }

private:
    DialogFileChooser shown;
};
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: tivor-screenshot OUT.png MESSAGE.mnm|- [PAGE] [WIDTHxHEIGHT]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    // The port named in a settings file of its own: a pseudo-terminal, which opens like a real port.
    int master = -1;
    int slave = -1;
    QString ptyPath, ptyError;
    if (!openRawPty(&master, &slave, &ptyPath, &ptyError))
        return 3;
    QTemporaryDir settingsDir;
    const auto settings = platform::SettingsStore::inFile(settingsDir.filePath(QStringLiteral("Tivor.conf")));
    const bool firstStart = QString::fromLocal8Bit(argv[2]) == QLatin1String("-");
    // The first start names a port this machine does not have; its "Error #03" box is answered unseen.
    settings.SaveSetting(QStringLiteral("COM"), QStringLiteral("Port"),
                         firstStart ? QStringLiteral("/dev/ttyUSB9") : ptyPath);
    FirstStartPrompter prompter;
    prompter.firstStart = firstStart;
    FirstFileChooser files;
    files.first = firstStart ? QString() : QString::fromLocal8Bit(argv[2]);
    platform::SystemProgramStarter programs;
    const platform::SystemClock clock;

    FrmMain w(Services{prompter, files, programs, clock, settings, settingsDir.path()});
    if (argc > 4) {
        const QStringList size = QString::fromLocal8Bit(argv[4]).split(u'x');
        w.resize(size.value(0).toInt(), size.value(1).toInt());
    }
    w.show();
    if (!firstStart)
        w.findChild<QAction*>(QStringLiteral("Cargar"))->trigger();
    if (argc > 3 && QString::fromLocal8Bit(argv[3]) != QLatin1String("-")) {
        w.findChild<QLineEdit*>(QStringLiteral("txtGoto"))->setText(QString::fromLocal8Bit(argv[3]));
        w.editor().cmdGtoPag_Click();
    }
    int status = 1;
    QTimer::singleShot(1500, [&]() {
        status = w.grab().save(out) ? 0 : 1;
        QCoreApplication::exit(status);
    });
    app.exec();
    return status;
}
