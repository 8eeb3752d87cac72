#pragma once
// Drives modal dialogs in window tests: runs test code once a dialog's own
// event loop is up, answers message boxes from a script, and never lets a
// forgotten dialog hang the test program.

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <functional>

#include "gui/DialogSupport.h"

namespace zelvant::test {

// Records every message box instead of showing it; questions are answered
// from `answers` in order (No when the list is exhausted).
class RecordingMessageBoxes
{
public:
    RecordingMessageBoxes()
    {
        m_previous = setMessageHandler([this](QWidget *, MessageKind kind, const QString &text) {
            if (kind != MessageKind::Question) {
                errors << text;
                return true;
            }
            questions << text;
            return answers.isEmpty() ? false : answers.takeFirst();
        });
    }
    ~RecordingMessageBoxes() { setMessageHandler(m_previous); }
    RecordingMessageBoxes(const RecordingMessageBoxes &) = delete;
    RecordingMessageBoxes &operator=(const RecordingMessageBoxes &) = delete;

    QStringList errors; // every box that is not a question
    QStringList questions;
    QList<bool> answers;

private:
    MessageHandler m_previous;
};

// Types text key by key into a widget; unlike QTest::keyClicks it also
// types letters outside Latin-1 (Cyrillic aliases and region names).
inline void TypeText(QWidget *widget, const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() < 128)
            QTest::keyClick(widget, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// The dialog that is modal right now, if any.
inline QDialog *ActiveDialog()
{
    return qobject_cast<QDialog *>(QApplication::activeModalWidget());
}

// Runs `body` with the next dialog that becomes modal, other than `notThis`
// (by default the dialog that is modal now). If body leaves that dialog
// open, it is cancelled afterwards so the caller's exec() returns.
inline void WhenModal(std::function<void(QDialog *)> body, QDialog *notThis = ActiveDialog(),
                      int attempts = 500)
{
    QPointer<QDialog> excluded = notThis;
    QTimer::singleShot(attempts == 500 ? 0 : 10,
                       [body = std::move(body), excluded, notThis, attempts]() mutable {
                           QPointer<QDialog> dialog = ActiveDialog();
                           if (!dialog || (notThis && dialog == excluded)) {
                               if (attempts > 0)
                                   WhenModal(std::move(body), notThis, attempts - 1);
                               else
                                   qWarning("no dialog became modal");
                               return;
                           }
                           body(dialog);
                           if (dialog && dialog->isVisible())
                               dialog->reject();
                       });
}

// Runs dialog.exec() with body inside its event loop; a watchdog cancels
// every dialog still open after 20 s so a failing test cannot hang.
inline int ExecWith(QDialog &dialog, std::function<void()> body)
{
    bool ran = false;
    QTimer::singleShot(0, &dialog, [&] {
        ran = true;
        body();
        if (dialog.isVisible())
            dialog.reject();
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        while (QDialog *open = ActiveDialog())
            open->reject();
    });
    watchdog.start(20000);
    const int result = dialog.exec();
    if (!ran)
        qWarning("dialog closed before the test code ran");
    return result;
}

} // namespace zelvant::test
