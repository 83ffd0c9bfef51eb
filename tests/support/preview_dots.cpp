// preview_dots FILE.mnm: the desktop preview's still image of each page with text, drawn by the window's own
// preview widget offscreen, as "page N" and then seven rows of 96 dots ('0' off, '1' lit, '2' lit and pointed
// out), so that a test outside this build (the browser's) can hold the web page's dots against the window's.
#include "core/files/MessageFile.h"
#include "gui/preview/LedMatrix.h"
#include "gui/preview/PagePreview.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "uso: preview_dots ARCHIVO.mnm\n";
        return 2;
    }
    Message message;
    FileFailure failure;
    if (const MessageLoad load = loadMessage(QString::fromLocal8Bit(argv[1]), message, &failure);
        load != MessageLoad::Pages && load != MessageLoad::Empty) {
        err << argv[1] << ": no se puede leer como mensaje\n";
        return 1;
    }
    QTextStream out(stdout);
    PagePreview preview;
    for (int at = 1; at <= MaxPages; ++at) {
        if (message.text[at].isEmpty())
            continue;
        preview.showPage(message.text[at], message.effect[at], message.pause[at], message.align[at]);
        preview.matrix()->showStill();
        const led::Bitmap& dots = preview.matrix()->bitmap();
        out << "page " << at << '\n';
        for (int y = 0; y < led::Rows; ++y) {
            QString row;
            for (int x = 0; x < led::Columns; ++x)
                row += QChar(u'0' + dots.at(x, y));
            out << row << '\n';
        }
    }
    return 0;
}
