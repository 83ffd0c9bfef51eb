// tivor-cli: sends, dumps, imports and lists Tivor messages from scripts, without a display.
#include "Cli.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    // A core application only: the command line must work from cron, where there is no display.
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tivor"));
    QCoreApplication::setApplicationName(QStringLiteral("tivor-cli"));
    return cli::run(QCoreApplication::arguments());
}
