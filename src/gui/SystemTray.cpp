#include "gui/SystemTray.h"

#include <QIcon>
#include <QMenu>
#include <QPixmap>

namespace zelvant {

namespace {
QIcon toIcon(const QImage &image)
{
    return QIcon(QPixmap::fromImage(image));
}
} // namespace

SystemTray::SystemTray(QObject *parent)
    : QObject(parent)
{
}

SystemTray::~SystemTray()
{
    delete m_icon;
}

bool SystemTray::trayAdd(const QImage &icon, const QString &tip)
{
    if (!m_icon) {
        m_icon = new QSystemTrayIcon(this);
        connect(m_icon, &QSystemTrayIcon::activated, this, &SystemTray::activated);
        if (m_menu)
            m_icon->setContextMenu(m_menu);
    }
    m_icon->setIcon(toIcon(icon));
    m_icon->setToolTip(tip.left(TrayTipMaxLength));
    m_icon->show();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool SystemTray::traySetTip(const QString &tip)
{
    if (!m_icon)
        return false;
    m_icon->setToolTip(tip.left(TrayTipMaxLength));
    return true;
}

bool SystemTray::traySetIcon(const QImage &icon)
{
    if (!m_icon)
        return false;
    m_icon->setIcon(toIcon(icon));
    return true;
}

bool SystemTray::trayRemove()
{
    if (!m_icon)
        return false;
    m_icon->hide();
    return true;
}

bool SystemTray::trayShowMessage(const QString &title, const QString &text)
{
    if (!m_icon || !m_icon->isVisible())
        return false;
    m_icon->showMessage(title, text, QSystemTrayIcon::Warning);
    return true;
}

void SystemTray::setContextMenu(QMenu *menu)
{
    m_menu = menu;
    if (m_icon)
        m_icon->setContextMenu(menu);
}

QString SystemTray::toolTip() const
{
    return m_icon ? m_icon->toolTip() : QString();
}

bool SystemTray::isShown() const
{
    return m_icon && m_icon->isVisible();
}

} // namespace zelvant
