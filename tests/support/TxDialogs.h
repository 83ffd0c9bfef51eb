// Helpers for the send and date dialog tests: buttons by name, and every status text the dialog shows.
#pragma once

#include "link/TxDialog.h"

#include <QAbstractButton>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace txdialogs
{
inline QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

inline void click(QWidget* dlg, const char* name)
{
    auto* b = dlg->findChild<QPushButton*>(QLatin1String(name));
    QVERIFY2(b, name);
    QTest::mouseClick(b, Qt::LeftButton);
}

// The text of the label or button `name`, and whether a label's picture is there.
inline QString textOf(QWidget* dlg, const char* name)
{
    if (auto* label = dlg->findChild<QLabel*>(QLatin1String(name)))
        return label->pixmap().isNull() ? label->text() : QStringLiteral("<picture>");
    if (auto* b = dlg->findChild<QAbstractButton*>(QLatin1String(name)))
        return b->text();
    return QStringLiteral("<no %1>").arg(QLatin1String(name));
}

// Every text the first panel shows, with the bar's value at that moment.
struct Recorder
{
    QStringList texts;
    QList<int> bar;
    explicit Recorder(TxDialog& dlg)
    {
        auto* b = dlg.findChild<QProgressBar*>(QStringLiteral("progressBar"));
        QObject::connect(&dlg, &TxDialog::panel1Changed, [this, b](const QString& t) {
            texts.append(t);
            bar.append(b->value());
        });
    }
};

// Runs `action` in the wait that follows the moment the panel shows `text`.
inline void onText(TxDialog& dlg, const QString& text, std::function<void()> action)
{
    QObject::connect(&dlg, &TxDialog::panel1Changed, [&dlg, text, action](const QString& t) {
        if (t == text)
            QTimer::singleShot(0, &dlg, action);
    });
}

// Shows the dialog without a modal loop and clicks "Enviar"; returns once the dialog has closed.
inline void send(TxDialog& dlg)
{
    dlg.show();
    click(&dlg, "cmdOK");
    QVERIFY(!dlg.isVisible());
}
} // namespace txdialogs
