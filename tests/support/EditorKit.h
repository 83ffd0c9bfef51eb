// Helpers for tests that drive the real main window: widgets by objectName and a message put in place.
#pragma once

#include "editor/FrmMain.h"
#include "editor/FileCommands.h"
#include "files/MessageFile.h"
#include "model/Module1.h"
#include "platform/MsgBox.h"
#include "platform/Program.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <memory>

namespace editorkit
{
// Everything a test of the window starts from: the seam scripted, the file globals empty, a new window.
inline std::unique_ptr<FrmMain> freshWindow(const QTemporaryDir& dir, double waitScale = 0.0)
{
    testenv::reset(dir, waitScale);
    Module1::MsgFileName.clear();
    Module1::MsgFilePath.clear();
    Module1::MsgSaveAs = false;
    platform::testing::scriptedEnd = true;
    platform::testing::endCount = 0;
    // Start-up opens the serial port from the settings; a fresh store names a port these tests do not
    // have, and the one "Error #03" box that follows is answered here and forgotten.
    platform::testing::queuedAnswers = {MsgAnswer::Ok};
    auto window = std::make_unique<FrmMain>();
    platform::testing::queuedAnswers.clear();
    platform::testing::shownBoxes.clear();
    platform::testing::unexpectedBoxes.clear();
    return window;
}

template <typename T> T* child(FrmMain& w, const char* name)
{
    T* found = w.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no widget %s", name);
    return found;
}

inline QLineEdit* txtMensaje(FrmMain& w) { return child<QLineEdit>(w, "txtMensaje"); }
inline QLineEdit* txtGoto(FrmMain& w) { return child<QLineEdit>(w, "txtGoto"); }
inline QComboBox* cboEfe(FrmMain& w) { return child<QComboBox>(w, "cboEfe"); }
inline QComboBox* cboPausa(FrmMain& w) { return child<QComboBox>(w, "cboPausa"); }
inline QRadioButton* optCenter(FrmMain& w) { return child<QRadioButton>(w, "optCenter"); }
inline QRadioButton* optLeft(FrmMain& w) { return child<QRadioButton>(w, "optLeft"); }
inline QFrame* fraMensaje(FrmMain& w) { return child<QFrame>(w, "fraMensaje"); }
inline QToolButton* button(FrmMain& w, const char* name) { return child<QToolButton>(w, name); }
inline QAction* action(FrmMain& w, const char* name) { return child<QAction>(w, name); }
inline QString shownPage(FrmMain& w)
{
    return child<QLineEdit>(w, "txtPag")->text() + QStringLiteral(" de ") + child<QLineEdit>(w, "txtDe")->text();
}

inline void click(FrmMain& w, const char* name) { button(w, name)->click(); }
inline void goTo(FrmMain& w, int page)
{
    txtGoto(w)->setText(QString::number(page));
    click(w, "cmdGtoPag");
}
inline QStringList numbered(int count)
{
    QStringList texts;
    for (int i = 1; i <= count; ++i)
        texts << QStringLiteral("P%1").arg(i);
    return texts;
}

// The last scripted box must be exactly this one.
inline void checkLastBox(const QString& title, const QString& text, MsgIcon icon, MsgButtons buttons)
{
    QVERIFY(!platform::testing::shownBoxes.isEmpty());
    const auto& box = platform::testing::shownBoxes.last();
    QCOMPARE(box.title, title);
    QCOMPARE(box.text, text);
    QCOMPARE(box.icon, icon);
    QCOMPARE(box.buttons, buttons);
}

// Opens a new message (New) and fills its pages as a load would: page 1 shown, nothing modified.
inline void openMessage(FrmMain& w, const QStringList& texts)
{
    w.Nuevo_Click();
    for (int i = 0; i < texts.size(); ++i)
        Module1::PageText[i + 1] = texts[i];
    Module1::PageCount = static_cast<std::uint8_t>(qMax(1, static_cast<int>(texts.size())));
    Module1::CurrentPage = 1;
    w.RefMensaje();
    Module1::MsgModified = false;
}

inline QStringList modelTexts()
{
    QStringList texts;
    for (int i = 1; i <= Module1::PageCount; ++i)
        texts.append(Module1::PageText[i]);
    return texts;
}

// True when every slot above PageCount is blank.
inline bool slotsAboveCountBlank()
{
    for (int i = Module1::PageCount + 1; i <= Module1::MaxPages; ++i)
        if (!Module1::PageText[i].isEmpty() || Module1::PageEffect[i] || Module1::PagePause[i] ||
            Module1::PageAlign[i])
            return false;
    return true;
}
} // namespace editorkit
