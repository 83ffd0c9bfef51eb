// QFileDialog behind the shared open/save dialog control.
#include "gui/platform/CommonDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

QString CommonDialog::qtFilter() const
{
    // "Archivos de Mensajes(*.mnm)|*.mnm" -> "Archivos de Mensajes (*.mnm)"
    const QStringList parts = Filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts.at(i);
        const int paren = description.indexOf(QLatin1Char('('));
        if (paren > 0 && description.at(paren - 1) != QLatin1Char(' '))
            description.insert(paren, QLatin1Char(' '));
        filters.append(description);
    }
    return filters.join(QStringLiteral(";;"));
}

bool CommonDialog::accept(const QString& chosen)
{
    if (chosen.isEmpty())
        return false;
    FileName = QFileInfo(chosen).absoluteFilePath();
    FileTitle = QFileInfo(chosen).fileName();
    return true;
}

bool CommonDialog::ShowOpen(QWidget* parent)
{
    return accept(m_chooser->chooseToOpen(*this, parent));
}

bool CommonDialog::ShowSave(QWidget* parent)
{
    return accept(m_chooser->chooseToSave(*this, parent));
}

QString DialogFileChooser::chooseToOpen(const CommonDialog& dlg, QWidget* parent)
{
    // Not the static dialog: it takes only existing files, and a typed name that is not there must reach the
    // program's own "cannot read" message instead of being turned away by the dialog.
    QFileDialog dialog(parent, QString(), dlg.FileName, dlg.qtFilter());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectNameFilter(dlg.qtFilter().split(QStringLiteral(";;")).value(dlg.FilterIndex - 1));
    if (!dlg.FileName.isEmpty())
        dialog.selectFile(dlg.FileName);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString DialogFileChooser::chooseToSave(const CommonDialog& dlg, QWidget* parent)
{
    const QStringList filters = dlg.qtFilter().split(QStringLiteral(";;"));
    QString sel = filters.value(dlg.FilterIndex - 1);
    QFileDialog::Options options;
    if (!(dlg.Flags & CommonDialog::cdlOFNOverwritePrompt))
        options |= QFileDialog::DontConfirmOverwrite;
    QString chosen = QFileDialog::getSaveFileName(parent, QString(), dlg.FileName, dlg.qtFilter(), &sel, options);
    if (!chosen.isEmpty() && (dlg.Flags & CommonDialog::cdlOFNCreatePrompt) && !QFileInfo::exists(chosen)) {
        // Qt's dialog has no create prompt of its own: ask like the overwrite prompt does.
        const auto answer = QMessageBox::question(
            parent, QString(), QStringLiteral("%1 no existe.\nDesea crearlo?").arg(QFileInfo(chosen).fileName()));
        if (answer != QMessageBox::Yes)
            chosen.clear();
    }
    return chosen;
}
