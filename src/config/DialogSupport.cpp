#include "config/DialogSupport.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>

#include "app/common.h"

namespace zelvant {

namespace {

class RealMessageBoxes : public MessageBoxes
{
public:
    void error(QWidget *parent, const QString &text) override
    {
        QMessageBox::critical(parent, ProgramName, text, QMessageBox::Ok);
    }
    bool askYesNo(QWidget *parent, const QString &text) override
    {
        return QMessageBox::question(parent, ProgramName, text,
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            == QMessageBox::Yes;
    }
};

RealMessageBoxes realBoxes;
MessageBoxes *currentBoxes = nullptr;

MessageBoxes &boxes()
{
    return currentBoxes ? *currentBoxes : realBoxes;
}

} // namespace

MessageBoxes *SetMessageBoxes(MessageBoxes *boxes)
{
    MessageBoxes *previous = currentBoxes;
    currentBoxes = boxes;
    return previous;
}

void ShowErrorBox(QWidget *parent, const QString &text)
{
    boxes().error(parent, text);
}

bool AskYesNo(QWidget *parent, const QString &text)
{
    return boxes().askYesNo(parent, text);
}

void CenterOnScreen(QWidget *window)
{
    QScreen *screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

} // namespace zelvant
