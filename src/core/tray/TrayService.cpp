#include "core/tray/TrayService.h"

#include "core/config/AppContext.h"
#include "core/tray/BalanceIcon.h"

namespace zelvant {

void showTrayBalance(TrayService &tray, const PhoneList &phones, const PhoneResults &results)
{
    tray.traySetIcon(standardTrayIcon());
    for (int slot = 1; slot <= PhoneSlotCount; ++slot) {
        if (!phones.isTrayShown(slot) || !phones.isMonitored(slot))
            continue;
        float balance = results[slot].balance;
        if (balance == float(NotFoundSentinel))
            return;
        // Thousands are shown as a short number; large debts are not.
        if (balance > 999)
            balance /= 1000;
        tray.traySetIcon(createValueIcon(balance));
        return;
    }
}

void showTrayBalance(TrayService &tray, const AppContext &context)
{
    showTrayBalance(tray, context.phones, context.results);
}

} // namespace zelvant
