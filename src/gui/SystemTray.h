#pragma once
// The tray icon on the desktop at hand. Where a StatusNotifierWatcher with a
// host runs on the session bus (KDE Plasma, GNOME with the AppIndicator
// extension, Xfce), the icon is a StatusNotifierItem of our own; elsewhere
// (XEmbed trays, Windows) it is a QSystemTrayIcon. The watcher is followed for
// the whole run: a panel that starts after the program, or restarts, gets the
// icon within moments. Without any notification area the program still runs;
// trayPresenceKnown() then says so, and the program shows its window instead.
//
// Under Wayland no QSystemTrayIcon is ever made: Qt could only offer the same
// StatusNotifierItem, and made without a watcher it falls back to X11 code
// that warns at start.

#include <QImage>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include "core/config/TrayIconStyle.h"
#include "core/tray/Notifier.h"
#include "core/tray/TrayService.h"

class QDBusServiceWatcher;
class QTimer;

namespace zelvant {

class StatusNotifierItem;

class SystemTray : public QObject, public TrayService
{
    Q_OBJECT
public:
    explicit SystemTray(QObject *parent = nullptr);
    ~SystemTray() override;

    bool trayAdd(const QImage &icon, const QString &tip) override;
    bool traySetTip(const QString &tip) override;
    bool traySetIcon(const QImage &icon) override;
    bool trayRemove() override;
    void setIconStyle(TrayIconStyle style) override;
    bool trayShowMessage(const QString &title, const QString &text) override;

    // Shown by the tray itself on a right click.
    void setContextMenu(QMenu *menu);
    QString toolTip() const;
    bool isShown() const;
    // The icon's own balloon: the way out for notifications where the
    // desktop has no notification service.
    void showMessage(const QString &title, const QString &body, Urgency urgency);
    // True while the icon is shown through the StatusNotifierWatcher.
    bool isStatusNotifierItem() const;
    // Whether a notification area shows the icon, once it is known (false
    // until then).
    bool hasTrayHost() const { return m_trayHost; }

Q_SIGNALS:
    // Told once it is known after trayAdd() whether any notification area is
    // there, and again whenever that changes.
    void trayHostChanged(bool present);
    void activated(QSystemTrayIcon::ActivationReason reason);
    void messageClicked();

private:
    enum class Host { Unknown, Asking, StatusNotifier, Other };

    void show();
    void showAsItem();
    void showAsQtIcon();
    void followStatusNotifierWatcher();
    void askForStatusNotifierHost();
    void setHost(Host host);
    void updateTrayHost();

    QImage m_drawing;
    QString m_tip;
    TrayIconStyle m_style = TrayIconStyle::DarkOutlined;
    bool m_added = false;
    Host m_host = Host::Unknown;
    QSystemTrayIcon *m_qtIcon = nullptr;
    QPointer<QMenu> m_menu;
    StatusNotifierItem *m_item = nullptr;
    QDBusServiceWatcher *m_watcher = nullptr;
    bool m_itemRegistered = false;
    bool m_trayHost = false;
    bool m_trayHostKnown = false;
    QTimer *m_xembedPoll = nullptr;
};

} // namespace zelvant
