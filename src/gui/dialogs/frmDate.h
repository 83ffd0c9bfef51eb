// The date-and-time dialog: sets the sign's clock to the moment "Enviar" is clicked, the time it shows.
#pragma once

#include "gui/dialogs/TxDialog.h"

#include <QDateTime>
#include <QTimer>
#include <memory>

namespace platform
{
class Clock;
}

namespace Ui
{
class frmDate;
}

class frmDate : public TxDialog
{
    Q_OBJECT
public:
    // Shows and sends the time of the link's clock.
    frmDate(const TxLink& link, QWidget* parent = nullptr);
    ~frmDate() override;

    void cmdOK_Click();

private:
    void Form_Load();
    // Reads the clock into `shown` and the label, and sets the timer for the next second.
    void showNow();

    const platform::Clock& m_computerClock;
    QDateTime m_shown; // the time sent is the time shown
    QTimer m_clock;
    std::unique_ptr<Ui::frmDate> m_ui;
};
