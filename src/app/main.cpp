// Starts Tivor: answers --help and --version, checks that there is a display to show the window on, then
// runs the main window, opening the message file named on the command line.
#include "core/model/Message.h"
#include "core/platform/Display.h"
#include "core/platform/Program.h"
#include "core/settings/LineSettings.h"
#include "gui/dialogs/EndOnSignals.h"
#include "gui/editor/FrmMain.h"
#include "gui/help/Help.h"
#include "gui/platform/Translations.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <cstring>

namespace
{
const char Usage[] =
    "Uso: tivor [ARCHIVO.mnm]\n"
    "Compone mensajes para carteles LED y los carga en el cartel por el puerto serie.\n"
    "\n"
    "  ARCHIVO.mnm    abre ese archivo de mensajes al empezar, como \"Abrir Mensaje\"\n"
    "  -h, --help     muestra esta ayuda\n"
    "  -v, --version  muestra la version\n"
    "\n"
    "Sin pantalla, tivor-cli envia mensajes desde la linea de comandos; tivor-sign es un cartel virtual\n"
    "para probar sin el aparato.\n";

// --help and --version answer on the terminal and need no display, so they come before anything graphical.
// After "--" every argument is a file name, also one that starts with '-'. True when one was answered.
bool answeredOnTerminal(int argc, char* argv[])
{
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(Usage, stdout);
            return true;
        }
        if (!std::strcmp(argv[i], "--version") || !std::strcmp(argv[i], "-v")) {
            std::printf("tivor %s (Tivor %s)\n", qPrintable(platform::versionString()),
                        qPrintable(versionTextFor(platform::versionMajor(), platform::versionRevision())));
            return true;
        }
    }
    return false;
}

// The message file named on the command line, if any, in `files`; false, with the reason said, for an unknown
// option or more than one file. Qt has taken its own options (-platform, -style...) out by now.
bool messageFileArguments(const QStringList& arguments, QStringList* files)
{
    *files = arguments.mid(1);
    const qsizetype endOfOptions = files->indexOf(QStringLiteral("--"));
    for (const QString& a : files->mid(0, endOfOptions)) {
        if (a.startsWith(u'-')) {
            std::fprintf(stderr, "tivor: opcion desconocida '%s' (ver tivor --help)\n", qPrintable(a));
            return false;
        }
    }
    if (endOfOptions >= 0)
        files->removeAt(endOfOptions);
    if (files->size() > 1) {
        std::fprintf(stderr, "tivor: se abre un solo archivo de mensajes (ver tivor --help)\n");
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char* argv[])
{
    if (answeredOnTerminal(argc, argv))
        return 0;

    // Without a display Qt aborts with a message about platform plugins; say what is wrong instead.
    if (!platform::hasDisplay()) {
        std::fprintf(stderr, "tivor: no hay pantalla (DISPLAY no definido). Tivor necesita un escritorio grafico.\n"
                             "Para probar sin pantalla: QT_QPA_PLATFORM=offscreen tivor\n");
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tivor"));
    QApplication::setApplicationName(QStringLiteral("Tivor"));
    platform::installSpanishQtTexts(app);

    // Self-test of an installed copy, run by CI after installing the package: the GUI library has started
    // on the chosen platform; print where the help document was found, fail when it was not.
    if (app.arguments().contains(QStringLiteral("--check-help"))) {
        const QString help = helpDocumentPath();
        if (help.isEmpty()) {
            std::fprintf(stderr, "tivor: no se encontro el documento de ayuda %s\n", qPrintable(HelpDocumentName));
            return 1;
        }
        std::printf("%s\n", qPrintable(help));
        return 0;
    }

    QStringList files;
    if (!messageFileArguments(app.arguments(), &files))
        return 2;

    // The real prompter, file dialogs, processes, clock and settings store; tests hand in their own.
    BoxPrompter prompter;
    DialogFileChooser fileDialogs;
    platform::SystemProgramStarter programs;
    const platform::SystemClock clock;
    const EndOnSignals endOnSignals(programs);
    FrmMain w(Services{prompter, fileDialogs, programs, clock, userSettings(), platform::appFolder()});
    w.show();
    // Once start-up is over (a port that failed has had its box), as if chosen in "Abrir Mensaje".
    if (!files.isEmpty()) {
        const QString path = QFileInfo(files.first()).absoluteFilePath();
        QTimer::singleShot(0, &w, [&w, path] { w.openMessageFile(path); });
    }
    const int status = app.exec();
    if (platform::EndingSignals::received() != 0)
        platform::EndingSignals::endAsReceived();
    return status;
}
