// Test environment helpers.
#include "support/TestEnv.h"

#include "model/Module1.h"
#include "platform/Clock.h"
#include "platform/CommonDialog.h"
#include "platform/MsgBox.h"
#include "platform/Program.h"
#include "platform/SettingsStore.h"
#include "platform/Wait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <memory>

namespace testenv
{
void reset(const QTemporaryDir& dir, double waitScale)
{
    Module1::clearModel();
    using namespace platform::testing;
    scriptedBoxes = true;
    queuedAnswers.clear();
    shownBoxes.clear();
    unexpectedBoxes.clear();
    beepCount = 0;
    scriptedDialogs = true;
    queuedFileNames.clear();
    shownDialogs.clear();
    unexpectedDialogs.clear();
    scriptedPrograms = true;
    startResult = true;
    startedPrograms.clear();
    fixedNow = QDateTime();
    platform::testing::waitScale = waitScale;
    settingsFile = dir.filePath(QStringLiteral("Tivor.conf"));
    QFile::remove(settingsFile);
}

bool noUnexpectedPrompts()
{
    using namespace platform::testing;
    for (const auto& box : unexpectedBoxes)
        qWarning("unanswered message box: %s / %s", qPrintable(box.title), qPrintable(box.text));
    for (const auto& dlg : unexpectedDialogs)
        qWarning("unanswered file dialog, filter %s", qPrintable(dlg.filter));
    return unexpectedBoxes.isEmpty() && unexpectedDialogs.isEmpty() && queuedAnswers.isEmpty() &&
           queuedFileNames.isEmpty();
}

void onNextModal(std::function<void(QWidget*)> action, int timeoutMs)
{
    auto timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action, timeoutMs]() {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(w);
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}
} // namespace testenv
