#pragma once
// A message to the user that comes to them rather than waiting in a window:
// the desktop's notification, or the tray icon's balloon where there is none.
// The rules that decide when to tell something live elsewhere (AlertRules);
// this is only the way out.

#include <QString>

namespace zelvant {

// The desktop's urgency levels, in the order of the notification protocol.
enum class Urgency { Low = 0, Normal = 1, Critical = 2 };

struct Notification
{
    QString title;
    QString body; // lines separated by '\n'
    Urgency urgency = Urgency::Normal;
    bool operator==(const Notification &) const = default;
};

class Notifier
{
public:
    virtual ~Notifier() = default;
    virtual void notify(const QString &title, const QString &body, Urgency urgency) = 0;
    void notify(const Notification &n) { notify(n.title, n.body, n.urgency); }
};

} // namespace zelvant
