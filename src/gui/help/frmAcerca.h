// The about box: the program's icon, its name and its version.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui
{
class frmAcerca;
}

class frmAcerca : public QDialog
{
    Q_OBJECT
public:
    explicit frmAcerca(QWidget* parent = nullptr);
    ~frmAcerca() override;

private:
    void salir_Click();

    std::unique_ptr<Ui::frmAcerca> m_ui;
};
