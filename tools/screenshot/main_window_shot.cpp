// Opens a message file in the main window and saves a picture of the window:
//   tivor-screenshot OUT.png MESSAGE.mnm [PAGE] [WIDTHxHEIGHT]
// With "-" for the message it shows the first start instead: no message, the port not found.
// Run it under a real X server (Xvfb) so the picture has the desktop's fonts and style.
#include "gui/editor/FrmMain.h"
#include "gui/editor/PageEditor.h"
#include "core/model/Module1.h"
#include "gui/platform/CommonDialog.h"
#include "gui/platform/MsgBox.h"
#include "core/settings/SettingsStore.h"
#include "platform/PseudoTerminal.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

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
    platform::testing::settingsFile = settingsDir.filePath(QStringLiteral("Tivor.conf"));
    const bool firstStart = QString::fromLocal8Bit(argv[2]) == QLatin1String("-");
    // The first start names a port this machine does not have; its "Error #03" box is answered unseen.
    platform::SaveSetting(QStringLiteral("Tivor"), QStringLiteral("COM"), QStringLiteral("Port"),
                          firstStart ? QStringLiteral("/dev/ttyUSB9") : ptyPath);
    platform::testing::scriptedBoxes = firstStart;
    platform::testing::queuedAnswers = {MsgAnswer::Ok};
    platform::testing::scriptedDialogs = true;
    platform::testing::queuedFileNames = {QString::fromLocal8Bit(argv[2])};

    FrmMain w;
    if (argc > 4) {
        const QStringList size = QString::fromLocal8Bit(argv[4]).split(u'x');
        w.resize(size.value(0).toInt(), size.value(1).toInt());
    }
    w.show();
    if (!firstStart)
        w.findChild<QAction*>(QStringLiteral("Cargar"))->trigger();
    platform::testing::scriptedDialogs = false;
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
