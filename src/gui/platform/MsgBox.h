// Message boxes and the system beep, behind an interface that a test answers with a double of its own.
#pragma once

#include <QString>

class QWidget;

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { Information, Critical, Warning, Question };
enum class MsgAnswer { Ok, Yes, No };

// What one box says.
struct MsgBoxContent
{
    QString text;
    QString title;
    MsgButtons buttons;
    MsgIcon icon;
    QString detail; // the box's detailed text
};

// The window, its dialogs and its helpers ask the operator through one of these.
class Prompter
{
public:
    virtual ~Prompter() = default;

    // Shows a modal box and returns the button pressed.
    MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title,
                     QWidget* parent = nullptr, const QString& detail = QString())
    {
        return answer(MsgBoxContent{text, title, buttons, icon, detail}, parent);
    }
    virtual void Beep() = 0;

protected:
    virtual MsgAnswer answer(const MsgBoxContent& box, QWidget* parent) = 0;
};

// QMessageBox and the system's beep.
class BoxPrompter final : public Prompter
{
public:
    void Beep() override;

protected:
    MsgAnswer answer(const MsgBoxContent& box, QWidget* parent) override;
};
