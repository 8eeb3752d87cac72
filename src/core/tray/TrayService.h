#pragma once
// The notification-area icon as the library sees it, and the balance the
// tray shows. The widgets layer implements TrayService with QSystemTrayIcon;
// tests implement it to watch what is set.

#include <QImage>
#include <QString>

#include "core/config/TrayIconStyle.h"

namespace zelvant {

class PhoneList;
class PhoneResults;

constexpr int TrayTipMaxLength = 63;

class TrayService
{
public:
    virtual ~TrayService() = default;
    virtual bool trayAdd(const QImage &icon, const QString &tip) = 0;
    virtual bool traySetTip(const QString &tip) = 0; // cut to 63 characters
    virtual bool traySetIcon(const QImage &icon) = 0;
    virtual bool trayRemove() = 0;
    // The colours of the icon on the desktop; the drawings stay as they are.
    virtual void setIconStyle(TrayIconStyle) {}
    // A desktop notification from the icon; false when none can be shown
    // (no tray, or a tray that shows nothing).
    virtual bool trayShowMessage(const QString &title, const QString &text)
    {
        Q_UNUSED(title);
        Q_UNUSED(text);
        return false;
    }
};

// The icon of the first slot shown in the tray and monitored: its balance,
// or the standard icon when there is none.
QImage trayBalanceIcon(const PhoneList &phones, const PhoneResults &results);

} // namespace zelvant
