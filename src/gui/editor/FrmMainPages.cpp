// The main window's page commands: first, previous, next, last, go to, insert and delete.
#include "gui/editor/FrmMain.h"

#include "gui/editor/PageNumber.h"
#include "core/model/Module1.h"
#include "gui/platform/MsgBox.h"
#include "ui_FrmMain.h"

using namespace Module1;

void FrmMain::cmdPagFirst_Click()
{
    TomoActual();
    CurrentPage = 1;
    RefMensaje();
}

void FrmMain::cmdPagLast_Click()
{
    TomoActual();
    CurrentPage = PageCount;
    RefMensaje();
}

void FrmMain::cmdPagUp_Click()
{
    TomoActual();
    if (CurrentPage > 1)
        --CurrentPage;
    RefMensaje();
    focusText();
}

void FrmMain::cmdPagDwn_Click()
{
    TomoActual();
    if (CurrentPage < MaxPages)
        ++CurrentPage;
    if (CurrentPage > PageCount) {
        const MsgAnswer answer = MsgBox(QStringLiteral("No hay mas Paginas\rDesea Agregar una Nueva?"),
                                        MsgButtons::YesNo, MsgIcon::Information, QStringLiteral("Nueva Pagina"), this);
        if (answer == MsgAnswer::Yes)
            PageCount = CurrentPage; // the blank slot behind the old last page
        else
            CurrentPage = PageCount;
    }
    RefMensaje();
    focusText();
}

void FrmMain::cmdGtoPag_Click()
{
    TomoActual();
    const double n = roundedPageNumber(ui->txtGoto->text());
    if (n >= 1 && n <= PageCount) {
        CurrentPage = static_cast<std::uint8_t>(n);
        RefMensaje();
        focusText();
    }
}

void FrmMain::cmdInsertar_Click()
{
    if (!messageOpen() || PageCount >= MaxPages)
        return;
    if (MsgBox(QStringLiteral("Desea Insertar una Pagina ?"), MsgButtons::YesNo, MsgIcon::Information,
               QStringLiteral("Insertar"), this) != MsgAnswer::Yes)
        return;
    TomoActual();
    for (int i = PageCount; i >= CurrentPage; --i) {
        PageEffect[i + 1] = PageEffect[i];
        PageText[i + 1] = PageText[i];
        PagePause[i + 1] = PagePause[i];
        PageAlign[i + 1] = PageAlign[i];
    }
    blankPage(CurrentPage);
    ++PageCount;
    RefMensaje();
    focusText();
}

void FrmMain::cmdBorro_Click()
{
    if (!messageOpen() || PageCount < 2)
        return;
    if (MsgBox(QStringLiteral("Desea Borrar Pagina ?"), MsgButtons::YesNo, MsgIcon::Critical,
               QStringLiteral("Borrar"), this) != MsgAnswer::Yes)
        return;
    // The page shown is the one deleted: nothing is taken from the fields first.
    for (int i = CurrentPage; i <= PageCount - 1; ++i) {
        PageEffect[i] = PageEffect[i + 1];
        PageText[i] = PageText[i + 1];
        PagePause[i] = PagePause[i + 1];
        PageAlign[i] = PageAlign[i + 1];
    }
    if (CurrentPage != 1)
        --CurrentPage;
    blankPage(PageCount);
    --PageCount;
    RefMensaje();
    focusText();
}
