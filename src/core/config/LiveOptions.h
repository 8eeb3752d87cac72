#pragma once
// The options the running program goes by. Whoever changes them applies a
// whole new set; the request timer, the tray and the phones window follow
// the change signal.

#include <QObject>

#include "core/config/Settings.h"

namespace zelvant {

class LiveOptions : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    const Options &values() const { return m_values; }
    // Takes next as the running options; changed() follows when any differs.
    void apply(const Options &next);

Q_SIGNALS:
    void changed(const Options &now, const Options &before);

private:
    Options m_values;
};

} // namespace zelvant
