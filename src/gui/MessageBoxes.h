#pragma once
// Every message box of the program goes through here, so that the windows
// can be driven in tests without a person to answer the boxes.

#include <QString>

#include <functional>

class QWidget;

namespace zelvant {

enum class MessageKind { Information, Warning, Error, Question };

// Shows text; for a Question, true means Yes (the default button is No).
// Anything else returns true.
using MessageHandler = std::function<bool(QWidget *parent, MessageKind kind, const QString &text)>;

// Replaces the real boxes (tests); an empty handler restores them. Returns
// the handler that was installed before.
MessageHandler setMessageHandler(MessageHandler handler);

bool showMessage(QWidget *parent, MessageKind kind, const QString &text);

inline void showErrorBox(QWidget *parent, const QString &text)
{
    showMessage(parent, MessageKind::Error, text);
}

inline bool askYesNo(QWidget *parent, const QString &text)
{
    return showMessage(parent, MessageKind::Question, text);
}

} // namespace zelvant
