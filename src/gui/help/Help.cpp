// Opening the help and the about box.
#include "gui/help/Help.h"

#include "gui/help/frmAcerca.h"
#include "gui/help/frmAyuda.h"
#include "gui/platform/MsgBox.h"

#include <QDir>
#include <QFileInfo>

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

QString helpDocumentPath(const QString& appFolder)
{
    for (const QString& path : helpDocumentCandidates(appFolder, QStringLiteral(TIVOR_INSTALL_DATADIR)))
        if (QFileInfo(path).isFile())
            return path;
    return QString();
}

void HelpOpener::openHelp(QWidget* parent)
{
    const QString path = helpDocumentPath(m_appFolder);
    if (path.isEmpty()) {
        m_prompter.MsgBox(QStringLiteral("No se encontro el archivo de ayuda ") + HelpDocumentName, MsgButtons::Ok,
                          MsgIcon::Warning, QStringLiteral("Ayuda"), parent,
                          QStringLiteral("Se busco en:\n") +
                              helpDocumentCandidates(m_appFolder, QStringLiteral(TIVOR_INSTALL_DATADIR)).join(u'\n'));
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
