#include "MessageBoxes.h"

#include <QMessageBox>

#include "app/common.h"

namespace zelvant {

namespace {

MessageHandler &installedHandler()
{
    static MessageHandler handler;
    return handler;
}

bool showRealBox(QWidget *parent, MessageKind kind, const QString &text)
{
    switch (kind) {
    case MessageKind::Information:
        QMessageBox::information(parent, ProgramName, text);
        return true;
    case MessageKind::Warning:
        QMessageBox::warning(parent, ProgramName, text);
        return true;
    case MessageKind::Error:
        QMessageBox::critical(parent, ProgramName, text);
        return true;
    case MessageKind::Question:
        return QMessageBox::question(parent, ProgramName, text,
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            == QMessageBox::Yes;
    }
    return true;
}

} // namespace

MessageHandler SetMessageHandler(MessageHandler handler)
{
    MessageHandler previous = std::move(installedHandler());
    installedHandler() = std::move(handler);
    return previous;
}

bool ShowMessage(QWidget *parent, MessageKind kind, const QString &text)
{
    const MessageHandler &handler = installedHandler();
    return handler ? handler(parent, kind, text) : showRealBox(parent, kind, text);
}

} // namespace zelvant
