#pragma once
// The hidden controller window: the tray menu, the start-up sequence, the
// refresh schedule, the request cycles and the windows opened from the tray.
// Its decisions live in MenuState; this class wires them to Qt.

#include <QStringList>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

#include "core/config/AutoStart.h"
#include "core/config/PhonePasswords.h"
#include "core/history/ResultStore.h"
#include "core/mqtt/MqttBridge.h"
#include "core/retrieval/RequestCycle.h"
#include "core/retrieval/RetryScheduler.h"
#include "core/tray/AlertRules.h"
#include "core/tray/MenuState.h"

class QAction;
class QMenu;

namespace zelvant {

class AppContext;
class PhonesWindow;
class SetupWindow;
class Notifier;
class TrayPresenter;
class TrayService;

// Call once, as early as the process starts: ZELVANT_STARTUP_MARK then prints
// the milliseconds to the tray icon with the preloaded balances.
void startStartupClock();

// What the controller asks of the desktop; tests replace them.
struct TrayControllerHooks
{
    std::function<void()> beep;                // default QApplication::beep
    std::function<void()> quit;                // default QCoreApplication::quit
    std::function<void(const QUrl &)> openUrl; // default QDesktopServices
    std::unique_ptr<AutoStart> autoStart;      // default: this platform's
    Notifier *notifier = nullptr;              // alerts go nowhere without one
    QList<qint64> retryDelaysMs;               // default 10, 30 and 60 minutes
    bool startTimer = true;                    // StartWork 10 ms after the loop starts
};

class TrayController : public QWidget
{
    Q_OBJECT
public:
    using Hooks = TrayControllerHooks;

    TrayController(AppContext &context, TrayService &tray, Hooks hooks = {},
                   QWidget *parent = nullptr);
    ~TrayController() override;

    void setCycleTimings(const CycleTimings &timings);

    void startWork();
    // Starts (or queues, or drops) a cycle over the phones mode names.
    // True when the cycle started or will start after the running one.
    bool runQueryCycle(CycleMode mode, int slot = -1, CycleSource source = CycleSource::User);
    void restartRequestTimer();
    void showSetupWindow();
    void showPhonesWindow();
    void showHistoryWindow();
    void showAboutBox();
    void openHomePage();
    void exitProgram();
    void trayNotify(QSystemTrayIcon::ActivationReason reason);
    // Whether a notification area shows the icon. Without one at start the
    // phones window stands in for the icon: it opens with a note, and
    // closing it ends the program, until a notification area appears.
    void setTrayHost(bool present);
    bool standsInForTray() const { return m_standInForTray; }

    // Saves the options (and the autostart entry); a failure is shown.
    bool saveSettingsNow();

    QMenu *trayMenu() const { return m_menu; }
    QAction *action(MenuItem item) const;
    const MenuState &logic() const { return m_logic; }
    const QTimer &requestTimer() const { return m_requestTimer; }
    PhonesWindow *phonesWindow() const { return m_phonesInfo; }
    RequestCycle *cycle() const { return m_wb.get(); }
    ResultStore &results() { return *m_results; }
    const RetryScheduler &retryScheduler() const { return *m_retry; }

Q_SIGNALS:
    // The tray icon shows what the start has to show (the preloaded
    // balances): what waits for the start to be seen can go now.
    void startupShown();
    void startWorkDone();
    void menuUpdated();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void buildMenu();
    bool isSetupWindowVisible() const;
    // The history file is gone: keeping history goes off for good, and the
    // user is told once the cycle has ended.
    void historyFileMissing(const QString &message);
    void applyMenuState();
    void onCycleFinished();
    // The one place that tells the user that fetched results did not reach
    // the history: a desktop notification through the tray icon.
    void notifyHistoryProblem(const QString &message);
    void startCycleNow(CycleMode mode, int slot);
    bool startRetry(const QList<int> &targets);
    void afterCycle(CycleSource source, bool fullCycle, const QList<int> &queried);
    void optionsChanged(const Options &now, const Options &before);
    void runModal(const std::function<void()> &show);
    void markStartup();
    // Works out the spend states of the slots from the history; a history
    // that cannot be read goes to the error log. True when a state changed.
    bool readSpend(const QList<int> &slots);
    bool readAllSpend();
    // The part of startWork after the passwords are where the options say.
    void finishStartWork();
    // Runs start once the keyring phones' passwords are in memory.
    void withPasswords(const std::function<void()> &start);
    // The keyring could not be used: told once a run (error log and notice).
    void tellKeyringProblem(const QString &message);
    // Publishing to the MQTT broker follows options (and the broker's
    // password, read from where options keep it).
    void applyMqtt(const Options &options);

    AppContext &m_context;
    TrayService &m_tray;
    Hooks m_hooks;
    MenuState m_logic;
    QTimer m_startWorkTimer;
    QTimer m_requestTimer;
    QMenu *m_menu = nullptr;
    QAction *m_actions[9] = {};
    PhonesWindow *m_phonesInfo = nullptr;
    SetupWindow *m_setup = nullptr;
    std::unique_ptr<ResultStore> m_results;
    std::unique_ptr<RequestCycle> m_wb;
    std::unique_ptr<TrayPresenter> m_presenter;
    AlertRules m_alerts;
    SpendStates m_spend{}; // shown by the phones window, told by the alerts
    std::unique_ptr<RetryScheduler> m_retry;
    std::unique_ptr<PhonePasswords> m_passwords;
    std::unique_ptr<MqttBridge> m_mqtt;
    QString m_brokerPassword;
    bool m_brokerPasswordUnread = false; // the keyring did not answer for it
    bool m_keyringTold = false;
    bool m_startupCycle = false;
    bool m_historyWindowOpen = false;
    bool m_trayHostKnown = false;
    bool m_standInForTray = false;
    bool m_quietMenu = false;      // the menu comes back after a retry: no beep
    QStringList m_historyFailures; // of the running cycle
    QString m_historyMissing;      // told when the running cycle has ended
    bool m_lossTold = false;       // a page or log line that could not be written was told
};

} // namespace zelvant
