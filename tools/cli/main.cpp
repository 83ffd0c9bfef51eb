// tivor-cli: sends, dumps, imports and lists Tivor messages from scripts, without a display.
#include "Cli.h"
#include "core/platform/Terminal.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    // A core application only: the command line must work from cron, where there is no display.
    QCoreApplication app(argc, argv);
    // dump and show write the message's own bytes: CR LF stays CR LF, never CR CR LF.
    platform::useBinaryStandardStreams();
    QCoreApplication::setOrganizationName(QStringLiteral("Tivor"));
    QCoreApplication::setApplicationName(QStringLiteral("tivor-cli"));
    return cli::run(QCoreApplication::arguments());
}
