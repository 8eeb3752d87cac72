#pragma once
// Message boxes of the configuration dialogs behind one small interface, so
// that the dialogs can be driven without a person to click the boxes, and
// the placement shared by those dialogs.

#include <QString>

class QWidget;

namespace zelvant {

class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    // An error box with an OK button.
    virtual void error(QWidget *parent, const QString &text) = 0;
    // A confirmation box with Yes and No; true for Yes.
    virtual bool askYesNo(QWidget *parent, const QString &text) = 0;
};

// Installs the boxes to use (nullptr: the real message boxes) and returns the
// previous ones. The caller keeps ownership.
MessageBoxes *SetMessageBoxes(MessageBoxes *boxes);

void ShowErrorBox(QWidget *parent, const QString &text);
bool AskYesNo(QWidget *parent, const QString &text);

// Moves a top-level window to the middle of the screen it is on.
void CenterOnScreen(QWidget *window);

} // namespace zelvant
