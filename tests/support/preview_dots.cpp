// preview_dots FILE.mnm: the desktop preview's still image of each page with text, read back from what the window's
// own preview widget draws offscreen, as "page N" and then seven rows of 96 dots ('0' off, '1' lit, '2' lit and
// pointed out, '?' a colour that is none of these), so that a test outside this build (the browser's) can hold the
// web page's dots against the window's. The three colours are the web page's: the window must draw in them too.
#include "core/files/MessageFile.h"
#include "gui/preview/LedMatrix.h"
#include "gui/preview/PagePreview.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTextStream>
#include <memory>

namespace
{
// The dot colours the web page draws in, from its script: "const DotColors = ['rgb(48,10,8)', ...]".
QList<QRgb> pageDotColors()
{
    QFile script(QStringLiteral(TIVOR_WEB_SCRIPT));
    if (!script.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(script.readAll());
    const QRegularExpressionMatch list = QRegularExpression(QStringLiteral("DotColors = \\[([^\\]]*)\\]")).match(text);
    QList<QRgb> colors;
    auto rgb = QRegularExpression(QStringLiteral("rgb\\((\\d+),(\\d+),(\\d+)\\)")).globalMatch(list.captured(1));
    while (rgb.hasNext()) {
        const QRegularExpressionMatch m = rgb.next();
        colors << qRgb(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    }
    return colors;
}
} // namespace

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
    const QList<QRgb> colors = pageDotColors();
    if (colors.size() != 3) {
        err << TIVOR_WEB_SCRIPT << ": no se encuentran los tres colores de los puntos\n";
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
    // Eight pixels a dot and a margin of one dot all round: each dot's middle pixel is its colour, not an edge.
    constexpr int Pitch = 8;
    // Taken out of the preview's layout, so that it keeps the size given here; the preview still feeds it.
    const std::unique_ptr<LedMatrix> matrix(preview.matrix());
    matrix->setParent(nullptr);
    matrix->resize((led::Columns + 2) * Pitch, (led::Rows + 2) * Pitch);
    for (int at = 1; at <= MaxPages; ++at) {
        if (message.text[at].isEmpty())
            continue;
        preview.showPage(message.text[at], message.effect[at], message.pause[at], message.align[at]);
        matrix->showStill();
        const QImage drawn = matrix->grab().toImage();
        out << "page " << at << '\n';
        for (int y = 0; y < led::Rows; ++y) {
            QString row;
            for (int x = 0; x < led::Columns; ++x) {
                const int state =
                    int(colors.indexOf(drawn.pixel((x + 1) * Pitch + Pitch / 2, (y + 1) * Pitch + Pitch / 2)));
                row += state < 0 ? QChar(u'?') : QChar(u'0' + state);
            }
            out << row << '\n';
        }
    }
    return 0;
}
