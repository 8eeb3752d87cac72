#pragma once
// A QMenu on the session bus as com.canonical.dbusmenu, the menu protocol of
// StatusNotifierItem hosts: the items with their captions, enabled and
// visible states and pictures; a click on an item triggers its action. The
// menu's own aboutToShow runs when the host is about to show it.

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QtDBus/QDBusConnection>

class QAction;

namespace zelvant {

inline constexpr char DBusMenuPath[] = "/MenuBar";

class DBusMenuExporter : public QObject
{
    Q_OBJECT
public:
    DBusMenuExporter(QMenu *menu, const QDBusConnection &bus, QObject *parent = nullptr);
    ~DBusMenuExporter() override;

    QMenu *menu() const { return m_menu; }
    uint revision() const { return m_revision; }
    // Item id 0 is the menu itself; item k is the menu's action k - 1.
    QAction *action(int id) const;
    QVariantMap properties(int id) const;
    void aboutToShow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

Q_SIGNALS:
    void layoutUpdated(uint revision, int parent);

private:
    void watch(QAction *action);
    void scheduleUpdate();

    QPointer<QMenu> m_menu;
    QDBusConnection m_bus;
    QTimer m_updateTimer;
    uint m_revision = 1;
};

} // namespace zelvant
