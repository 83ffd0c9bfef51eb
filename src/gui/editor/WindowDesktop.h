// What makes the main window behave like a desktop program: files dropped on it, the keys of the page
// commands, and the hint that fills the window while no message is open.
#pragma once

#include <QObject>
#include <functional>

class QLabel;
class QMainWindow;
class MSComm;

namespace Ui
{
class FrmMain;
}

class WindowDesktop : public QObject
{
    Q_OBJECT
public:
    // What a dropped file asks of the window: a .mnm file is opened, a .txt file imported.
    struct Drops
    {
        std::function<void(const QString& path)> openMessage;
        std::function<void(const QString& path)> importText;
    };

    // The hint tells whether `port` is open.
    WindowDesktop(QMainWindow& window, Ui::FrmMain& ui, const MSComm& port, Drops drops);

    void refreshHint();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMainWindow& m_window;
    Ui::FrmMain& m_ui;
    const MSComm& m_port;
    Drops m_drops;
    QLabel* m_hint = nullptr;
};
