#include "gui/TopmostUnlessBlocked.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace zelvant {

TopmostUnlessBlocked::TopmostUnlessBlocked(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    window->installEventFilter(this);
}

bool TopmostUnlessBlocked::isOnTop() const
{
    const QWindow *handle = m_window->windowHandle();
    return handle ? handle->flags().testFlag(Qt::WindowStaysOnTopHint)
                  : m_window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

bool TopmostUnlessBlocked::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::WindowBlocked:
            apply(false);
            break;
        case QEvent::WindowUnblocked:
            apply(true);
            break;
        case QEvent::Show:
            // Shown while a modal window is open: it must come up beneath it.
            apply(QGuiApplication::modalWindow() == nullptr);
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void TopmostUnlessBlocked::apply(bool onTop)
{
    // Only the native window's flag changes: changing the widget's flags
    // would hide the window and show it again, losing its place.
    if (QWindow *handle = m_window->windowHandle())
        handle->setFlag(Qt::WindowStaysOnTopHint, onTop);
}

} // namespace zelvant
