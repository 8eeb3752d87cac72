#include "core/tray/TrayService.h"

#include "core/PhoneResult.h"
#include "core/config/PhoneList.h"
#include "core/tray/BalanceIcon.h"

namespace zelvant {

QImage trayBalanceIcon(const PhoneList &phones, const PhoneResults &results)
{
    for (int slot = 1; slot <= PhoneSlotCount; ++slot) {
        if (!phones.isTrayShown(slot) || !phones.isMonitored(slot))
            continue;
        float balance = results[slot].balance;
        if (balance == float(NotFoundSentinel))
            break;
        // Thousands are shown as a short number; large debts are not.
        if (balance > 999)
            balance /= 1000;
        return createValueIcon(balance);
    }
    return standardTrayIcon();
}

} // namespace zelvant
