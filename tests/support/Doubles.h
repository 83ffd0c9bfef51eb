// The doubles a test hands to the window for its services: boxes and file dialogs answered from queues and
// recorded, programs recorded instead of started or ended, a clock the test sets, a settings file of its own.
#pragma once

#include "gui/platform/Services.h"

#include <QList>
#include <QStringList>
#include <QTest>

namespace testenv
{
// Each box takes the next queued answer and is recorded. A box with nothing queued is recorded as unexpected
// (which fails the test, see noUnexpectedPrompts) and answered No, or Ok for an Ok box. While `showInstead` is
// set, boxes go there unrecorded: the real box, for a test that clicks it.
class QueuedPrompter final : public Prompter
{
public:
    QList<MsgAnswer> answers;
    QList<MsgBoxContent> shown;
    QList<MsgBoxContent> unexpected;
    int beeps = 0;
    Prompter* showInstead = nullptr;

    void Beep() override { ++beeps; }

protected:
    MsgAnswer answer(const MsgBoxContent& box, QWidget* parent) override
    {
        if (showInstead)
            return showInstead->MsgBox(box.text, box.buttons, box.icon, box.title, parent, box.detail);
        shown.append(box);
        if (!answers.isEmpty())
            return answers.takeFirst();
        unexpected.append(box);
        return box.buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
    }
};

// What a file dialog was asked to show.
struct ShownDialog
{
    bool save;
    QString filter;
    int flags;
    QString proposedFileName;
};

// Each dialog takes the next queued path ("" cancels) and is recorded; one with nothing queued is recorded as
// unexpected and cancelled. While `showInstead` is set, dialogs go there unrecorded.
class QueuedFileChooser final : public FileChooser
{
public:
    QList<QString> fileNames;
    QList<ShownDialog> shown;
    QList<ShownDialog> unexpected;
    FileChooser* showInstead = nullptr;

    QString chooseToOpen(const CommonDialog& dialog, QWidget* parent) override
    {
        return showInstead ? showInstead->chooseToOpen(dialog, parent) : choose(dialog, false);
    }
    QString chooseToSave(const CommonDialog& dialog, QWidget* parent) override
    {
        return showInstead ? showInstead->chooseToSave(dialog, parent) : choose(dialog, true);
    }

private:
    QString choose(const CommonDialog& dialog, bool save)
    {
        const ShownDialog asked{save, dialog.Filter, dialog.Flags, dialog.FileName};
        shown.append(asked);
        if (!fileNames.isEmpty())
            return fileNames.takeFirst();
        unexpected.append(asked);
        return QString();
    }
};

// The test's own process never ends: the calls are counted. Nothing in the window starts a program, so a start
// fails the test.
class RecordingPrograms final : public platform::ProgramStarter
{
public:
    int endCount = 0;

    bool start(const QString& program, const QStringList&) override
    {
        QTest::qFail(qPrintable(QStringLiteral("a program was started: ") + program), __FILE__, __LINE__);
        return false;
    }
    void endThisProgram() override { ++endCount; }
};

// The system's clock until the test sets a time; then that time, standing still. The program's own pauses are
// shortened by `waitScale` (0: none at all, 1: real time).
class SettableClock final : public platform::Clock
{
public:
    QDateTime time;
    double waitScale = 1.0;
    QDateTime now() const override { return time.isValid() ? time : QDateTime::currentDateTime(); }
    void pause(double seconds) const override { Clock::pause(seconds * waitScale); }
};

// One test's doubles; services() hands them to a window or a dialog.
struct Doubles
{
    QueuedPrompter prompter;
    QueuedFileChooser files;
    RecordingPrograms programs;
    SettableClock clock;
    platform::SettingsStore settings = platform::SettingsStore::inFile(QString());

    QString programFolder;

    Services services() { return Services{prompter, files, programs, clock, settings, programFolder}; }
};

// The current test's doubles: testenv::reset puts them back to nothing queued, nothing recorded.
Doubles& doubles();
} // namespace testenv
