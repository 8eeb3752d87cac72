#pragma once
// The request cycle: for every phone in turn, log into the self-service
// system, wait for the balance page, parse it, store the result. An
// asynchronous state machine on the GUI thread: QueryPhones starts a cycle
// and cycleFinished() is emitted when it is over.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

#include "core/CycleMode.h"
#include "core/history/HistoryStore.h" // DefaultHistoryBusyTimeoutMs

namespace zelvant {

class AppContext;
class TrayService;
class HistoryWarnings;
class PageFetcher;

// Durations of the cycle; tests inject short ones.
struct CycleTimings
{
    int pauseBeforePhoneMs = 5000;
    int timeoutMs = 180000;
    int afterPhoneMs = 100;
    int animationFrameMs = 100;
    // How long a history write waits for another process's lock.
    int historyBusyTimeoutMs = DefaultHistoryBusyTimeoutMs;
};

// What the cycle needs of the windows.
class CycleHooks
{
public:
    virtual ~CycleHooks() = default;
    virtual void fillGrid() = 0;                   // phones window + tray tip lines
    virtual bool isSetupWindowVisible() const = 0; // every phone is skipped then
    virtual bool isClosing() const = 0;            // the program is ending
    virtual void saveSettings() = 0;               // after history switched itself off
};

class RequestCycle : public QObject
{
    Q_OBJECT
public:
    RequestCycle(AppContext &context, TrayService &tray, CycleHooks &hooks,
                 HistoryWarnings *warnings, QObject *parent = nullptr);
    ~RequestCycle() override;

    void setTimings(const CycleTimings &timings);

    // Asks the phones that mode names (OnePhone: the given slot). Returns at
    // once; cycleFinished() follows. Refused (false) while a cycle runs.
    bool queryPhones(CycleMode mode, int slot = -1);
    // The automatic retry: the given slots only, those of them without a
    // fresh result. Refused (false) while a cycle runs.
    bool retryPhones(const QList<int> &targets);
    // Abandons the current phone's request and ends the cycle: a cycle in a
    // pause or a wait is over (cycleFinished() emitted) when this returns.
    // Leaving the program calls it too.
    void stop();
    bool isRunning() const;

    // The browser of the cycle (tests trust their own certificate authority
    // through it).
    PageFetcher &fetcher();

    // Number of phones queried so far in the running (or last) cycle.
    int queriedCount() const;
    // The slots a request went out for in the running (or last) cycle.
    QList<int> queriedSlots() const;
    // Which phones the running (or last) cycle asks; a retry's is FailedPhones.
    CycleMode mode() const;

    // The login address as the browser is given it: a local path becomes a
    // file:// address, and one without a scheme is taken as http://. When
    // the address still cannot be used, *problem says why (empty otherwise).
    static QUrl loginUrl(const QString &address, QString *problem = nullptr);
    // "Lang=2&mobnum=%s&Password=%s" as Windows-1251 bytes, number and
    // password exactly as configured (no encoding, no trimming).
    static QByteArray loginBody(const QString &number, const QString &password);
    static bool hasBalanceMarker(const QString &page);

    // Saves a received page into folder, named after the local time
    // ("yy-MM-dd_hh-mm-ss-zzz.html"), lines ended by CR LF, Windows-1251.
    // Two pages of the same millisecond both survive: the second one takes
    // the next free millisecond. Returns the file written, empty on error.
    static QString saveLogFile(const QString &folder, const QString &text, const QDateTime &now);

Q_SIGNALS:
    void cycleFinished();
    void phoneFinished(int slot, bool ok);
    // The rules file beside the other files cannot be used; the cycle reads
    // by the built-in rules (the error log has the message too).
    void pageRulesRefused(const QString &message);
    // A fresh result of the slot was (stored) or was not written to the
    // history; failure is the message "История не записана: …". Not emitted
    // while history is off, nor when a missing history switched it off.
    void historyWritten(int slot, bool stored, const QString &failure);
    // The slot's login address cannot be used (message says which and why,
    // and is in the error log); the phone fails without a request.
    void loginAddressUnusable(int slot, const QString &message);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace zelvant
