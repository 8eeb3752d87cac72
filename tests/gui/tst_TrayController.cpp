// The tray program's windows on the offscreen platform: the controller's
// start-up, menu states around a real request cycle (against sample pages on
// disk), leaving the program, the phones window and the about box.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include "core/TextCodec.h"
#include "core/config/AppContext.h"
#include "core/config/IniFile.h"
#include "core/config/PasswordVault.h"
#include "core/config/Settings.h"
#include "core/history/HistoryStore.h"
#include "core/tray/BalanceIcon.h"
#include "core/tray/Notifier.h"
#include "core/tray/TrayService.h"
#include "gui/AboutBox.h"
#include "gui/PhonesWindow.h"
#include "gui/TrayController.h"
#include "support/FakeAutoStart.h"
#include "support/FakeLumoServer.h"
#include "support/MosquittoBroker.h"
#include "support/PrivateKeyring.h"
#include "support/RecordingTray.h"
#include "support/TempFolder.h"

using namespace zelvant;
using zelvant::test::FakeAutoStart;
using zelvant::test::FakeLumoServer;
using zelvant::test::TempFolder;

using zelvant::test::RecordingTray;

namespace {

class RecordingNotifier : public Notifier
{
public:
    void notify(const QString &title, const QString &body, Urgency urgency) override
    {
        shown << Notification{title, body, urgency};
    }
    QList<Notification> shown;
};

class TrayWindows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Slot 1 reads a sample page from disk; slot 2's region is unknown,
        // so the cycle always skips it and it stays failed.
        FakeLumoServer::Subscriber s;
        s.number = QStringLiteral("9031112233");
        s.balance = 42.5;
        temp.write(QStringLiteral("orvel-test.html"), FakeLumoServer::balancePageFor(s));
        const QString url =
            QUrl::fromLocalFile(temp.file(QStringLiteral("orvel-test.html"))).toString();
        temp.write(QStringLiteral("servers.ini"),
                   toWindows1251(
                       QStringLiteral("[Образец]\r\nLoginURL=%1\r\nShortName=ОБР\r\n").arg(url)));
        context = std::make_unique<AppContext>(AppPaths::forFolder(temp.path()));
        setPhone(1, QStringLiteral("9031112233"), QStringLiteral("ОБР"));
        setPhone(2, QStringLiteral("9034445566"), QStringLiteral("НЕТ"));
        context->phones.setTrayShown(1);
        ASSERT_TRUE(initHistory(context->paths.historyFile()));
    }

    void setPhone(int slot, const QString &number, const QString &region)
    {
        PhoneSlot &p = context->phones.slot(slot);
        p.number = number;
        p.password = QStringLiteral("пароль");
        p.alias = QStringLiteral("Тел%1").arg(slot);
        p.monitored = true;
        p.region = region;
    }

    void writeOptions(const Options &options)
    {
        IniFile settings(context->paths.settingsFile());
        ASSERT_TRUE(saveSettings(settings, options, false, nullptr));
    }

    void makeMain(bool startTimer = true, int pauseMs = 0)
    {
        TrayControllerHooks hooks;
        hooks.beep = [this] { ++beeps; };
        hooks.quit = [this] { ++quits; };
        hooks.openUrl = [this](const QUrl &url) { urls << url; };
        hooks.autoStart = std::make_unique<FakeAutoStart>();
        autoStart = static_cast<FakeAutoStart *>(hooks.autoStart.get());
        hooks.startTimer = startTimer;
        hooks.notifier = &notifier;
        hooks.retryDelaysMs = retryDelaysMs;
        main = std::make_unique<TrayController>(*context, tray, std::move(hooks));
        CycleTimings timings;
        timings.pauseBeforePhoneMs = pauseMs;
        timings.timeoutMs = 5000;
        timings.afterPhoneMs = 0;
        timings.animationFrameMs = 10;
        timings.historyBusyTimeoutMs = 50;
        main->setCycleTimings(timings);
    }

    bool waitForCycleEnd()
    {
        QSignalSpy finished(main->cycle(), &RequestCycle::cycleFinished);
        return finished.wait(10000);
    }

    // The slot's result as if it had not come in this run.
    void markStale(int slot)
    {
        PhoneResult stale = main->results()[slot];
        stale.queryOk = false;
        main->results().setResult(slot, stale);
    }

    QPoint cellPoint(int gridRow, int column = 1) const
    {
        QTableView *table = main->phonesWindow()->table();
        return table->visualRect(table->model()->index(gridRow - 1, column)).center();
    }

    TempFolder temp;
    RecordingTray tray;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<TrayController> main;
    int beeps = 0;
    int quits = 0;
    QList<QUrl> urls;
    FakeAutoStart *autoStart = nullptr; // owned by main
    RecordingNotifier notifier;
    QList<qint64> retryDelaysMs;
};

} // namespace

TEST_F(TrayWindows, StartWorkPreloadsTheHistoryAndStartsTheSchedule)
{
    Options options;
    options.cbRefreshTime = 0; // 3 hours
    writeOptions(options);
    {
        HistoryStore store(context->paths.historyFile(), context->paths.errorLogFile());
        PhoneResult stored;
        stored.phoneNumber = QStringLiteral("9031112233");
        stored.balance = 12.3f;
        ASSERT_TRUE(store.storeResult(stored));
    }

    makeMain();
    EXPECT_EQ(main->logic().state(), ControllerState::Starting);
    EXPECT_FALSE(main->requestTimer().isActive());
    QSignalSpy done(main.get(), &TrayController::startWorkDone);
    ASSERT_TRUE(done.wait(5000));

    EXPECT_FLOAT_EQ(main->results()[1].balance, 12.3f);
    EXPECT_FALSE(main->results()[1].queryOk) << "stored values are not fresh";
    ASSERT_FALSE(tray.tips.isEmpty());
    // Slot 2 has nothing stored: its record is still empty, but its alias
    // is configured, and it has no balance.
    EXPECT_EQ(tray.tips.last(), QStringLiteral("Тел1: 12.30\r\nТел2: -"));
    EXPECT_FALSE(tray.icons.isEmpty()) << "the tray phone's balance is drawn";
    EXPECT_TRUE(main->requestTimer().isActive());
    EXPECT_EQ(main->requestTimer().interval(), 10800000);
    EXPECT_FALSE(main->cycle()->isRunning()) << "no request at start-up by default";
    // The retry command waits for the menu to be switched on again.
    EXPECT_EQ(main->logic().state(), ControllerState::Idle);
    EXPECT_FALSE(main->action(MenuItem::QueryBad)->isEnabled());
    EXPECT_EQ(beeps, 0);
}

// The keyring chosen: the start moves the passwords there; each cycle reads
// them before it begins and forgets them when it ends, and a phone without
// an entry fails with its own reason.
TEST_F(TrayWindows, KeyringPasswordsAreMovedAtStartAndReadForEachCycle)
{
    if (!test::PrivateKeyring::installed())
        GTEST_SKIP() << "gnome-keyring-daemon is not installed";
    test::PrivateKeyring &keyring = test::PrivateKeyring::shared();
    ASSERT_TRUE(keyring.start()) << keyring.error().toStdString();
    Options options;
    options.cbKeyring = true;
    writeOptions(options);
    ASSERT_TRUE(savePhones(context->phones, context->paths.phonesFile(), {}));
    makeMain();
    QSignalSpy done(main.get(), &TrayController::startWorkDone);
    ASSERT_TRUE(done.wait(10000));
    const QString number = context->phones.numberOf(1);
    EXPECT_TRUE(context->phones.slot(1).passwordInKeyring);
    EXPECT_EQ(readSecrets({number}).found.value(number), QStringLiteral("пароль"));

    for (const FailReason reason : {FailReason::None, FailReason::NotInKeyring}) {
        EXPECT_TRUE(context->phones.passwordOf(1).isEmpty()) << "kept only during a cycle";
        markStale(1);
        ASSERT_TRUE(main->runQueryCycle(CycleMode::AllPhones));
        ASSERT_TRUE(waitForCycleEnd());
        EXPECT_EQ(main->results()[1].failure.reason, reason);
        ASSERT_TRUE(removeSecrets({number}, nullptr));
    }
}

TEST_F(TrayWindows, CycleAtStartUpThenTheSchedule)
{
    Options options;
    options.cbExecAfterRun = true;
    options.cbLoadHistory = false;
    options.cbRefreshTime = 7; // 24 hours
    writeOptions(options);
    makeMain(true, 30);
    QSignalSpy done(main.get(), &TrayController::startWorkDone);
    QSignalSpy finished(main->cycle(), &RequestCycle::cycleFinished);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(done.count(), 1);
    EXPECT_TRUE(main->requestTimer().isActive()) << "counted from the end of the first cycle";
    EXPECT_EQ(main->requestTimer().interval(), 86400000);
    EXPECT_TRUE(main->results()[1].queryOk);
    EXPECT_FLOAT_EQ(main->results()[1].balance, 42.5f);
    EXPECT_EQ(beeps, 1) << "slot 2 can never be requested";
    EXPECT_TRUE(main->action(MenuItem::QueryBad)->isEnabled());
}

TEST_F(TrayWindows, MenuAndSinglePhoneCommandAroundACycle)
{
    makeMain(false, 50);
    PhonesWindow *phones = main->phonesWindow();
    phones->buildGrid();
    phones->fillGrid();
    phones->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(phones));

    // Idle: the single-phone command is there for a data row only.
    EXPECT_TRUE(phones->prepareContextMenu(cellPoint(1)));
    EXPECT_EQ(phones->menuPhone(), 1);
    EXPECT_EQ(phones->grid().highlightedRow(), 1);
    EXPECT_TRUE(phones->requestOnlyOneAction()->isEnabled());
    const QPoint below = cellPoint(2) + QPoint(0, 40);
    EXPECT_FALSE(phones->prepareContextMenu(below));
    EXPECT_EQ(phones->grid().highlightedRow(), -1);

    ASSERT_TRUE(main->runQueryCycle(CycleMode::AllPhones));
    EXPECT_TRUE(main->cycle()->isRunning());
    for (MenuItem item : {MenuItem::About, MenuItem::Setup, MenuItem::History, MenuItem::PhonesInfo,
                          MenuItem::QueryBad, MenuItem::QueryNow})
        EXPECT_FALSE(main->action(item)->isEnabled()) << int(item);
    EXPECT_FALSE(main->action(MenuItem::QueryNow)->isVisible());
    EXPECT_TRUE(main->action(MenuItem::StopRequest)->isVisible());
    EXPECT_TRUE(main->action(MenuItem::StopRequest)->isEnabled());
    EXPECT_TRUE(main->action(MenuItem::Site)->isEnabled());
    EXPECT_TRUE(main->action(MenuItem::Exit)->isEnabled());
    // Dropped while the cycle runs: the refresh tick and the phone command.
    EXPECT_FALSE(main->runQueryCycle(CycleMode::AllPhones, -1, CycleSource::Timer));
    EXPECT_TRUE(phones->prepareContextMenu(cellPoint(1)));
    EXPECT_FALSE(phones->requestOnlyOneAction()->isEnabled());
    phones->requestOnlyOneAction()->trigger(); // even if triggered anyway
    phones->clearHighlight();

    ASSERT_TRUE(waitForCycleEnd());
    EXPECT_FALSE(main->cycle()->isRunning()) << "no second cycle was started";
    EXPECT_TRUE(main->action(MenuItem::QueryNow)->isVisible());
    EXPECT_FALSE(main->action(MenuItem::StopRequest)->isVisible());
    EXPECT_TRUE(main->action(MenuItem::Setup)->isEnabled());
    EXPECT_TRUE(main->action(MenuItem::QueryBad)->isEnabled());
    EXPECT_EQ(beeps, 1);
    // The grid shows the fresh balance in black, the skipped phone in grey.
    const PhonesTable &grid = phones->grid();
    const int balance = grid.columnOf(QStringLiteral("Balance"));
    EXPECT_EQ(grid.cell(balance, 1).text, QStringLiteral("42.50"));
    EXPECT_EQ(grid.cell(balance, 1).style.fontColor, GridColors::FreshText);
    EXPECT_EQ(grid.cell(balance, 2).style.fontColor, GridColors::StaleMark);

    // Now the command runs one phone alone.
    markStale(1);
    EXPECT_TRUE(phones->prepareContextMenu(cellPoint(1)));
    EXPECT_TRUE(phones->requestOnlyOneAction()->isEnabled());
    phones->requestOnlyOneAction()->trigger();
    EXPECT_TRUE(main->cycle()->isRunning());
    ASSERT_TRUE(waitForCycleEnd());
    EXPECT_TRUE(main->results()[1].queryOk);
    EXPECT_EQ(beeps, 2) << "slot 2 is still failed";
}

TEST_F(TrayWindows, LeavingStopsTheCycleSavesAndRemovesTheIcon)
{
    makeMain(false, 60000); // the second phone would wait a minute
    context->phones.slot(2).region = QStringLiteral("ОБР");
    ASSERT_TRUE(main->runQueryCycle(CycleMode::AllPhones));
    QTest::qWait(200); // the first phone is done, the long pause runs
    ASSERT_TRUE(main->cycle()->isRunning());

    main->exitProgram();
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(tray.removed, 1);
    EXPECT_EQ(main->logic().state(), ControllerState::Ending);
    EXPECT_FALSE(main->action(MenuItem::QueryNow)->isEnabled());
    EXPECT_FALSE(main->requestTimer().isActive());
    QTest::qWait(100);
    EXPECT_FALSE(main->cycle()->isRunning()) << "stopped at once, not after a minute";
    EXPECT_FALSE(main->results()[2].queryOk);
    // The settings were written and the autostart choice (on by default)
    // applied; leaving twice does it once.
    IniFile settings(context->paths.settingsFile());
    EXPECT_TRUE(settings.sectionExists(QStringLiteral("Connection")));
    EXPECT_EQ(autoStart->calls, QList<bool>({true}));
    main->exitProgram();
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(main->runQueryCycle(CycleMode::AllPhones));
}

TEST_F(TrayWindows, PhonesWindowOpensFromTheTrayAndKeepsItsPlace)
{
    makeMain(false);
    main->startWork();
    PhonesWindow *phones = main->phonesWindow();
    EXPECT_FALSE(phones->isVisible());
    EXPECT_EQ(phones->windowTitle(), QStringLiteral("Информация о балансе телефонов"));

    main->trayNotify(QSystemTrayIcon::Context);
    EXPECT_FALSE(phones->isVisible()) << "the right button only opens the menu";
    main->trayNotify(QSystemTrayIcon::Trigger);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(phones));
    // No stored width: the window fits its columns, each as wide as the
    // table says or as its title needs in this font.
    QTableView *table = phones->table();
    auto fittingWidth = [&] {
        int width = 0;
        for (int column = 0; column < table->model()->columnCount(); ++column) {
            if (!table->isColumnHidden(column))
                width += table->columnWidth(column);
        }
        return width + 25;
    };
    EXPECT_GE(fittingWidth(), phones->grid().fitWidth());
    EXPECT_EQ(phones->width(), fittingWidth());
    EXPECT_EQ(table->model()->rowCount(), 2);
    EXPECT_TRUE(table->isColumnHidden(0)) << "no NN column by default";
    EXPECT_EQ(
        table->horizontalHeader()->sectionSize(phones->grid().columnOf(QStringLiteral("Alias"))),
        120);

    phones->resize(400, 150);
    QTest::keyClick(phones, Qt::Key_Escape);
    EXPECT_FALSE(phones->isVisible());
    const WindowPlacement saved =
        readWindowPlacement(context->settingsFile, QStringLiteral("PhonesInfo Form"));
    EXPECT_EQ(saved.width, 400);
    EXPECT_EQ(saved.height, 150);

    // Shown again: the stored size, but never narrower than the columns
    // (here 400 would hide three of them); the columns' widths of the table
    // again.
    table->setColumnWidth(1, 10);
    main->showPhonesWindow();
    EXPECT_TRUE(phones->isVisible());
    EXPECT_EQ(phones->width(), fittingWidth());
    EXPECT_EQ(phones->height(), 150);
    EXPECT_EQ(table->columnWidth(1), 120);
    // A stored width wider than the columns is kept.
    phones->resize(fittingWidth() + 40, 150);
    // The table has the keyboard; Escape closes the window from there too.
    QTest::keyClick(table, Qt::Key_Escape);
    EXPECT_FALSE(phones->isVisible());
    main->showPhonesWindow();
    EXPECT_EQ(phones->width(), fittingWidth() + 40);

    // The tray tip is the balance lines; the title row opens no menu.
    EXPECT_EQ(tray.tips.last(), QStringLiteral("Тел1: -\r\nТел2: -"));
    const QPoint header =
        table->viewport()->mapFromGlobal(table->horizontalHeader()->mapToGlobal(QPoint(5, 5)));
    EXPECT_FALSE(phones->prepareContextMenu(header));
    phones->hide();
}

TEST_F(TrayWindows, PhonesWindowStandsInForAMissingTrayUntilOneAppears)
{
    // A notification area that appears later: the note goes, and closing the
    // window only hides it.
    makeMain(false);
    PhonesWindow *phones = main->phonesWindow();
    main->setTrayHost(false);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(phones));
    auto *note = phones->findChild<QLabel *>(QStringLiteral("noTrayNote"));
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->isVisible());
    EXPECT_TRUE(
        note->text().startsWith(QStringLiteral("На рабочем столе нет области уведомлений")));
    main->setTrayHost(true);
    EXPECT_FALSE(note->isVisible());
    QTest::keyClick(phones, Qt::Key_Escape);
    EXPECT_FALSE(phones->isVisible());
    EXPECT_EQ(quits, 0);
    // A panel gone for a moment later on changes nothing.
    main->setTrayHost(false);
    EXPECT_FALSE(phones->isVisible());

    // None at all: closing the window ends the program.
    makeMain(false);
    main->setTrayHost(false);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main->phonesWindow()));
    QTest::keyClick(main->phonesWindow(), Qt::Key_Escape);
    EXPECT_EQ(quits, 1);
}

TEST_F(TrayWindows, PhonesWindowLandsOnTheScreenWhateverWasStored)
{
    // A tiled Wayland size stored at the origin, and a position above and
    // left of the screen: the whole frame comes back onto the screen.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const QRect &stored :
         {QRect(0, 0, screen.width() + 250, screen.height() + 100), QRect(-300, -200, 400, 150)}) {
        writeWindowPlacement(context->settingsFile, QStringLiteral("PhonesInfo Form"),
                             {stored.width(), stored.height(), stored.x(), stored.y()});
        makeMain(false);
        main->showPhonesWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main->phonesWindow()));
        const QRect frame = main->phonesWindow()->frameGeometry();
        EXPECT_TRUE(screen.contains(frame)) << stored.x() << " " << stored.width();
        main->phonesWindow()->hide();
    }
}

TEST_F(TrayWindows, HomePageAndAboutBox)
{
    makeMain(false);
    main->openHomePage();
    ASSERT_EQ(urls.size(), 1);
    EXPECT_EQ(urls.first().toString(), HomePageUrl + QStringLiteral("?Zelvant_v_2.09"));

    int opened = 0;
    AboutBox box([&opened] { ++opened; });
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(box.versionLabel()->text(), QStringLiteral("2.09"));
    QLabel *link = box.homePageLabel();
    const QColor blue(0, 0, 0xFF);
    const QColor red(0xFF, 0, 0);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    EXPECT_EQ(link->palette().color(QPalette::WindowText), blue);
    QTest::mouseMove(link, link->rect().center());
    QEnterEvent enter(link->rect().center(), link->rect().center(),
                      link->mapToGlobal(link->rect().center()));
    QCoreApplication::sendEvent(link, &enter);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), red);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(link, &leave);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), blue);
    QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    EXPECT_EQ(opened, 1);
    QTest::keyClick(link, Qt::Key_Space);
    EXPECT_EQ(opened, 2) << "the link opens from the keyboard";
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

TEST_F(TrayWindows, PhonesWindowStaysOnTopExceptBeneathModalWindows)
{
    makeMain(false);
    main->startWork();
    PhonesWindow *phones = main->phonesWindow();
    auto onTop = [phones] {
        return phones->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint);
    };
    main->showPhonesWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(phones));
    EXPECT_TRUE(onTop());

    // While the about box is open the phones window gives way; shown again
    // meanwhile, it stays beneath.
    bool checkedInside = false;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_FALSE(onTop());
        phones->hide();
        main->showPhonesWindow();
        EXPECT_TRUE(phones->isVisible());
        EXPECT_FALSE(onTop());
        checkedInside = true;
        box->accept();
    });
    main->showAboutBox();
    EXPECT_TRUE(checkedInside);
    EXPECT_TRUE(onTop()) << "on top again once the modal window has closed";
}

TEST_F(TrayWindows, ModalWindowsKeepTheMenuOffWhileACycleEnds)
{
    makeMain(false, 60000); // phone 2 would follow after a minute
    context->phones.slot(2).region = QStringLiteral("ОБР");

    // The about box opens during a cycle, which is then stopped from the menu.
    ASSERT_TRUE(main->runQueryCycle(CycleMode::AllPhones));
    QTest::qWait(200);
    ASSERT_TRUE(main->cycle()->isRunning());
    bool checkedInside = false;
    QTimer::singleShot(0, [&] {
        QWidget *box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(main->logic().state(), ControllerState::CycleRunning);
        main->action(MenuItem::StopRequest)->trigger();
        QTest::qWait(100);
        EXPECT_FALSE(main->cycle()->isRunning());
        EXPECT_EQ(main->logic().state(), ControllerState::WindowOpen);
        for (MenuItem item : {MenuItem::About, MenuItem::Setup, MenuItem::History,
                              MenuItem::PhonesInfo, MenuItem::QueryBad, MenuItem::QueryNow})
            EXPECT_FALSE(main->action(item)->isEnabled()) << int(item);
        EXPECT_TRUE(main->action(MenuItem::QueryNow)->isVisible());
        EXPECT_FALSE(main->action(MenuItem::StopRequest)->isVisible());
        EXPECT_EQ(beeps, 0);
        checkedInside = true;
        static_cast<QDialog *>(box)->accept();
    });
    main->showAboutBox();
    EXPECT_TRUE(checkedInside);
    EXPECT_TRUE(main->action(MenuItem::Setup)->isEnabled());
    EXPECT_TRUE(main->action(MenuItem::QueryBad)->isEnabled());
    EXPECT_EQ(beeps, 1) << "phone 2 was never reached";

    // The setup window stops a running cycle.
    ASSERT_TRUE(main->runQueryCycle(CycleMode::AllPhones));
    QTest::qWait(200);
    ASSERT_TRUE(main->cycle()->isRunning());
    checkedInside = false;
    QTimer::singleShot(0, [&] {
        QWidget *setup = QApplication::activeModalWidget();
        ASSERT_NE(setup, nullptr);
        QTest::qWait(50);
        EXPECT_FALSE(main->cycle()->isRunning());
        EXPECT_FALSE(main->action(MenuItem::Setup)->isEnabled());
        EXPECT_FALSE(main->action(MenuItem::QueryNow)->isEnabled());
        checkedInside = true;
        auto *cancel = setup->findChild<QAbstractButton *>(QStringLiteral("bnCancel"));
        ASSERT_NE(cancel, nullptr);
        cancel->click();
    });
    main->showSetupWindow();
    EXPECT_TRUE(checkedInside);
    EXPECT_TRUE(main->action(MenuItem::Setup)->isEnabled());
    EXPECT_FALSE(main->cycle()->isRunning());
    EXPECT_EQ(beeps, 2);

    // The request box ticked and the window cancelled: a full cycle all the same.
    QTimer::singleShot(0, [&] {
        QWidget *setup = QApplication::activeModalWidget();
        ASSERT_NE(setup, nullptr);
        auto *requestNow = setup->findChild<QAbstractButton *>(QStringLiteral("cbRequestNow"));
        auto *cancel = setup->findChild<QAbstractButton *>(QStringLiteral("bnCancel"));
        ASSERT_NE(requestNow, nullptr);
        ASSERT_NE(cancel, nullptr);
        requestNow->click();
        cancel->click();
    });
    markStale(1);
    main->showSetupWindow();
    EXPECT_TRUE(main->cycle()->isRunning());
    EXPECT_EQ(main->logic().state(), ControllerState::CycleRunning);
    QTest::qWait(200);
    EXPECT_TRUE(main->results()[1].queryOk) << "the first phone was requested";
    main->action(MenuItem::StopRequest)->trigger();
    QTest::qWait(100);
    EXPECT_FALSE(main->cycle()->isRunning());
}

TEST_F(TrayWindows, AlertsAfterTheStartUpCycleThenRetriesOfTheNetworkFailure)
{
    // Slot 3 is served by a server that resets every login.
    FakeLumoServer server;
    ASSERT_TRUE(server.start());
    FakeLumoServer::Subscriber reset;
    reset.number = QStringLiteral("9037778899");
    reset.password = QStringLiteral("пароль");
    reset.answer = FakeLumoServer::LoginAnswer::Reset;
    server.addSubscriber(reset);
    temp.write(QStringLiteral("servers.ini"),
               temp.read(QStringLiteral("servers.ini"))
                   + toWindows1251(QStringLiteral("[Сервер]\r\nLoginURL=%1\r\nShortName=SRV\r\n")
                                       .arg(server.loginUrl().toString())));
    context = std::make_unique<AppContext>(AppPaths::forFolder(temp.path()));
    setPhone(1, QStringLiteral("9031112233"), QStringLiteral("ОБР"));
    setPhone(3, reset.number, QStringLiteral("SRV"));
    Options options;
    options.cbExecAfterRun = true;
    options.edBalanceLessThen = QStringLiteral("50"); // the sample page's 42.50 is low
    writeOptions(options);
    retryDelaysMs = {40, 40, 40};

    makeMain(true, 0);
    QSignalSpy finished(main->cycle(), &RequestCycle::cycleFinished);
    ASSERT_TRUE(finished.wait(5000));
    ASSERT_EQ(notifier.shown.size(), 1);
    EXPECT_EQ(notifier.shown[0].title, QStringLiteral("Zelvant: пора пополнить баланс"));
    EXPECT_EQ(notifier.shown[0].body, QStringLiteral("Тел1 (9031112233): 42.50 у.е."));
    EXPECT_EQ(main->results()[3].failure.reason, FailReason::NoConnection);
    // Qt sends a request once more on a reset connection: count attempts by the first.
    const int loginsPerAttempt = server.loginCount();
    ASSERT_GE(loginsPerAttempt, 1);

    // Three retries of slot 3 alone, then none; they are not scheduled cycles,
    // so no failure notification either.
    while (finished.size() < 4 && finished.wait(5000)) {
    }
    EXPECT_EQ(finished.size(), 4);
    QTest::qWait(200);
    EXPECT_EQ(finished.size(), 4);
    EXPECT_EQ(server.loginCount(), 4 * loginsPerAttempt);
    EXPECT_FALSE(main->retryScheduler().isPlanned());
    EXPECT_EQ(notifier.shown.size(), 1);
    EXPECT_EQ(main->logic().state(), ControllerState::Idle);
    EXPECT_EQ(beeps, 1) << "the start-up cycle beeps, the unasked retries do not";
    EXPECT_TRUE(main->action(MenuItem::QueryBad)->isEnabled());
}

TEST_F(TrayWindows, ResultsNotStoredInTheHistoryAreToldOncePerCycle)
{
    setPhone(3, QStringLiteral("9037778899"), QStringLiteral("ОБР"));
    makeMain(false);
    const auto cycle = [this] {
        EXPECT_TRUE(main->runQueryCycle(CycleMode::AllPhones));
        EXPECT_TRUE(waitForCycleEnd());
    };
    {
        // Another program holds the history for longer than a write waits.
        QSqlDatabase lock =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("lock"));
        lock.setDatabaseName(context->paths.historyFile());
        ASSERT_TRUE(lock.open());
        ASSERT_TRUE(QSqlQuery(lock).exec(QStringLiteral("BEGIN EXCLUSIVE")));
        cycle();
        lock.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("lock"));
    EXPECT_TRUE(main->results()[1].queryOk);
    EXPECT_TRUE(main->results()[3].queryOk);
    // One desktop notification for the cycle, through the same path as the
    // balance alerts.
    const auto historyNotices = [this] {
        QList<Notification> found;
        for (const Notification &n : notifier.shown)
            if (n.body.startsWith(QStringLiteral("История не записана: ")))
                found << n;
        return found;
    };
    ASSERT_EQ(historyNotices().size(), 1);
    EXPECT_EQ(historyNotices()[0].title, ProgramTitle);
    EXPECT_EQ(historyNotices()[0].urgency, Urgency::Critical);
    EXPECT_TRUE(
        historyNotices()[0].body.contains(QStringLiteral("Всего не записано результатов: 2")))
        << historyNotices()[0].body.toStdString();
    EXPECT_TRUE(tray.messages.isEmpty());
    // Each lost row has its line in the error log, with the reason.
    const QString log = fromWindows1251(temp.read(QStringLiteral("Zelvant.err")));
    EXPECT_EQ(log.count(QStringLiteral("История не записана: database is locked")), 2)
        << log.toStdString();
    EXPECT_TRUE(context->options.values().cbHistory);

    // Stored again: nothing more to tell.
    cycle();
    EXPECT_EQ(historyNotices().size(), 1);
}

TEST_F(TrayWindows, MissingHistoryIsToldOnceAfterTheCycleWhichKeepsTheBalance)
{
    // A portable folder that never got its history, nobody at the screen:
    // the page comes at once, and three scheduled cycles run.
    context->phones.slot(2).monitored = false;
    ASSERT_TRUE(QFile::remove(context->paths.historyFile()));
    retryDelaysMs = {20, 40, 60};
    makeMain(false);
    for (int cycle = 0; cycle < 3; ++cycle) {
        ASSERT_TRUE(main->runQueryCycle(CycleMode::AllPhones, -1, CycleSource::Timer));
        ASSERT_TRUE(waitForCycleEnd());
        EXPECT_TRUE(main->results()[1].queryOk) << cycle;
    }
    QTest::qWait(100); // past every retry delay
    EXPECT_FLOAT_EQ(main->results()[1].balance, 42.5f);
    EXPECT_FALSE(main->retryScheduler().isPlanned());
    EXPECT_FALSE(main->retryScheduler().isRetryRunning());
    // Told once, when the first cycle had ended; no failure alert, no window.
    ASSERT_EQ(notifier.shown.size(), 1);
    EXPECT_EQ(notifier.shown[0].body, HistoryFileMissingMessage);
    const QWidgetList windows = QApplication::topLevelWidgets();
    EXPECT_TRUE(std::none_of(windows.begin(), windows.end(),
                             [](const QWidget *w) { return w->isVisible() && w->isModal(); }));
    // History keeping is off for good, and nothing was created.
    EXPECT_FALSE(context->options.values().cbHistory);
    EXPECT_FALSE(loadSettings(IniFile(context->paths.settingsFile())).cbHistory);
    EXPECT_FALSE(QFile::exists(context->paths.historyFile()));
}

TEST_F(TrayWindows, TrayTipSaysWhileTheBrokerIsOutOfReach)
{
    if (!test::MosquittoBroker::available())
        GTEST_SKIP() << "mosquitto is not installed";
    test::MosquittoBroker broker; // not started yet: nothing listens at its port
    Options options;
    options.cbMqttEnabled = true;
    options.edMqttHost = QStringLiteral("127.0.0.1");
    options.edMqttPort = QString::number(broker.port());
    writeOptions(options);
    makeMain();
    const QString unreachable = QStringLiteral("MQTT-брокер недоступен\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(!tray.tips.isEmpty() && tray.tips.last().startsWith(unreachable),
                             5000);
    EXPECT_EQ(tray.tips.last(), unreachable + QStringLiteral("Тел1: -\r\nТел2: -"));
    ASSERT_TRUE(broker.start());
    QTRY_VERIFY_WITH_TIMEOUT(!tray.tips.last().startsWith(unreachable), 10000);
    EXPECT_EQ(
        broker.retained(QStringLiteral("zelvant/status")).value(QStringLiteral("zelvant/status")),
        "online");
    // Leaving says so.
    main->exitProgram();
    EXPECT_EQ(
        broker.retained(QStringLiteral("zelvant/status")).value(QStringLiteral("zelvant/status")),
        "offline");
}

TEST_F(TrayWindows, TrayShowsProgressAndDrawsTheIconOnlyWhenItChanges)
{
    makeMain(false);
    ASSERT_TRUE(main->runQueryCycle(CycleMode::AllPhones));
    ASSERT_TRUE(waitForCycleEnd());
    EXPECT_TRUE(tray.tips.contains(ProgramTitle + QStringLiteral("\r\nТелефон 1/2. Запрос...")));
    EXPECT_EQ(tray.tips.last(), QStringLiteral("Тел1: 42.50\r\nТел2: -"));
    // The animation while the page was read, the standard icon when the
    // phone was done, then the tray phone's balance.
    ASSERT_GE(tray.icons.size(), 3);
    EXPECT_TRUE(animationFrames().contains(tray.icons.at(tray.icons.size() - 3)));
    EXPECT_EQ(tray.icons.at(tray.icons.size() - 2), standardTrayIcon());
    EXPECT_EQ(tray.icons.last(), createValueIcon(42.5f));

    // Another phone's balance changes the tip, not the icon.
    const qsizetype icons = tray.icons.size();
    PhoneResult other;
    other.balance = 7;
    other.lastQueryTime = QDateTime::currentDateTime();
    main->results().setResult(2, other);
    QTest::qWait(20);
    EXPECT_EQ(tray.tips.last(), QStringLiteral("Тел1: 42.50\r\nТел2: 7.00"));
    EXPECT_EQ(tray.icons.size(), icons);

    // Leaving in the middle of a cycle draws nothing more.
    main->setCycleTimings([] {
        CycleTimings t;
        t.pauseBeforePhoneMs = 60000;
        return t;
    }());
    context->phones.slot(2).region = QStringLiteral("ОБР");
    ASSERT_TRUE(main->runQueryCycle(CycleMode::AllPhones));
    QTest::qWait(200);
    const qsizetype beforeExit = tray.icons.size();
    main->exitProgram();
    QTest::qWait(50);
    EXPECT_EQ(tray.icons.size(), beforeExit);
}
