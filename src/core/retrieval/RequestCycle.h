#pragma once
// The request cycle: for every phone in turn, log into the self-service
// system, wait for the balance page, parse it. An asynchronous state machine
// on the GUI thread: queryPhones() starts a cycle, and what it learns travels
// by its signals (a phone chosen, its request sent, a result, a failure, the
// end); it keeps nothing itself and asks nobody anything. A ResultStore keeps
// the results (keepCycleResults() connects the two).

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

#include "core/CycleMode.h"
#include "core/FailReason.h"
#include "core/PhoneResult.h"
#include "core/history/HistoryStore.h" // DefaultHistoryBusyTimeoutMs

namespace zelvant {

class AppContext;
class PageFetcher;
class ResultStore;

// Durations of the cycle; tests inject short ones.
struct CycleTimings
{
    int pauseBeforePhoneMs = 5000;
    int timeoutMs = 180000;
    int afterPhoneMs = 100;
    // The tray's animation while a request is under way.
    int animationFrameMs = 100;
    // How long a history write waits for another process's lock.
    int historyBusyTimeoutMs = DefaultHistoryBusyTimeoutMs;
};

class RequestCycle : public QObject
{
    Q_OBJECT
public:
    // results: the slots' results as the store keeps them, read to leave out
    // the phones that already have a fresh one.
    RequestCycle(const AppContext &context, const PhoneResults &results, QObject *parent = nullptr);
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
    // Whoever runs the cycle calls it when the phone list is about to be
    // edited or the program ends.
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
    // A cycle begins (before any phone): the slots mode asks lose their fresh
    // flag (OnePhone: slot's only).
    void cycleStarted(CycleMode mode, int slot);
    // The slot is the count-th of the cycle's phones to be asked, of total
    // monitored; its pause begins.
    void progress(int slot, int count, int total);
    // The slot's login goes out now.
    void phoneStarted(int slot);
    // A balance page of the slot was read: the fresh result.
    void resultReady(int slot, const PhoneResult &result);
    // The slot has no fresh balance from this cycle, and why: a failed
    // request, a slot left out (no number, not monitored …) or stopped.
    void phoneFailed(int slot, const PhoneFailure &failure);
    // The slot's request is over (ok: a result came).
    void phoneFinished(int slot, bool ok);
    void cycleFinished();
    // The rules file beside the other files cannot be used; the cycle reads
    // by the built-in rules (the error log has the message too).
    void pageRulesRefused(const QString &message);
    // The slot's login address cannot be used (message says which and why,
    // and is in the error log); the phone fails without a request.
    void loginAddressUnusable(int slot, const QString &message);
    // Something meant for the disk was lost (a failed or saved page, a line
    // of the error log); message says what and the system's reason.
    void lossReported(const QString &message);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The store keeps what the cycle reports: each cycle's start, results and
// failures. History is kept for the cycles that begin while
// context.options say so.
void keepCycleResults(RequestCycle &cycle, ResultStore &store, const AppContext &context);

} // namespace zelvant
