// QFileDialog behind the shared open/save dialog control.
#include "gui/platform/CommonDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace
{
bool scripted(CommonDialog& dlg, bool save, QString* chosen)
{
    using namespace platform::testing;
    const ShownDialog shown{save, dlg.Filter, dlg.Flags, dlg.FileName};
    shownDialogs.append(shown);
    if (queuedFileNames.isEmpty()) {
        unexpectedDialogs.append(shown);
        *chosen = QString();
    } else {
        *chosen = queuedFileNames.takeFirst();
    }
    return true;
}

void accept(CommonDialog& dlg, const QString& path)
{
    dlg.FileName = QFileInfo(path).absoluteFilePath();
    dlg.FileTitle = QFileInfo(path).fileName();
}
} // namespace

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
        if (!description.contains(QLatin1Char('(')))
            description += QStringLiteral(" (") + parts.at(i + 1) + QLatin1Char(')');
        filters.append(description);
    }
    return filters.join(QStringLiteral(";;"));
}

bool CommonDialog::ShowOpen(QWidget* parent)
{
    QString chosen;
    if (platform::testing::scriptedDialogs) {
        scripted(*this, false, &chosen);
    } else {
        // Not the static dialog: it takes only existing files, and a typed name that is not there must reach the
        // program's own "cannot read" message instead of being turned away by the dialog.
        QFileDialog dialog(parent, QString(), FileName, qtFilter());
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.selectNameFilter(qtFilter().split(QStringLiteral(";;")).value(FilterIndex - 1));
        if (!FileName.isEmpty())
            dialog.selectFile(FileName);
        if (dialog.exec() == QDialog::Accepted)
            chosen = dialog.selectedFiles().value(0);
    }
    if (chosen.isEmpty())
        return false;
    accept(*this, chosen);
    return true;
}

bool CommonDialog::ShowSave(QWidget* parent)
{
    QString chosen;
    if (platform::testing::scriptedDialogs) {
        scripted(*this, true, &chosen);
    } else {
        const QStringList filters = qtFilter().split(QStringLiteral(";;"));
        QString sel = filters.value(FilterIndex - 1);
        QFileDialog::Options options;
        if (!(Flags & cdlOFNOverwritePrompt))
            options |= QFileDialog::DontConfirmOverwrite;
        chosen = QFileDialog::getSaveFileName(parent, QString(), FileName, qtFilter(), &sel, options);
        if (!chosen.isEmpty() && (Flags & cdlOFNCreatePrompt) && !QFileInfo::exists(chosen)) {
            // Qt's dialog has no create prompt of its own: ask like the overwrite prompt does.
            const auto answer = QMessageBox::question(
                parent, QString(), QStringLiteral("%1 no existe.\nDesea crearlo?").arg(QFileInfo(chosen).fileName()));
            if (answer != QMessageBox::Yes)
                chosen.clear();
        }
    }
    if (chosen.isEmpty())
        return false;
    accept(*this, chosen);
    return true;
}
