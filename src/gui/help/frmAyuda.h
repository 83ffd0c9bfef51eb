// The help window: the help document in a browser with a search field.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui
{
class frmAyuda;
}

class frmAyuda : public QDialog
{
    Q_OBJECT
public:
    explicit frmAyuda(QWidget* parent = nullptr);
    ~frmAyuda() override;

    void showDocument(const QString& path);
    // Finds the next place holding the search text, starting again from the top when needed.
    bool buscar();

private:
    std::unique_ptr<Ui::frmAyuda> m_ui;
};
