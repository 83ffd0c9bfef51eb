// Layout and log of the virtual sign's window.
#include "SignWindow.h"

#include "SignOutput.h"
#include "core/platform/Clock.h"
#include "gui/preview/LedMatrix.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTime>
#include <QVBoxLayout>

QList<led::Page> matrixPages(const sign::Transmission& t)
{
    QList<led::Page> out;
    for (const sign::Page& p : t.pages)
        out.append(led::Page{p.effect, p.bytes, p.pause ? p.pause : 1, {}});
    return out;
}

SignWindow::SignWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Tivor - Cartel virtual"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    auto* frame = new QWidget(central);
    frame->setObjectName(QStringLiteral("fraCartel"));
    frame->setStyleSheet(QStringLiteral("#fraCartel { background: #202020; border-radius: 6px; }"));
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(10, 10, 10, 10);
    m_matrix = new LedMatrix(frame);
    m_matrix->setObjectName(QStringLiteral("ledMatrix"));
    m_matrix->setMinimumHeight(72);
    frameLayout->addWidget(m_matrix);
    layout->addWidget(frame);

    m_lblPuerto = new QLabel(central);
    m_lblPuerto->setObjectName(QStringLiteral("lblPuerto"));
    m_lblPuerto->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_lblPuerto);
    m_lblMensaje = new QLabel(QStringLiteral("Esperando un mensaje..."), central);
    m_lblMensaje->setObjectName(QStringLiteral("lblMensaje"));
    layout->addWidget(m_lblMensaje);

    m_txtLog = new QPlainTextEdit(central);
    m_txtLog->setObjectName(QStringLiteral("txtLog"));
    m_txtLog->setReadOnly(true);
    m_txtLog->setMaximumBlockCount(5000);
    m_txtLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_txtLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(m_txtLog, 1);

    setCentralWidget(central);
    resize(900, 480);
}

void SignWindow::setPortText(const QString& text)
{
    m_lblPuerto->setText(text);
}

void SignWindow::logLine(const QString& text)
{
    m_txtLog->appendPlainText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss ")) + text);
}

void SignWindow::receive(const sign::Event& event)
{
    logLine(sign::formatText(event));
    if (!event.isTransmission)
        return;
    const sign::Transmission& t = event.transmission;
    if (!t.accepted()) {
        // A cancelled or broken transmission is not taken: the sign keeps what it was showing.
        return;
    }
    if (t.kind == sign::Transmission::Kind::Message) {
        m_matrix->setPages(matrixPages(t));
        m_lblMensaje->setText(QStringLiteral("Mostrando el mensaje recibido a las %1: %2 paginas")
                                  .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")))
                                  .arg(t.pages.size()));
    } else if (t.kind == sign::Transmission::Kind::Clock && t.clockValid) {
        const QDateTime set(QDate(2000 + t.clock.year, t.clock.month, t.clock.day),
                            QTime(t.clock.hour, t.clock.minute, t.clock.second));
        m_matrix->setClockOffsetMs(m_matrix->computerClock().now().msecsTo(set));
    }
}
