// The tray icon as a StatusNotifierItem, seen from the desktop's side: a
// private session bus (dbus-daemon) with a StatusNotifierWatcher of the
// test's own, and the tray program's controller and tray on the offscreen
// platform. Everything is read back over D-Bus as a panel reads it.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusPendingCall>
#include <QtDBus/QDBusVariant>
#include <QtEndian>

#include "core/TextCodec.h"
#include "core/config/AppContext.h"
#include "core/config/IniFile.h"
#include "core/history/HistoryStore.h"
#include "core/retrieval/RequestCycle.h"
#include "core/tray/BalanceIcon.h"
#include "core/tray/TrayIconSet.h"
#include "gui/PhonesWindow.h"
#include "gui/SystemTray.h"
#include "gui/TrayController.h"
#include "support/FakeLumoServer.h"
#include "support/PrivateSessionBus.h"
#include "support/TempFolder.h"

using namespace zelvant;
using zelvant::test::FakeLumoServer;
using zelvant::test::PrivateSessionBus;
using zelvant::test::TempFolder;

namespace {

const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString ItemInterface = QStringLiteral("org.kde.StatusNotifierItem");

// Counts a bus signal the panel receives.
class SignalCounter : public QObject
{
    Q_OBJECT
public:
    int count = 0;
public Q_SLOTS:
    void received() { ++count; }
};

// The panel's side: a StatusNotifierWatcher that takes registrations.
class FakeWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
public:
    explicit FakeWatcher(const QDBusConnection &bus)
        : m_bus(bus)
    {
    }

    bool start(bool withHost = true)
    {
        m_host = withHost;
        return m_bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                    QDBusConnection::ExportAllContents)
               && m_bus.registerService(WatcherService);
    }
    void stop()
    {
        m_bus.unregisterService(WatcherService);
        m_bus.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
        m_items.clear();
    }
    void registerHost()
    {
        m_host = true;
        Q_EMIT StatusNotifierHostRegistered();
    }

    QStringList items() const { return m_items; }
    bool hostRegistered() const { return m_host; }
    int protocolVersion() const { return 0; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString &service)
    {
        m_items << service;
        Q_EMIT StatusNotifierItemRegistered(service);
    }
    void RegisterStatusNotifierHost(const QString &) {}

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString &service);
    void StatusNotifierHostRegistered();

private:
    QDBusConnection m_bus;
    QStringList m_items;
    bool m_host = true;
};

class StatusNotifier : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        bus = new PrivateSessionBus;
        if (!bus->start()) {
            delete bus;
            bus = nullptr;
            return;
        }
        // The program's own connection (QDBusConnection::sessionBus) goes here.
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus->address().toUtf8());
    }
    static void TearDownTestSuite()
    {
        delete bus;
        bus = nullptr;
    }

    void SetUp() override
    {
        if (!bus)
            GTEST_SKIP() << "dbus-daemon is not installed";
        // The named pictures go to the user's runtime folder: a temporary one.
        ASSERT_TRUE(QDir().mkpath(runtimeDir()));
        QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir()));
        panel = std::make_unique<QDBusConnection>(bus->connect(QStringLiteral("panel")));
        ASSERT_TRUE(panel->isConnected());
        watcher = std::make_unique<FakeWatcher>(*panel);

        // A slow answer keeps the cycle running while the menu is read.
        ASSERT_TRUE(server.start());
        FakeLumoServer::Subscriber s;
        s.number = QStringLiteral("9031112233");
        s.password = QStringLiteral("пароль");
        s.balance = 42.5;
        s.delayMs = 500;
        server.addSubscriber(s);
        temp.write(QStringLiteral("servers.ini"),
                   toWindows1251(QStringLiteral("[Образец]\r\nLoginURL=%1\r\nShortName=ОБР\r\n")
                                     .arg(server.loginUrl().toString())));
        context = std::make_unique<AppContext>(AppPaths::forFolder(temp.path()));
        PhoneSlot &p = context->phones.slot(1);
        p.number = QStringLiteral("9031112233");
        p.password = QStringLiteral("пароль");
        p.alias = QStringLiteral("Тел1");
        p.monitored = true;
        p.region = QStringLiteral("ОБР");
        context->phones.setTrayShown(1);
        ASSERT_TRUE(initHistory(context->paths.historyFile()));
    }

    void TearDown() override
    {
        // The controller owns the menu the tray shows.
        if (tray)
            tray->setContextMenu(nullptr);
        main.reset();
        tray.reset();
        if (watcher)
            watcher->stop();
        watcher.reset();
        if (panel)
            QDBusConnection::disconnectFromBus(QStringLiteral("panel"));
    }

    // The tray program's wiring of controller and tray.
    void startProgram()
    {
        tray = std::make_unique<SystemTray>();
        TrayControllerHooks hooks;
        hooks.beep = [] {};
        hooks.quit = [] {};
        hooks.openUrl = [](const QUrl &) {};
        hooks.startTimer = false;
        main = std::make_unique<TrayController>(*context, *tray, std::move(hooks));
        CycleTimings timings;
        timings.pauseBeforePhoneMs = 0;
        timings.afterPhoneMs = 0;
        timings.animationFrameMs = 10;
        main->setCycleTimings(timings);
        tray->setContextMenu(main->trayMenu());
        QObject::connect(tray.get(), &SystemTray::activated, main.get(),
                         &TrayController::trayNotify);
        tray->trayAdd(standardTrayIcon(), ProgramTitle);
    }

    // "Within a few seconds" of the watcher's appearance.
    bool waitForItem()
    {
        return QTest::qWaitFor([&] { return watcher->items().size() == 1; }, 3000);
    }

    // Calls from the panel's connection, answered while the event loop runs
    // (the item lives on this thread).
    QDBusMessage callItem(const QString &interface, const QString &method, const QVariantList &args,
                          const QString &path = QStringLiteral("/StatusNotifierItem"))
    {
        QDBusMessage call =
            QDBusMessage::createMethodCall(watcher->items().value(0), path, interface, method);
        call.setArguments(args);
        QDBusPendingCall pending = panel->asyncCall(call, 5000);
        // A call that never finishes comes back as an error reply.
        if (!QTest::qWaitFor([&] { return pending.isFinished(); }, 6000))
            ADD_FAILURE() << method.toStdString() << " was not answered";
        return pending.reply();
    }

    QVariant itemValue(const QString &name)
    {
        const QDBusMessage reply = callItem(QStringLiteral("org.freedesktop.DBus.Properties"),
                                            QStringLiteral("Get"), {ItemInterface, name});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QDBusArgument itemProperty(const QString &name)
    {
        return itemValue(name).value<QDBusArgument>();
    }

    QList<QImage> iconPixmaps()
    {
        QList<QImage> images;
        const QDBusArgument arg = itemProperty(QStringLiteral("IconPixmap"));
        arg.beginArray();
        while (!arg.atEnd()) {
            int width = 0, height = 0;
            QByteArray bytes;
            arg.beginStructure();
            arg >> width >> height >> bytes;
            arg.endStructure();
            QImage image(width, height, QImage::Format_ARGB32);
            if (bytes.size() != qsizetype(width) * height * 4)
                return {};
            for (int i = 0; i < width * height; ++i)
                image.setPixel(i % width, i / width,
                               qFromBigEndian<quint32>(bytes.constData() + 4 * i));
            images << image;
        }
        arg.endArray();
        return images;
    }

    QStringList toolTip() // title and description
    {
        const QDBusArgument arg = itemProperty(QStringLiteral("ToolTip"));
        QString iconName, title, description;
        arg.beginStructure();
        arg >> iconName;
        arg.beginArray(); // no pictures: the icon itself is the picture
        EXPECT_TRUE(arg.atEnd());
        arg.endArray();
        arg >> title >> description;
        arg.endStructure();
        return {title, description};
    }

    QList<QVariantMap> menuItems() // the properties of the root's children
    {
        const QDBusMessage reply =
            callItem(QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("GetLayout"),
                     {0, -1, QStringList()}, QStringLiteral("/MenuBar"));
        QList<QVariantMap> items;
        const QDBusArgument root = reply.arguments().value(1).value<QDBusArgument>();
        int id = 0;
        QVariantMap properties;
        root.beginStructure();
        root >> id >> properties;
        root.beginArray();
        while (!root.atEnd()) {
            QDBusVariant child;
            root >> child;
            const QDBusArgument item = child.variant().value<QDBusArgument>();
            item.beginStructure();
            item >> id >> properties;
            item.endStructure();
            items << properties;
        }
        root.endArray();
        root.endStructure();
        return items;
    }

    // What the panel must show of each menu action.
    void expectMenuAsExported()
    {
        const QList<QAction *> actions = main->trayMenu()->actions();
        const QList<QVariantMap> items = menuItems();
        ASSERT_EQ(items.size(), actions.size());
        for (qsizetype i = 0; i < actions.size(); ++i) {
            const QVariantMap &p = items.at(i);
            const QAction *a = actions.at(i);
            EXPECT_EQ(p.value(QStringLiteral("visible"), true).toBool(), a->isVisible()) << i;
            if (a->isSeparator()) {
                EXPECT_EQ(p.value(QStringLiteral("type")).toString(), QStringLiteral("separator"))
                    << i;
                continue;
            }
            EXPECT_EQ(p.value(QStringLiteral("label")).toString(), a->text());
            EXPECT_EQ(p.value(QStringLiteral("enabled"), true).toBool(), a->isEnabled())
                << a->text().toStdString();
        }
    }

    // The pixmaps, and the same pictures as the named icon in the item's
    // theme folder (under a new name; the previous picture's files gone).
    void expectIcon(const QImage &drawing, TrayIconStyle style = TrayIconStyle::DarkOutlined)
    {
        const QList<QImage> expected = trayIconSet(drawing, style);
        const QList<QImage> shown = iconPixmaps();
        ASSERT_EQ(shown.size(), expected.size());
        const QString name = itemValue(QStringLiteral("IconName")).toString();
        const QString theme = itemValue(QStringLiteral("IconThemePath")).toString();
        EXPECT_TRUE(theme.startsWith(runtimeDir())) << theme.toStdString();
        EXPECT_NE(name, previousIconName);
        // GTK hosts take only the sizes the theme's index lists.
        QFile index(theme + QStringLiteral("/hicolor/index.theme"));
        ASSERT_TRUE(index.open(QIODevice::ReadOnly));
        const QString indexText = QString::fromUtf8(index.readAll());
        for (qsizetype i = 0; i < shown.size(); ++i) {
            const int size = expected.at(i).width();
            EXPECT_EQ(shown.at(i), expected.at(i)) << "size " << size;
            EXPECT_TRUE(indexText.contains(QStringLiteral("[%1x%1/apps]\nSize=%1\n").arg(size)));
            const QString file =
                QStringLiteral("%1/hicolor/%2x%2/apps/%3.png").arg(theme).arg(size);
            EXPECT_EQ(QImage(file.arg(name)).convertToFormat(QImage::Format_ARGB32), expected.at(i))
                << file.arg(name).toStdString();
            if (!previousIconName.isEmpty()) {
                EXPECT_FALSE(QFile::exists(file.arg(previousIconName)));
            }
        }
        previousIconName = name;
    }

    QString runtimeDir() const { return temp.path() + QStringLiteral("/runtime"); }
    QString previousIconName;

    static PrivateSessionBus *bus;
    FakeLumoServer server;
    std::unique_ptr<QDBusConnection> panel;
    std::unique_ptr<FakeWatcher> watcher;
    TempFolder temp;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<SystemTray> tray;
    std::unique_ptr<TrayController> main;
};

PrivateSessionBus *StatusNotifier::bus = nullptr;

TEST_F(StatusNotifier, ItemCarriesIconTipAndMenuAndAnswersClicks)
{
    ASSERT_TRUE(watcher->start());
    startProgram();
    ASSERT_TRUE(waitForItem());
    EXPECT_TRUE(tray->isStatusNotifierItem());
    expectIcon(standardTrayIcon());
    EXPECT_EQ(toolTip(), QStringList({ProgramTitle, QString()}));
    expectMenuAsExported();

    // A cycle: the menu switches while it runs, then the tray phone's balance.
    QSignalSpy finished(main->cycle(), &RequestCycle::cycleFinished);
    ASSERT_TRUE(main->runQueryCycle(CycleMode::AllPhones));
    expectMenuAsExported();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(10000));
    ASSERT_FLOAT_EQ(main->results()[1].balance, 42.5f);
    expectIcon(createValueIcon(42.5f));
    EXPECT_EQ(toolTip(), QStringList({QStringLiteral("Тел1: 42.50"), QString()}));
    expectMenuAsExported();

    // A new tip alone sends the tip, never the pictures again.
    SignalCounter icons;
    SignalCounter tips;
    ASSERT_TRUE(panel->connect(QString(), QString(), ItemInterface, QStringLiteral("NewIcon"),
                               &icons, SLOT(received())));
    ASSERT_TRUE(panel->connect(QString(), QString(), ItemInterface, QStringLiteral("NewToolTip"),
                               &tips, SLOT(received())));
    // Every line in the title: some panels show nothing else.
    tray->traySetTip(QStringLiteral("Тел1: 1.00\r\nТел2: 2.00"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return tips.count > 0; }, 3000));
    EXPECT_EQ(icons.count, 0);
    EXPECT_EQ(toolTip(), QStringList({QStringLiteral("Тел1: 1.00\nТел2: 2.00"), QString()}));

    // A click on an item of the panel's menu runs its command.
    const int phonesItem =
        int(main->trayMenu()->actions().indexOf(main->action(MenuItem::PhonesInfo))) + 1;
    EXPECT_FALSE(main->phonesWindow()->isVisible());
    callItem(QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("Event"),
             {phonesItem, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u},
             QStringLiteral("/MenuBar"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return main->phonesWindow()->isVisible(); }, 3000));
    main->phonesWindow()->hide();

    // Left click: the phones window; right click where the panel has no menu
    // of its own: the tray menu.
    callItem(ItemInterface, QStringLiteral("Activate"), {10, 10});
    EXPECT_TRUE(QTest::qWaitFor([&] { return main->phonesWindow()->isVisible(); }, 3000));
    callItem(ItemInterface, QStringLiteral("ContextMenu"), {10, 10});
    EXPECT_TRUE(QTest::qWaitFor([&] { return main->trayMenu()->isVisible(); }, 3000));
    main->trayMenu()->hide();
}

// Every property request is answered: a property the layout leaves out has
// its default, an unknown item or property is an error, never a time-out.
TEST_F(StatusNotifier, MenuPropertyRequestsAreAlwaysAnswered)
{
    ASSERT_TRUE(watcher->start());
    startProgram();
    ASSERT_TRUE(waitForItem());
    const int phones =
        int(main->trayMenu()->actions().indexOf(main->action(MenuItem::PhonesInfo))) + 1;
    const struct
    {
        int id;
        const char *name;
        QVariant expected; // invalid: an error reply
    } cases[] = {
        {phones, "label", main->action(MenuItem::PhonesInfo)->text()},
        {phones, "enabled", true},
        {phones, "visible", true},
        {phones, "toggle-state", -1},
        {phones, "type", QStringLiteral("standard")},
        {0, "children-display", QStringLiteral("submenu")},
        {phones, "no-such-property", QVariant()},
        {10000, "label", QVariant()},
        {-1, "enabled", QVariant()},
    };
    for (const auto &c : cases) {
        const QDBusMessage reply =
            callItem(QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("GetProperty"),
                     {c.id, QString::fromLatin1(c.name)}, QStringLiteral("/MenuBar"));
        if (!c.expected.isValid()) {
            EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage) << c.id << c.name;
            EXPECT_NE(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.NoReply"));
            continue;
        }
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage)
            << c.id << c.name << reply.errorMessage().toStdString();
        EXPECT_EQ(reply.arguments().value(0).value<QDBusVariant>().variant(), c.expected)
            << c.id << c.name;
    }
}

TEST_F(StatusNotifier, AppearsWhenThePanelComesLateOrRestarts)
{
    startProgram();
    QTest::qWait(200);
    EXPECT_FALSE(tray->isStatusNotifierItem()) << "no watcher yet";

    // A watcher without a host shows nothing: the item waits for the host.
    ASSERT_TRUE(watcher->start(false));
    QTest::qWait(300);
    EXPECT_TRUE(watcher->items().isEmpty());
    watcher->registerHost();
    ASSERT_TRUE(waitForItem());

    // The panel restarts: a new watcher knows nothing of the item.
    watcher->stop();
    ASSERT_TRUE(watcher->start());
    ASSERT_TRUE(waitForItem());
    expectIcon(standardTrayIcon());

    // The colours chosen in the settings reach the panel; the tray phone was
    // never requested, so its balance is 0.
    IniFile settings(context->paths.settingsFile());
    ASSERT_TRUE(settings.writeString(QStringLiteral("Hint Window"), QStringLiteral("cbTrayIcon"),
                                     QStringLiteral("2")));
    main->startWork();
    expectIcon(createValueIcon(0), TrayIconStyle::Light);
    EXPECT_EQ(watcher->items().size(), 1) << "one icon only";
}

} // namespace

#include "tst_StatusNotifierItem.moc"
