// Starts Tivor: checks that there is a display to show the window on, then runs the main window.
#include "editor/FrmMain.h"
#include "help/Help.h"
#include "platform/Translations.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    // Without a display Qt aborts with a message about platform plugins; say what is wrong instead.
    const bool platformChosen = std::getenv("QT_QPA_PLATFORM") != nullptr;
    const bool haveDisplay = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!platformChosen && !haveDisplay) {
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

    FrmMain w;
    w.show();
    return app.exec();
}
