// The help command and the about box of the main window.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>

class frmAyuda;
class Prompter;
class QWidget;

namespace platform
{
class ProgramStarter;
}

// The compiled help file Windows' viewer opens, in the program's folder.
inline const QString HelpChmName = QStringLiteral("tivor.chm");
// The help document shown everywhere else.
inline const QString HelpDocumentName = QStringLiteral("tivor.html");

// "hh.exe " followed by the folder, "\" and "tivor.chm", joined as they are.
QString helpCommandLine(const QString& appFolder);

// Where the help document is looked for, in order: next to the program (a build or a portable copy),
// ../share/tivor beside the program (an installed layout), then the data folder chosen at build time.
QStringList helpDocumentCandidates(const QString& appFolder, const QString& installDataDir);
// The first candidate that exists for this program, or "" when there is none.
QString helpDocumentPath();

// The window's help command. One help window at a time: a second click brings the open one to the front.
class HelpOpener
{
public:
    HelpOpener(Prompter& prompter, platform::ProgramStarter& programs) : m_prompter(prompter), m_programs(programs) {}

    // On Windows starts hh.exe with tivor.chm; elsewhere shows the help document in the help window, or says
    // that it is missing.
    void openHelp(QWidget* parent);

private:
    Prompter& m_prompter;
    platform::ProgramStarter& m_programs;
    QPointer<frmAyuda> m_window;
};

// Shows frmAcerca modally.
void showAbout(QWidget* parent);
