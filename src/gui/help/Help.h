// The help command and the about box of the main window.
#pragma once

#include "core/platform/Program.h"

#include <QPointer>
#include <QString>
#include <QStringList>

class frmAyuda;
class Prompter;
class QWidget;

// The help document, shown in the program's help window.
inline const QString HelpDocumentName = QStringLiteral("tivor.html");

// Where the help document is looked for, in order: next to the program (a build or a portable copy),
// ../share/tivor beside the program (an installed layout), then the data folder chosen at build time.
QStringList helpDocumentCandidates(const QString& appFolder, const QString& installDataDir);
// The first candidate that exists for a program in `appFolder`, or "" when there is none.
QString helpDocumentPath(const QString& appFolder = platform::appFolder());

// The window's help command. One help window at a time: a second click brings the open one to the front.
class HelpOpener
{
public:
    // `appFolder` is the program's folder, where the help document is looked for first.
    HelpOpener(Prompter& prompter, const QString& appFolder) : m_prompter(prompter), m_appFolder(appFolder) {}

    // Shows the help document in the help window, or says that it is missing.
    void openHelp(QWidget* parent);

private:
    Prompter& m_prompter;
    const QString m_appFolder;
    QPointer<frmAyuda> m_window;
};

// Shows frmAcerca modally.
void showAbout(QWidget* parent);
