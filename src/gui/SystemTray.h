#pragma once
// The tray icon through QSystemTrayIcon. Without a notification area the
// program still runs; the icon then simply is not seen.

#include <QObject>
#include <QSystemTrayIcon>

#include "core/tray/TrayService.h"

class QMenu;

namespace zelvant {

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
    bool trayShowMessage(const QString &title, const QString &text) override;

    // Shown by the tray itself on a right click.
    void setContextMenu(QMenu *menu);
    QString toolTip() const;
    bool isShown() const;

Q_SIGNALS:
    void activated(QSystemTrayIcon::ActivationReason reason);

private:
    QSystemTrayIcon *m_icon = nullptr;
    QMenu *m_menu = nullptr;
};

} // namespace zelvant
