#include "core/tray/TrayService.h"

#include "core/config/AppContext.h"
#include "core/tray/BalanceIcon.h"

namespace zelvant {

void ShowTrayBalance(TrayService &tray, const PhoneList &phones,
                     const PhoneResultsArray &results)
{
    tray.TraySetIcon(StandardTrayIcon());
    for (int slot = 1; slot <= PhoneSlotCount; ++slot) {
        if (!phones.IsTrayShown(slot) || !phones.IsMonitored(slot))
            continue;
        float balance = results[slot].Balance;
        if (balance == float(NotFoundSentinel))
            return;
        // Thousands are shown as a short number; large debts are not.
        if (balance > 999)
            balance /= 1000;
        tray.TraySetIcon(CreateValueIcon(balance));
        return;
    }
}

void ShowTrayBalance(TrayService &tray, const AppContext &context)
{
    ShowTrayBalance(tray, context.phones, context.results);
}

} // namespace zelvant
