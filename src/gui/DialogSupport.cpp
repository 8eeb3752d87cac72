#include "gui/DialogSupport.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace zelvant {

void centerOnScreen(QWidget *window)
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
