// The options dialog: loads the settings into its fields and writes them back on "Aceptar".
#include "gui/dialogs/frmOpciones.h"

#include "core/platform/SerialPortNames.h"
#include "core/protocol/SignProtocol.h"
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

frmOpciones::frmOpciones(const LineSettings& line, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmOpciones>()), m_line(line)
{
    m_ui->setupUi(this);
    platform::keepOnScreen(this);
    for (QComboBox* combo : {m_ui->cboPort, m_ui->cboBaud, m_ui->cboWNT, m_ui->cboChar})
        keepTypedText(combo);

    // A USB adapter or any other serial device can be picked by its path instead of being typed.
    QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    platform::sortSerialPorts(ports);
    QStringList devices;
    for (const QSerialPortInfo& info : ports)
        devices.append(platform::serialPortName(info));
    devices.removeDuplicates();
    m_ui->cboPort->addItems(devices);

    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmOpciones::cmdOK_Click);
    connect(m_ui->Command2, &QPushButton::clicked, this, &frmOpciones::Command2_Click);
    Form_Load();
}

frmOpciones::~frmOpciones() = default;

void frmOpciones::Form_Load()
{
    showValue(m_ui->cboPort, m_line.port);
    showValue(m_ui->cboBaud, m_line.baud);
    m_ui->chkRTS->setChecked(m_line.rts);
    m_ui->cboWNT->addItems(signproto::DelayStartList);
    showValue(m_ui->cboWNT, m_line.dy1);
    m_ui->cboChar->addItems(signproto::DelayCharList);
    showValue(m_ui->cboChar, m_line.dy2);
}

void frmOpciones::cmdOK_Click()
{
    m_line.port = m_ui->cboPort->currentText();
    m_line.baud = m_ui->cboBaud->currentText();
    m_line.rts = m_ui->chkRTS->isChecked();
    m_line.dy1 = m_ui->cboWNT->currentText();
    m_line.dy2 = m_ui->cboChar->currentText();
    accept();
}

void frmOpciones::Command2_Click()
{
    reject();
}

bool showOptionsDialog(QWidget* parent, LineSettings& line, const platform::SettingsStore& store, Prompter& prompter)
{
    {
        frmOpciones dialog(line, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        line = dialog.chosen();
    }
    if (!saveLineSettings(store, line)) {
        // The new values still apply to this run; say that they will be lost at the next start.
        prompter.MsgBox(QStringLiteral("No se pudieron grabar las Opciones") + QChar(13) +
                            QStringLiteral("Se usaran hasta cerrar el programa"),
                        MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Opciones de Programa"), parent,
                        store.location());
    }
    return true;
}
