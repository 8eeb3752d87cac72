#include "gui/MessageBoxes.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

#include "core/AppPaths.h"

namespace zelvant {

namespace {

MessageHandler &installedHandler()
{
    static MessageHandler handler;
    return handler;
}

// The buttons carry Russian captions whatever translation Qt has loaded:
// the whole interface is Russian.
bool showRealBox(QWidget *parent, MessageKind kind, const QString &text)
{
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (kind) {
    case MessageKind::Information:
        icon = QMessageBox::Information;
        break;
    case MessageKind::Warning:
        icon = QMessageBox::Warning;
        break;
    case MessageKind::Error:
        icon = QMessageBox::Critical;
        break;
    case MessageKind::Question:
        icon = QMessageBox::Question;
        break;
    }
    QMessageBox box(icon, ProgramName, text, QMessageBox::NoButton, parent);
    if (kind != MessageKind::Question) {
        box.addButton(QCoreApplication::translate("zelvant::MessageBoxes", "ОК"),
                      QMessageBox::AcceptRole);
        box.exec();
        return true;
    }
    QPushButton *yes = box.addButton(QCoreApplication::translate("zelvant::MessageBoxes", "Да"),
                                     QMessageBox::YesRole);
    QPushButton *no = box.addButton(QCoreApplication::translate("zelvant::MessageBoxes", "Нет"),
                                    QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

} // namespace

MessageHandler setMessageHandler(MessageHandler handler)
{
    MessageHandler previous = std::move(installedHandler());
    installedHandler() = std::move(handler);
    return previous;
}

bool showMessage(QWidget *parent, MessageKind kind, const QString &text)
{
    const MessageHandler &handler = installedHandler();
    return handler ? handler(parent, kind, text) : showRealBox(parent, kind, text);
}

} // namespace zelvant
