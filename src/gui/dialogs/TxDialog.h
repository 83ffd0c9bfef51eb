// What the send dialog and the date dialog share: the status panel, the progress bar, the endings and
// the cancel rules.
#pragma once

#include <QDialog>
#include <atomic>
#include <functional>

class DelaysInForce;
class MSComm;
class PacedSend;
struct LineSettings;
class SignPort;
class QLabel;
class QProgressBar;
class QStatusBar;
enum class TxOutcome;
namespace platform
{
class Clock;
}

// What a send dialog sends through: the window's port, the settings that port is opened and paced with, the
// delays in force, and the clock the closing wait is measured on.
struct TxLink
{
    MSComm& port;
    const LineSettings& line;
    DelaysInForce& delays;
    const platform::Clock& clock;
};

// A dialog that sends one transmission, reports in the first panel of its status bar, shows the outcome
// for one second and closes itself.
class TxDialog : public QDialog
{
    Q_OBJECT
public:
    QString panel1ToolTip() const;
    // From "Enviar" until the dialog has closed: the bytes, the terminator of a cancel, the closing wait.
    bool inTransmission() const { return m_inTransmission && isVisible(); }

signals:
    // Every text the first panel shows, in order (progress included).
    void panel1Changed(const QString& text);

protected:
    TxDialog(const TxLink& link, QWidget* parent);
    void setUpCommon(QStatusBar* statusBar, QProgressBar* progress, QLabel* picture);

    void showPanel1(const QString& text, const QString& toolTip = QString());
    const TxLink& link() const { return m_link; }
    // "Enviar" has started: from here "Cancelar" cancels instead of closing.
    void beginTransmission() { m_inTransmission = true; }
    // Sends `bytes` paced to the port with the delays in force; before each byte the bar shows the send's percent
    // and the panel `progressText` of it. A signal that ends the program cancels it as "Cancelar" does.
    TxOutcome sendPaced(const QByteArray& bytes, const std::function<QString(const PacedSend&)>& progressText);
    // Waits one second, letting pending events run once, and closes.
    void closeAfterOneSecond();
    // Shows `text`, then closes a second later.
    void endWith(const QString& text);
    // Opens the port again from the settings when it is not open, without any box.
    void reopenIfClosed();
    // The outcome of the paced sending; a cancelled one writes the terminator after its text.
    void endTransmission(TxOutcome outcome);

    // "Cancelar": once "Enviar" has started a transmission it only requests the cancel; before that it
    // closes the dialog.
    void Command2_Click();
    // The close button and Escape act as "Cancelar", so the dialog never vanishes while bytes are still
    // going out.
    void reject() override;

private:
    // Progress before each byte: the panel text and the bar at `percent`.
    void showProgress(const QString& text, int percent);

    TxLink m_link;
    QLabel* m_panel1 = nullptr;
    QProgressBar* m_bar = nullptr;
    bool m_inTransmission = false;
    // Set by "Cancelar"; read after every byte.
    std::atomic<bool> m_cancel = false;
};
