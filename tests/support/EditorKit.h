// Helpers for tests that drive the real main window and its dialogs: widgets by objectName, steps, one state line.
#pragma once

#include "core/files/MessageFile.h"
#include "core/model/Message.h"
#include "core/protocol/SignProtocol.h"
#include "gui/editor/FrmMain.h"
#include "gui/editor/PageEditor.h"
#include "gui/editor/StatusLine.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QTest>
#include <memory>

namespace editorkit
{
// Everything a test of the window starts from: fresh doubles and a new window on them.
inline std::unique_ptr<FrmMain> freshWindow(const QTemporaryDir& dir)
{
    testenv::reset(dir);
    // Start-up opens the serial port from the settings; a fresh store names a port these tests do not
    // have, and the one "Error #03" box that follows is answered here and forgotten.
    testenv::Doubles& doubles = testenv::doubles();
    doubles.prompter.answers = {MsgAnswer::Ok};
    auto window = std::make_unique<FrmMain>(doubles.services());
    doubles.prompter = testenv::QueuedPrompter();
    return window;
}

template <typename T> T* child(FrmMain& w, const char* name)
{
    T* found = w.findChild<T*>(QString::fromLatin1(name));
    return found ? found : (qFatal("no widget %s", name), nullptr);
}

inline QLineEdit* txtMensaje(FrmMain& w)
{
    return child<QLineEdit>(w, "txtMensaje");
}

// Steps separated by ';', by objectName: "name value" types into a field or picks a list entry; "name" clicks a
// button, checks an option or triggers a menu item; "clean" and "dirty" clear and set the message's modified mark,
// "window" closes the window. "Y" and "N" answer the next box, "<file>" the next file dialog (a file in `folder`; "<->"
// cancels it). "^Ctrl+N" presses keys in the shown, active window, where it has the focus; "+name" drops the
// file `folder`/name on the window (when the window takes it) and lets what the drop started run.
// False, with the test failed, at the first step that cannot be taken: call it inside QVERIFY so the test
// stops there instead of running the rest against a window in an unknown state.
[[nodiscard]] inline bool run(QWidget& w, const QString& script, const QString& folder = QString())
{
    const auto failed = [](const QString& why) { return QTest::qFail(qPrintable(why), __FILE__, __LINE__), false; };
    for (const QString& step : script.split(u';', Qt::SkipEmptyParts)) {
        QObject* target = w.findChild<QObject*>(step.section(u' ', 0, 0));
        const QString value = step.section(u' ', 1);
        auto* list = qobject_cast<QComboBox*>(target);
        if (step.startsWith(u'^')) {
            w.show();
            w.activateWindow();
            if (!QTest::qWaitForWindowActive(&w))
                return failed(QStringLiteral("the window never became active for ") + step);
            QTest::keySequence(w.focusWidget() ? w.focusWidget() : &w, QKeySequence(step.mid(1)));
        } else if (step.startsWith(u'+')) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(folder + u'/' + step.mid(1))});
            QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QDropEvent drop(QPointF(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            if (QCoreApplication::sendEvent(&w, &enter), enter.isAccepted())
                QCoreApplication::sendEvent(&w, &drop);
            QCoreApplication::processEvents();
        } else if (step == QLatin1String("Y") || step == QLatin1String("N"))
            testenv::doubles().prompter.answers << (step == QLatin1String("Y") ? MsgAnswer::Yes : MsgAnswer::No);
        else if (step.startsWith(u'<'))
            testenv::doubles().files.fileNames << (step == "<->" ? QString() : folder + u'/' + step.mid(1).chopped(1));
        else if (list && list->isEditable()) {
            // Typed as a user does, in the focused field: completion only acts there.
            w.activateWindow();
            list->lineEdit()->setFocus();
            if (!QTest::qWaitFor([list] { return list->lineEdit()->hasFocus(); }))
                return failed(QStringLiteral("no focus for ") + step);
            list->lineEdit()->clear();
            QTest::keyClicks(list->lineEdit(), value);
        } else if (list)
            list->setCurrentIndex(value.toInt());
        else if (auto* edit = qobject_cast<QLineEdit*>(target))
            edit->setText(value);
        else if (auto* option = qobject_cast<QRadioButton*>(target))
            option->setChecked(true);
        else if (auto* button = qobject_cast<QAbstractButton*>(target))
            button->click();
        else if (auto* item = qobject_cast<QAction*>(target))
            item->trigger();
        else if (step == QLatin1String("window"))
            w.close();
        else if (auto* main = qobject_cast<FrmMain*>(&w);
                 main && (step == QLatin1String("clean") || step == QLatin1String("dirty")))
            main->editor().message().modified = step == QLatin1String("dirty");
        else
            return failed(QStringLiteral("unknown step ") + step);
    }
    return true;
}

// The pages as "effect,pause,align,text" joined by '|'; a slot above the count that is not blank shows as "!N".
inline QString modelString(FrmMain& w)
{
    const Message& m = w.editor().message();
    QStringList pages;
    for (int i = 1; i <= MaxPages; ++i) {
        if (i <= m.count)
            pages << QStringLiteral("%1,%2,%3,").arg(m.effect[i]).arg(m.pause[i]).arg(m.align[i]) + m.text[i];
        else if (!m.text[i].isEmpty() || m.effect[i] || m.pause[i] || m.align[i])
            pages << QStringLiteral("!%1").arg(i);
    }
    return pages.join(u'|');
}

// The editor as the operator sees it, in one line: "2 de 3 [text] e1 p3 C *". A trailing x marks a disabled
// field, "=Codigo N" the extra entry of a list, C/L the alignment (- for neither), * a modified message; "closed" leads
// when no message is open.
inline QString state(FrmMain& w)
{
    QWidget* frame = child<QWidget>(w, "fraMensaje");
    const auto field = [frame](QWidget* f, const QString& s) { return f->isEnabledTo(frame) ? s : s + u'x'; };
    const auto list = [&field](QComboBox* box, qsizetype size) {
        const QString extra = box->count() > size ? u'=' + box->itemText(size) : QString();
        return field(box, QString::number(box->currentIndex()) + extra);
    };
    return QString(w.editor().messageOpen() ? "" : "closed ") + child<QLineEdit>(w, "txtPag")->text() + " de " +
           child<QLineEdit>(w, "txtDe")->text() + field(txtMensaje(w), " [" + txtMensaje(w)->text() + ']') + " e" +
           list(child<QComboBox>(w, "cboEfe"), signproto::EffectCount) + " p" +
           list(child<QComboBox>(w, "cboPausa"), signproto::PauseList.size()) +
           (child<QRadioButton>(w, "optCenter")->isChecked() ? " C"
            : child<QRadioButton>(w, "optLeft")->isChecked() ? " L"
                                                             : " -") +
           (w.editor().message().modified ? " *" : "");
}
} // namespace editorkit
