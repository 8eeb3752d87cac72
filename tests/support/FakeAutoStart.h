#pragma once
// An autostart entry that only records what the program asked of it, so
// that a test never touches the user's autostart folder.

#include <QList>
#include <QString>

#include "core/config/AutoStart.h"

namespace zelvant::test {

class FakeAutoStart : public AutoStart
{
public:
    bool setAutoStart(bool on, QString *error) override
    {
        calls.append(on);
        if (!failWith.isEmpty() && error)
            *error = failWith;
        return failWith.isEmpty();
    }
    bool isRegistered() const override { return !calls.isEmpty() && calls.last(); }

    QList<bool> calls;
    QString failWith; // when set, every call fails with it
};

} // namespace zelvant::test
