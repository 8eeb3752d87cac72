#pragma once
// Keeps a window on top of the others except while a modal window blocks
// it. A window that stays on top would otherwise cover every dialog the
// program opens: they would wait, invisible, for an answer the user cannot
// give.

#include <QObject>

class QWidget;

namespace zelvant {

class TopmostUnlessBlocked : public QObject
{
    Q_OBJECT
public:
    // Watches window, which must have been made with Qt::WindowStaysOnTopHint;
    // the object is a child of the window.
    explicit TopmostUnlessBlocked(QWidget *window);

    // Whether the window is on top right now.
    bool isOnTop() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void apply(bool onTop);

    QWidget *m_window;
};

} // namespace zelvant
