// Opening the help and the about box.
#include "gui/help/Help.h"

#include "core/model/Module1.h"
#include "core/platform/Program.h"
#include "gui/help/frmAcerca.h"
#include "gui/help/frmAyuda.h"
#include "gui/platform/MsgBox.h"

#include <QDir>
#include <QFileInfo>

namespace
{
QString programFolder()
{
    return Module1::AppFolder.isEmpty() ? platform::appFolder() : Module1::AppFolder;
}
} // namespace

QString helpCommandLine(const QString& appFolder)
{
    return QStringLiteral("hh.exe ") + appFolder + QStringLiteral("\\") + HelpChmName;
}

QStringList helpDocumentCandidates(const QString& appFolder, const QString& installDataDir)
{
    const QDir folder(appFolder);
    QStringList paths{
        folder.filePath(HelpDocumentName),
        QDir::cleanPath(folder.filePath(QStringLiteral("../share/tivor/") + HelpDocumentName)),
    };
    if (!installDataDir.isEmpty())
        paths.append(QDir(installDataDir).filePath(HelpDocumentName));
    paths.removeDuplicates();
    return paths;
}

QString helpDocumentPath()
{
    for (const QString& path : helpDocumentCandidates(programFolder(), QStringLiteral(TIVOR_INSTALL_DATADIR)))
        if (QFileInfo(path).isFile())
            return path;
    return QString();
}

void HelpOpener::openHelp(QWidget* parent)
{
    // Only where the compiled help came with the program: without it hh.exe shows nothing but its own error,
    // and the HTML document the package carries shows in the program's window instead.
    if (platform::helpHasSystemViewer && QFileInfo(QDir(programFolder()).filePath(HelpChmName)).isFile()) {
        const QString folder = QDir::toNativeSeparators(programFolder());
        // hh.exe gets the path as one argument, quoted by the system when the folder's name has blanks;
        // the bare command line would split such a path in two.
        if (!m_programs.start(QStringLiteral("hh.exe"), {folder + QStringLiteral("\\") + HelpChmName}))
            m_prompter.MsgBox(QStringLiteral("No se pudo iniciar la Ayuda: ") + helpCommandLine(folder), MsgButtons::Ok,
                              MsgIcon::Warning, QStringLiteral("Ayuda"), parent);
        return;
    }
    const QString path = helpDocumentPath();
    if (path.isEmpty()) {
        m_prompter.MsgBox(
            QStringLiteral("No se encontro el archivo de ayuda ") + HelpDocumentName, MsgButtons::Ok, MsgIcon::Warning,
            QStringLiteral("Ayuda"), parent,
            QStringLiteral("Se busco en:\n") +
                helpDocumentCandidates(programFolder(), QStringLiteral(TIVOR_INSTALL_DATADIR)).join(u'\n'));
        return;
    }
    if (!QFileInfo(path).isReadable()) {
        m_prompter.MsgBox(QStringLiteral("No se pudo leer el archivo de ayuda ") + path, MsgButtons::Ok,
                          MsgIcon::Warning, QStringLiteral("Ayuda"), parent);
        return;
    }
    if (!m_window)
        m_window = new frmAyuda(parent);
    m_window->showDocument(path);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void showAbout(QWidget* parent)
{
    frmAcerca box(parent);
    box.exec();
}
