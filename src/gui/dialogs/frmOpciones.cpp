// The options dialog: loads the settings into its fields and writes them back on "Aceptar".
#include "gui/dialogs/frmOpciones.h"

#include "core/platform/SerialPortNames.h"
#include "core/protocol/SignProtocol.h"
#include "core/settings/RegSett.h"
#include "core/settings/SettingsStore.h"
#include "gui/platform/MsgBox.h"
#include "gui/platform/OnScreen.h"
#include "ui_frmOpciones.h"

#include <QComboBox>

namespace
{
// What the user types is what gets stored: no completer may finish "11" as "110", and the edit field
// never adds its text to the list.
void keepTypedText(QComboBox* combo)
{
    combo->setCompleter(nullptr);
    combo->setInsertPolicy(QComboBox::NoInsert);
}

// Shows `value` exactly; when it is one of the entries, that entry is also the selected one.
void showValue(QComboBox* combo, const QString& value)
{
    const int index = combo->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        combo->setCurrentIndex(index);
    combo->setEditText(value);
}
} // namespace

frmOpciones::frmOpciones(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::frmOpciones>())
{
    ui->setupUi(this);
    platform::keepOnScreen(this);
    for (QComboBox* combo : {ui->cboPort, ui->cboBaud, ui->cboWNT, ui->cboChar})
        keepTypedText(combo);

    // A USB adapter or any other serial device can be picked by its path instead of being typed.
    QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    platform::sortSerialPorts(ports);
    QStringList devices;
    for (const QSerialPortInfo& info : ports)
        devices.append(platform::serialPortName(info));
    devices.removeDuplicates();
    ui->cboPort->addItems(devices);

    connect(ui->cmdOK, &QPushButton::clicked, this, &frmOpciones::cmdOK_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &frmOpciones::Command2_Click);
    Form_Load();
}

frmOpciones::~frmOpciones() = default;

void frmOpciones::Form_Load()
{
    using namespace Module1;
    OptionsAccepted = false;
    showValue(ui->cboPort, ComPort);
    showValue(ui->cboBaud, ComBaud);
    ui->chkRTS->setChecked(ComRTS);
    ui->cboWNT->addItems(signproto::DelayStartList);
    showValue(ui->cboWNT, DY1);
    ui->cboChar->addItems(signproto::DelayCharList);
    showValue(ui->cboChar, DY2);
}

void frmOpciones::cmdOK_Click()
{
    using namespace Module1;
    ComPort = ui->cboPort->currentText();
    ComBaud = ui->cboBaud->currentText();
    ComRTS = ui->chkRTS->isChecked();
    DY1 = ui->cboWNT->currentText();
    DY2 = ui->cboChar->currentText();
    OptionsAccepted = true;
    accept();
}

void frmOpciones::Command2_Click()
{
    reject();
}

bool showOptionsDialog(QWidget* parent, const platform::SettingsStore& store, Prompter& prompter)
{
    {
        frmOpciones dialog(parent);
        dialog.exec();
    }
    if (!Module1::OptionsAccepted)
        return false;
    if (!SaveRegSett(store)) {
        // The new values still apply to this run; say that they will be lost at the next start.
        prompter.MsgBox(QStringLiteral("No se pudieron grabar las Opciones") + QChar(13) +
                            QStringLiteral("Se usaran hasta cerrar el programa"),
                        MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Opciones de Programa"), parent,
                        store.location());
    }
    return true;
}
