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
    matrix_ = new LedMatrix(frame);
    matrix_->setObjectName(QStringLiteral("ledMatrix"));
    matrix_->setMinimumHeight(72);
    frameLayout->addWidget(matrix_);
    layout->addWidget(frame);

    lblPuerto_ = new QLabel(central);
    lblPuerto_->setObjectName(QStringLiteral("lblPuerto"));
    lblPuerto_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(lblPuerto_);
    lblMensaje_ = new QLabel(QStringLiteral("Esperando un mensaje..."), central);
    lblMensaje_->setObjectName(QStringLiteral("lblMensaje"));
    layout->addWidget(lblMensaje_);

    txtLog_ = new QPlainTextEdit(central);
    txtLog_->setObjectName(QStringLiteral("txtLog"));
    txtLog_->setReadOnly(true);
    txtLog_->setMaximumBlockCount(5000);
    txtLog_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtLog_->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(txtLog_, 1);

    setCentralWidget(central);
    resize(900, 480);
}

void SignWindow::setPortText(const QString& text)
{
    lblPuerto_->setText(text);
}

void SignWindow::logLine(const QString& text)
{
    txtLog_->appendPlainText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss ")) + text);
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
        matrix_->setPages(matrixPages(t));
        lblMensaje_->setText(QStringLiteral("Mostrando el mensaje recibido a las %1: %2 paginas")
                                 .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")))
                                 .arg(t.pages.size()));
    } else if (t.kind == sign::Transmission::Kind::Clock && t.clockValid) {
        const QDateTime set(QDate(2000 + t.clock.year, t.clock.month, t.clock.day),
                            QTime(t.clock.hour, t.clock.minute, t.clock.second));
        matrix_->setClockOffsetMs(matrix_->computerClock().now().msecsTo(set));
    }
}
