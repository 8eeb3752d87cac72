#include "gui/TrayController.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QUrl>

#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <memory>
#include <utility>

#include "core/ErrorLog.h"
#include "core/config/AppContext.h"
#include "core/config/AutoStart.h"
#include "core/config/PasswordVault.h"
#include "core/config/SettingsTable.h"
#include "core/history/SpendAnalysis.h"
#include "core/mqtt/BrokerPassword.h"
#include "core/tray/TrayService.h"
#include "gui/AboutBox.h"
#include "gui/MessageBoxes.h"
#include "gui/PhonesWindow.h"
#include "gui/ReportWindows.h"
#include "gui/SetupWindow.h"
#include "gui/TrayPresenter.h"

namespace zelvant {

namespace {

QElapsedTimer &startupClock()
{
    static QElapsedTimer clock;
    return clock;
}

// Runs the closing half of a modal command even when the window throws.
class ScopeExit
{
public:
    explicit ScopeExit(std::function<void()> f)
        : m_f(std::move(f))
    {
    }
    ~ScopeExit() { m_f(); }
    ScopeExit(const ScopeExit &) = delete;
    ScopeExit &operator=(const ScopeExit &) = delete;

private:
    std::function<void()> m_f;
};

} // namespace

void startStartupClock()
{
    startupClock().start();
}

TrayController::TrayController(AppContext &context, TrayService &tray, Hooks hooks, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , m_tray(tray)
    , m_hooks(std::move(hooks))
    , m_logic([this] {
        // An automatic retry comes unasked, often unattended: no beep for it.
        return hasFailedPhones(m_context.phones, m_results->results(),
                               m_quietMenu ? std::function<void()>() : m_hooks.beep);
    })
{
    if (!m_hooks.beep)
        m_hooks.beep = [] { QApplication::beep(); };
    if (!m_hooks.quit)
        m_hooks.quit = [] { QCoreApplication::quit(); };
    if (!m_hooks.openUrl)
        m_hooks.openUrl = [](const QUrl &url) { QDesktopServices::openUrl(url); };
    if (!m_hooks.autoStart)
        m_hooks.autoStart = createPlatformAutoStart(context.paths.executablePath());

    // The window only owns the menu and the timers; it is never shown, and
    // its caption is the title line.
    setWindowTitle(ProgramTitle);
    move(-10000, -10000);

    buildMenu();

    m_results = std::make_unique<ResultStore>(m_context.paths);
    m_phonesInfo = new PhonesWindow(m_context, m_results->results());
    m_phonesInfo->setSpendStates(&m_spend);
    m_phonesInfo->setSinglePhoneRequest(
        [this] { return m_logic.canRequestSinglePhone(); },
        [this](int slot) { runQueryCycle(CycleMode::OnePhone, slot, CycleSource::SinglePhone); });
    connect(m_phonesInfo, &PhonesWindow::closed, this, [this] {
        if (m_standInForTray)
            exitProgram();
    });

    m_wb = std::make_unique<RequestCycle>(m_context, m_results->results(), this);
    keepCycleResults(*m_wb, *m_results, m_context);
    // What the cycle and the store tell is drawn before the end of a cycle
    // is handled here.
    m_presenter = std::make_unique<TrayPresenter>(m_context, *m_results, m_tray, *m_phonesInfo);
    m_presenter->follow(*m_wb);
    connect(m_wb.get(), &RequestCycle::cycleFinished, this, &TrayController::onCycleFinished);
    m_mqtt = std::make_unique<MqttBridge>(m_context, *m_results);
    m_mqtt->follow(*m_wb);
    connect(&m_mqtt->publisher(), &MqttPublisher::reachableChanged, this,
            [this](bool reachable) { m_presenter->setBrokerUnreachable(!reachable); });
    // The first loss of a run is told; the same fault would otherwise speak
    // up for every failed phone of every cycle (the error log, when it can
    // be written, has each).
    connect(m_wb.get(), &RequestCycle::lossReported, this, [this](const QString &message) {
        if (m_lossTold)
            return;
        m_lossTold = true;
        notifyHistoryProblem(message);
    });
    m_retry = std::make_unique<RetryScheduler>(
        [this](const QList<int> &targets) { return startRetry(targets); }, this);
    if (!m_hooks.retryDelaysMs.isEmpty())
        m_retry->setDelays(m_hooks.retryDelaysMs);
    connect(m_results.get(), &ResultStore::historyWritten, this,
            [this](int, bool stored, const QString &failure) {
                if (!stored)
                    m_historyFailures << failure;
            });
    connect(m_results.get(), &ResultStore::historyFileMissing, this,
            &TrayController::historyFileMissing);

    m_passwords = std::make_unique<PhonePasswords>(m_context.paths);

    m_requestTimer.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_requestTimer, &QTimer::timeout, this,
            [this] { runQueryCycle(CycleMode::AllPhones, -1, CycleSource::Timer); });

    m_startWorkTimer.setSingleShot(true);
    m_startWorkTimer.setInterval(10);
    connect(&m_startWorkTimer, &QTimer::timeout, this, &TrayController::startWork);
    if (m_hooks.startTimer)
        m_startWorkTimer.start();
    applyMenuState();
}

TrayController::~TrayController()
{
    // The cycle and the retries call back into this window; they go first.
    m_retry.reset();
    m_mqtt.reset();
    m_wb.reset();
    m_presenter.reset();
    delete m_setup;
    delete m_phonesInfo;
}

void TrayController::setCycleTimings(const CycleTimings &timings)
{
    m_wb->setTimings(timings);
    m_presenter->setAnimationFrameMs(timings.animationFrameMs);
    m_results->setBusyTimeout(timings.historyBusyTimeoutMs);
}

void TrayController::buildMenu()
{
    m_menu = new QMenu(this);
    // The pictures are looked up when the menu first opens: the icon theme
    // search would otherwise cost every start-up several milliseconds.
    auto pictures = std::make_shared<QList<std::pair<QAction *, QStyle::StandardPixmap>>>();
    auto add = [&](MenuItem item, const QString &caption, QStyle::StandardPixmap pixmap,
                   void (TrayController::*slot)()) {
        QAction *a = m_menu->addAction(caption);
        if (pixmap != QStyle::SP_CustomBase)
            pictures->append({a, pixmap});
        connect(a, &QAction::triggered, this, slot);
        m_actions[int(item)] = a;
        return a;
    };
    add(MenuItem::About, tr("О программе"), QStyle::SP_MessageBoxInformation,
        &TrayController::showAboutBox);
    m_menu->addSeparator();
    add(MenuItem::Site, tr("Помощь и обновления"), QStyle::SP_DialogHelpButton,
        &TrayController::openHomePage);
    add(MenuItem::Setup, tr("Настроить программу"), QStyle::SP_FileDialogDetailedView,
        &TrayController::showSetupWindow);
    m_menu->addSeparator();
    add(MenuItem::History, tr("История баланса"), QStyle::SP_FileDialogContentsView,
        &TrayController::showHistoryWindow);
    QAction *phones = add(MenuItem::PhonesInfo, tr("Баланс телефонов"),
                          QStyle::SP_FileDialogListView, &TrayController::showPhonesWindow);
    m_menu->addSeparator();
    QAction *queryBad = m_menu->addAction(tr("Повторить \"неудачные\" попытки"));
    pictures->append({queryBad, QStyle::SP_BrowserReload});
    connect(queryBad, &QAction::triggered, this, [this] {
        if (m_wb->isRunning())
            m_wb->stop();
        runQueryCycle(CycleMode::FailedPhones, -1, CycleSource::User);
    });
    m_actions[int(MenuItem::QueryBad)] = queryBad;
    QAction *stop = m_menu->addAction(tr("Остановить запрос"));
    pictures->append({stop, QStyle::SP_BrowserStop});
    connect(stop, &QAction::triggered, this, [this] { m_wb->stop(); });
    m_actions[int(MenuItem::StopRequest)] = stop;
    QAction *now = m_menu->addAction(tr("Запросить информацию сейчас"));
    pictures->append({now, QStyle::SP_MediaPlay});
    connect(now, &QAction::triggered, this, [this] {
        if (m_wb->isRunning())
            m_wb->stop();
        runQueryCycle(CycleMode::AllPhones, -1, CycleSource::User);
    });
    m_actions[int(MenuItem::QueryNow)] = now;
    m_menu->addSeparator();
    add(MenuItem::Exit, tr("Выйти"), QStyle::SP_CustomBase, &TrayController::exitProgram);

    connect(m_menu, &QMenu::aboutToShow, this, [this, pictures] {
        for (const auto &[action, pixmap] : *pictures)
            action->setIcon(style()->standardIcon(pixmap));
        pictures->clear();
    });

    // The default item: what a left click on the icon does, drawn bold.
    m_menu->setDefaultAction(phones);
    QFont bold = phones->font();
    bold.setBold(true);
    phones->setFont(bold);
}

QAction *TrayController::action(MenuItem item) const
{
    return m_actions[int(item)];
}

void TrayController::applyMenuState()
{
    for (int i = 0; i < 9; ++i) {
        const MenuItemState state = m_logic.item(MenuItem(i));
        m_actions[i]->setEnabled(state.enabled);
        m_actions[i]->setVisible(state.visible);
    }
    Q_EMIT menuUpdated();
}

void TrayController::markStartup()
{
    static bool marked = false;
    if (marked || !startupClock().isValid() || qEnvironmentVariableIsEmpty("ZELVANT_STARTUP_MARK"))
        return;
    marked = true;
    std::fprintf(stderr, "ZELVANT_STARTUP_MARK %lld\n",
                 static_cast<long long>(startupClock().elapsed()));
    std::fflush(stderr);
}

void TrayController::startWork()
{
    m_startWorkTimer.stop();
    m_context.options.apply(loadSettings(m_context.settingsFile, m_context.paths.mode()));
    const Options &options = m_context.options.values();
    m_tray.setIconStyle(options.cbTrayIcon);
    m_phonesInfo->buildGrid();
    // From here on the schedule, the tray and the phones window follow the
    // options, whoever changes them.
    connect(&m_context.options, &LiveOptions::changed, this, &TrayController::optionsChanged,
            Qt::UniqueConnection);

    if (options.cbLoadHistory && QFile::exists(m_context.paths.historyFile())) {
        QString error;
        if (m_results->loadLatest(m_context.phones, &error) < 0) {
            // An unreadable history must not keep the balances from being
            // requested: note it and go on with the start-up.
            writeErrorLog(error, m_context.paths.errorLogFile());
        } else {
            m_presenter->showResults();
            m_presenter->showBalance();
        }
    }
    m_retry->setEnabled(options.cbRetryFailed);
    applyMqtt(options);
    markStartup();
    // After the icon: the start-up mark measures the balances, not this.
    if (readAllSpend())
        m_presenter->showResults();
    // Balances already low, and spends already unusual, when the program
    // starts are no news.
    m_alerts.seed(m_results->results(), m_context.phones, options, &m_spend);
    Q_EMIT startupShown();
#ifdef __GLIBC__
    // The preload's history pages and the parsed files are freed by now: give
    // that memory back, the program then idles for hours.
    malloc_trim(0);
#endif

    // The passwords move to where the options say before the first cycle
    // (an installed program's first start puts them into the keyring).
    const PasswordPlace place = options.cbKeyring ? PasswordPlace::Keyring : PasswordPlace::File;
    if (!needsMove(m_context.phones, place)) {
        finishStartWork();
        return;
    }
    auto moved = std::make_shared<QMetaObject::Connection>();
    *moved = connect(m_passwords.get(), &PhonePasswords::saved, this,
                     [this, moved](bool ok, const PhoneList &phones, const QString &error) {
                         disconnect(*moved);
                         if (ok) {
                             m_context.phones = phones;
                             dropKeyringPasswords(m_context.phones);
                         } else if (keyringChosen(m_context.settingsFile)) {
                             // The default asks for the keyring only where
                             // one answers; a chosen one is missed aloud.
                             tellKeyringProblem(error);
                         }
                         finishStartWork();
                     });
    withPasswords([this, place] { m_passwords->save(m_context.phones, place); });
}

void TrayController::finishStartWork()
{
    const Options &options = m_context.options.values();
    if (options.cbExecAfterRun) {
        m_startupCycle = true;
        if (runQueryCycle(CycleMode::AllPhones, -1, CycleSource::Startup))
            return; // the schedule starts when this cycle has ended
        m_startupCycle = false;
    }
    restartRequestTimer();
    m_logic.startupFinished();
    Q_EMIT startWorkDone();
}

bool TrayController::runQueryCycle(CycleMode mode, int slot, CycleSource source)
{
    // The phone list is being edited: nothing is asked until the window has
    // closed (opening it stopped any cycle under way).
    if (isSetupWindowVisible())
        return false;
    switch (m_logic.requestCycle(source, mode, slot)) {
    case CycleDecision::Start:
        applyMenuState();
        startCycleNow(mode, slot);
        return true;
    case CycleDecision::Queue:
        applyMenuState();
        return true;
    case CycleDecision::Skip:
        break;
    }
    return false;
}

void TrayController::startCycleNow(CycleMode mode, int slot)
{
    // A refused start (nothing the cycle can do) ends at once, so that the
    // menu does not stay switched off.
    // The setup window may have opened, or the program begun to end, while
    // the keyring was read: then the cycle ends before it began.
    withPasswords([this, mode, slot] {
        if (isSetupWindowVisible() || m_logic.isEnding()
            || (!m_wb->queryPhones(mode, slot) && !m_wb->isRunning()))
            onCycleFinished();
    });
}

void TrayController::withPasswords(const std::function<void()> &start)
{
    if (passwordPlaceOf(m_context.phones) == PasswordPlace::File) {
        start();
        return;
    }
    // Read at each cycle's start and forgotten at its end; the tray goes on
    // while the keyring asks the user to unlock it.
    auto filled = std::make_shared<QMetaObject::Connection>();
    *filled = connect(m_passwords.get(), &PhonePasswords::filled, this,
                      [this, filled, start](const PhoneList &phones, const QString &problem) {
                          disconnect(*filled);
                          if (!problem.isEmpty())
                              tellKeyringProblem(problem);
                          for (int i = 1; i <= PhoneSlotCount; ++i) {
                              PhoneSlot &s = m_context.phones.slot(i);
                              if (s.passwordInKeyring && s.number == phones.slot(i).number)
                                  s.password = phones.slot(i).password;
                          }
                          start();
                      });
    m_passwords->fill(m_context.phones);
}

void TrayController::tellKeyringProblem(const QString &message)
{
    if (std::exchange(m_keyringTold, true))
        return;
    writeErrorLog(message, m_context.paths.errorLogFile());
    notifyHistoryProblem(message);
}

bool TrayController::startRetry(const QList<int> &targets)
{
    if (m_logic.requestCycle(CycleSource::Retry, CycleMode::FailedPhones, -1)
        != CycleDecision::Start)
        return false;
    applyMenuState();
    withPasswords([this, targets] {
        if (isSetupWindowVisible() || m_logic.isEnding()
            || (!m_wb->retryPhones(targets) && !m_wb->isRunning()))
            onCycleFinished();
    });
    return true;
}

void TrayController::afterCycle(CycleSource source, bool fullCycle, const QList<int> &queried)
{
    const bool scheduled = source == CycleSource::Timer || source == CycleSource::Startup;
    // Only a fresh balance brings a new reading to judge.
    QList<int> fresh;
    for (int slot : queried) {
        if (slot >= 1 && slot <= PhoneSlotCount && m_results->results()[slot].queryOk)
            fresh << slot;
    }
    if (readSpend(fresh))
        m_presenter->showResults();
    const QList<Notification> notifications =
        m_alerts.cycleFinished(scheduled, queried, m_results->results(), m_context.phones,
                               m_context.options.values(), &m_spend);
    if (m_hooks.notifier) {
        for (const Notification &n : notifications)
            m_hooks.notifier->notify(n);
    }
    m_retry->setEnabled(m_context.options.values().cbRetryFailed);
    const qint64 nextScheduledAt =
        m_requestTimer.isActive() ? m_retry->now() + m_requestTimer.remainingTime() : -1;
    m_retry->cycleFinished(fullCycle, queried, m_results->results(), nextScheduledAt);
}

void TrayController::onCycleFinished()
{
    // Told once per cycle, however many rows were lost; each is in the error log.
    const QStringList historyFailures = std::exchange(m_historyFailures, {});
    const QString historyMissing = std::exchange(m_historyMissing, {});
    // The keyring's passwords stay in memory no longer than the cycle.
    dropKeyringPasswords(m_context.phones);
    if (!m_logic.cycleRunning())
        return;
    if (!historyMissing.isEmpty() && !m_logic.isEnding()) {
        saveSettingsNow();
        notifyHistoryProblem(historyMissing);
    }
    if (!historyFailures.isEmpty() && !m_logic.isEnding()) {
        QString message = historyFailures.first();
        if (historyFailures.size() > 1)
            message += QLatin1Char('\n')
                       + tr("Всего не записано результатов: %1.").arg(historyFailures.size());
        notifyHistoryProblem(message);
    }
    if (m_logic.isEnding()) {
        m_logic.cycleFinished();
        return;
    }
    const CycleSource source = m_logic.runningSource();
    const bool fullCycle = m_wb->mode() == CycleMode::AllPhones;
    const QList<int> queried = m_wb->queriedSlots();
    // Never in front of a modal window, which waits for an answer.
    if (m_phonesInfo->isVisible() && !QApplication::activeModalWidget()) {
        m_phonesInfo->raise();
        m_phonesInfo->activateWindow();
    }
    m_quietMenu = source == CycleSource::Retry;
    const bool startNext = m_logic.cycleFinished();
    applyMenuState();
    m_quietMenu = false;
    if (m_startupCycle) {
        m_startupCycle = false;
        restartRequestTimer();
        m_logic.startupFinished();
        Q_EMIT startWorkDone();
    }
    // After the schedule restarted: a retry must come before the next
    // scheduled cycle.
    afterCycle(source, fullCycle, queried);
    if (startNext)
        startCycleNow(m_logic.pendingMode(), m_logic.pendingSlot());
}

void TrayController::restartRequestTimer()
{
    m_requestTimer.stop();
    m_requestTimer.setInterval(int(m_context.options.values().refreshIntervalMs()));
    m_requestTimer.start();
}

void TrayController::optionsChanged(const Options &now, const Options &before)
{
    if (now.cbRetryFailed != before.cbRetryFailed)
        m_retry->setEnabled(now.cbRetryFailed);
    if (now.cbTrayIcon != before.cbTrayIcon)
        m_tray.setIconStyle(now.cbTrayIcon);
    // A running schedule starts afresh at the new interval; none runs during
    // the start-up cycle or after leaving.
    if (now.refreshIntervalMs() != before.refreshIntervalMs() && m_requestTimer.isActive())
        restartRequestTimer();
    const bool spendChanged =
        (now.edSpendFactor != before.edSpendFactor || now.edSpendFloor != before.edSpendFloor)
        && readAllSpend();
    if (settingsDiffer(MqttSection, now, before) || now.cbKeyring != before.cbKeyring)
        applyMqtt(now);
    if (settingsDiffer(HintWindowSection, now, before)
        || settingsDiffer(MarkSection, now, before)) {
        m_phonesInfo->buildGrid();
        m_presenter->showResults();
    } else if (spendChanged) {
        m_presenter->showResults();
    }
}

bool TrayController::readSpend(const QList<int> &slots)
{
    const SpendStates before = m_spend;
    QString error;
    if (!readSpendStates(m_spend, m_context.paths.historyFile(), m_context.phones, slots,
                         spendLimitsOf(m_context.options.values()), &error))
        writeErrorLog(error, m_context.paths.errorLogFile());
    m_mqtt->setSpend(m_spend, slots);
    return m_spend != before;
}

bool TrayController::readAllSpend()
{
    QList<int> all;
    for (int slot = 1; slot <= PhoneSlotCount; ++slot)
        all << slot;
    return readSpend(all);
}

void TrayController::runModal(const std::function<void()> &show)
{
    m_logic.windowOpened();
    applyMenuState();
    ScopeExit closed([this] {
        m_logic.windowClosed();
        applyMenuState();
        // A retry that came due while the window was open follows, after
        // whatever the closing of the window starts itself.
        QTimer::singleShot(0, m_retry.get(), [this] { m_retry->resume(); });
    });
    show();
}

void TrayController::showSetupWindow()
{
    bool requestNow = false;
    runModal([&] {
        if (m_wb->isRunning())
            m_wb->stop();
        if (!m_setup)
            m_setup = new SetupWindow(m_context);
        const PhoneList phonesBefore = m_context.phones;
        m_setup->setBrokerPassword(m_brokerPassword);
        const int result = m_setup->exec();
        requestNow = m_setup->requestNow();
        if (result != QDialog::Accepted)
            return; // the running program goes on as it was
        const Options chosen = m_setup->options();
        const bool wasInKeyring = m_context.options.values().cbKeyring;
        // A password the keyring did not give cannot be moved: what it holds
        // stays there until the user types a new one.
        const bool passwordChanged =
            m_setup->brokerPassword() != m_brokerPassword
            || (chosen.cbKeyring != wasInKeyring && !m_brokerPasswordUnread);
        if (passwordChanged) {
            m_brokerPassword = m_setup->brokerPassword();
            m_brokerPasswordUnread = false;
            QString error;
            if (!saveBrokerPassword(m_context.settingsFile, chosen.cbKeyring, m_brokerPassword,
                                    &error, wasInKeyring))
                // no tr: a line of the error log
                writeErrorLog(QStringLiteral("MQTT: пароль брокера не сохранён: ") + error,
                              m_context.paths.errorLogFile());
        }
        // What the options change follows their change signal; the phone
        // rows and the tray's phone follow the phone list.
        const Options before = m_context.options.values();
        m_context.options.apply(chosen);
        saveSettingsNow();
        // A new password alone changes no option: the broker gets it here.
        if (passwordChanged && !settingsDiffer(MqttSection, chosen, before))
            m_mqtt->apply(chosen, m_brokerPassword);
        if (m_context.phones != phonesBefore) {
            m_mqtt->phonesChanged();
            m_presenter->showBalance();
            readAllSpend();
            m_phonesInfo->buildGrid();
            m_presenter->showResults();
        }
    });
    // "Save and request" runs whichever way the window was closed.
    if (requestNow)
        runQueryCycle(CycleMode::AllPhones, -1, CycleSource::User);
}

void TrayController::showPhonesWindow()
{
    m_phonesInfo->show();
    if (QApplication::activeModalWidget())
        return; // it stays beneath the modal window that is open
    m_phonesInfo->raise();
    m_phonesInfo->activateWindow();
}

void TrayController::showHistoryWindow()
{
    if (m_historyWindowOpen)
        return;
    runModal([this] {
        m_historyWindowOpen = true;
        ScopeExit closed([this] { m_historyWindowOpen = false; });
        if (m_wb->isRunning())
            m_wb->stop();
        showHistoryWindowModal(m_context, nullptr);
    });
}

void TrayController::showAboutBox()
{
    runModal([this] {
        AboutBox box([this] { openHomePage(); });
        box.exec();
    });
}

void TrayController::openHomePage()
{
    m_hooks.openUrl(QUrl(HomePageUrl + QLatin1Char('?') + ProgramName + QStringLiteral("_v_")
                         + ProgramVersion));
}

void TrayController::exitProgram()
{
    if (m_logic.isEnding())
        return;
    m_logic.beginEnding();
    applyMenuState();
    m_requestTimer.stop();
    m_retry->setEnabled(false);
    m_presenter->stopShowing();
    // Home Assistant shows the phones as unavailable from now on.
    m_mqtt->stop(true);
    // Leaving stops a running cycle at once rather than letting it walk
    // through its remaining phones.
    if (m_wb->isRunning())
        m_wb->stop();
    saveSettingsNow();
    m_tray.trayRemove();
    m_hooks.quit();
}

void TrayController::trayNotify(QSystemTrayIcon::ActivationReason reason)
{
    // The right button's menu is popped up by the tray icon itself.
    if (reason == QSystemTrayIcon::Trigger)
        showPhonesWindow();
}

void TrayController::setTrayHost(bool present)
{
    const bool first = !m_trayHostKnown;
    m_trayHostKnown = true;
    if (present && m_standInForTray) {
        m_standInForTray = false;
        m_phonesInfo->setNoTrayNote(QString());
    } else if (!present && first) {
        // Only at start: a panel that restarts later is gone for a moment.
        m_standInForTray = true;
        m_phonesInfo->setNoTrayNote(
            tr("На рабочем столе нет области уведомлений, и значок программы не виден. "
               "Её дают, например, расширение GNOME «AppIndicator and KStatusNotifierItem "
               "Support» или модуль tray панели (waybar, Xfce, LXQt). Пока её нет, "
               "закрытие этого окна завершает программу."));
        showPhonesWindow();
    }
}

void TrayController::applyMqtt(const Options &options)
{
    const auto apply = [this](const Options &o) {
        QString error;
        if (!m_mqtt->apply(o, m_brokerPassword, &error)) // no tr: a line of the error log
            writeErrorLog(QStringLiteral("MQTT: публикация выключена: ") + error,
                          m_context.paths.errorLogFile());
        m_presenter->setBrokerUnreachable(false);
    };
    // Read also while publishing is off, so that the setup window shows it
    // and a move between keyring and file carries it; an anonymous broker
    // asks for no keyring at all.
    if (options.edMqttUser.isEmpty() || !options.cbKeyring) {
        if (!options.cbKeyring) {
            m_brokerPassword = brokerPasswordInFile(m_context.settingsFile);
            m_brokerPasswordUnread = false;
        }
        apply(options);
        return;
    }
    // The keyring answers by a signal: an unlock dialog never holds the tray.
    auto *vault = new PasswordVault(this);
    connect(vault, &PasswordVault::readDone, this,
            [this, vault, apply](const QHash<QString, QString> &found, const QStringList &,
                                 const QString &problem) {
                vault->deleteLater();
                // no tr: a line of the error log
                if (!problem.isEmpty() && m_context.options.values().cbMqttEnabled)
                    writeErrorLog(QStringLiteral("MQTT: пароль брокера не прочитан из связки "
                                                 "ключей: ")
                                      + problem,
                                  m_context.paths.errorLogFile());
                m_brokerPassword = found.value(QLatin1String(BrokerPasswordKey));
                m_brokerPasswordUnread = !problem.isEmpty();
                apply(m_context.options.values());
            });
    vault->read({QLatin1String(BrokerPasswordKey)});
}

bool TrayController::saveSettingsNow()
{
    QString error;
    const bool trayNotShown = m_context.phones.trayShownSlot() == 0;
    if (zelvant::saveSettings(m_context.settingsFile, m_context.options.values(), trayNotShown,
                              m_hooks.autoStart.get(), &error))
        return true;
    writeErrorLog(error, m_context.paths.errorLogFile());
    showMessage(nullptr, MessageKind::Warning,
                tr("Не удалось сохранить настройки в файл %1:\n%2")
                    .arg(m_context.settingsFile.path(), error));
    return false;
}

bool TrayController::isSetupWindowVisible() const
{
    return m_setup && m_setup->isVisible();
}

void TrayController::notifyHistoryProblem(const QString &message)
{
    // Through the desktop's notifications like the balance alerts; the tray
    // icon's own message where the program runs without a notifier.
    if (m_hooks.notifier)
        m_hooks.notifier->notify(ProgramTitle, message, Urgency::Critical);
    else
        m_tray.trayShowMessage(ProgramTitle, message);
}

void TrayController::historyFileMissing(const QString &message)
{
    // Off until the user switches it on again (the error log has the line).
    // Saved and told when the cycle has ended: a settings file that cannot
    // be written is told in a message box, and the cycle waits for nobody.
    Options off = m_context.options.values();
    off.cbHistory = false;
    m_context.options.apply(off);
    m_historyMissing = message;
}

void TrayController::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(Qt::red);
    painter.drawText(10, 20, tr("Это окно не должно быть видимым!"));
    painter.setPen(Qt::black);
    painter.drawText(10, 40, tr("Если Вы, все же, видите эту надпись, то свяжитесь,"));
    painter.drawText(10, 56, tr("пожалуйста, с автором!"));
}

} // namespace zelvant
