#include "core/config/LiveOptions.h"

#include <utility>

namespace zelvant {

void LiveOptions::apply(const Options &next)
{
    if (next == m_values)
        return;
    const Options before = std::exchange(m_values, next);
    Q_EMIT changed(m_values, before);
}

} // namespace zelvant
