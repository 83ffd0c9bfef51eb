// The virtual sign's window: the LED matrix playing the last message, and a log of what arrived.
#pragma once

#include "SignDecoder.h"
#include "core/protocol/LedAnimation.h"

#include <QMainWindow>

class LedMatrix;
class QLabel;
class QPlainTextEdit;

class SignWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit SignWindow(QWidget* parent = nullptr);

    void setPortText(const QString& text);
    // A decoded transmission or error: logged; a complete message replaces what plays, a clock command sets the clock.
    void receive(const sign::Event& event);
    void logLine(const QString& text);

    LedMatrix* matrix() const { return m_matrix; }

private:
    LedMatrix* m_matrix;
    QLabel* m_lblPuerto;
    QLabel* m_lblMensaje;
    QPlainTextEdit* m_txtLog;
};

// The pages of a decoded message as the matrix plays them.
QList<led::Page> matrixPages(const sign::Transmission& t);
