#pragma once
// The notification-area icon as the library sees it, and the balance the
// tray shows. The widgets layer implements TrayService with QSystemTrayIcon;
// tests implement it to watch what is set.

#include <QImage>
#include <QString>

namespace zelvant {

class AppContext;
class PhoneList;
class PhoneResultsArray;

constexpr int TrayTipMaxLength = 63;

class TrayService
{
public:
    virtual ~TrayService() = default;
    virtual bool TrayAdd(const QImage &icon, const QString &tip) = 0;
    virtual bool TraySetTip(const QString &tip) = 0; // cut to 63 characters
    virtual bool TraySetIcon(const QImage &icon) = 0;
    virtual bool TrayRemove() = 0;
};

// A tray that shows nothing: for runs without a desktop (the headless check,
// benchmarks), where the cycle still sets its icons and tips.
class NullTrayService : public TrayService
{
public:
    bool TrayAdd(const QImage &, const QString &) override { return true; }
    bool TraySetTip(const QString &) override { return true; }
    bool TraySetIcon(const QImage &) override { return true; }
    bool TrayRemove() override { return true; }
};

// First TrayShow-and-Monitor slot's balance, or the standard icon.
void ShowTrayBalance(TrayService &tray, const AppContext &context);
// The same from the slots and results alone.
void ShowTrayBalance(TrayService &tray, const PhoneList &phones,
                     const PhoneResultsArray &results);

} // namespace zelvant
