#include "gui/BalanceChart.h"

#include "core/Parts.h"

namespace zelvant {

BalanceChart *BalanceChart::create(QWidget *parent, QString *error)
{
    const auto create = reinterpret_cast<NewBalanceChartFunction>(
        resolvePart(QStringLiteral("chart"), NewBalanceChartSymbol, error));
    return create ? create(parent) : nullptr;
}

} // namespace zelvant
