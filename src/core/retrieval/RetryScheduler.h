#pragma once
// Automatic retries of phones that failed for a network reason (no
// connection, time-out, TLS, a server error 5xx): a cycle of those phones
// only, 10, 30 and 60 minutes after the cycle in which they failed (each
// delay counted from the end of the cycle before), at most three times.
// Never for a page that came back without a balance: repeating a wrong
// password can lock the account. Never past the next scheduled cycle, which
// asks every phone anyway, and never while another cycle runs: the starter
// refuses then, and the retry follows the end of that cycle.

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

namespace zelvant {

class PhoneResults;

class RetryScheduler : public QObject
{
    Q_OBJECT
public:
    // Milliseconds on a steady clock.
    using Clock = std::function<qint64()>;
    // Starts a retry cycle of these slots; false when it cannot start now.
    using Starter = std::function<bool(const QList<int> &targets)>;

    static QList<qint64> defaultDelaysMs(); // 10, 30, 60 minutes

    explicit RetryScheduler(Starter starter, QObject *parent = nullptr);

    // One delay per attempt; the number of delays is the number of attempts.
    void setDelays(const QList<qint64> &delaysMs);
    void setClock(Clock clock);
    // Off forgets what was planned.
    void setEnabled(bool on);
    bool isEnabled() const { return m_enabled; }

    // Every cycle that ended, the scheduler's own included. fullCycle: it
    // asked every phone (a new plan starts from it); otherwise phones it
    // brought back are taken out of the plan. queried: the slots a request
    // went out for. nextScheduledAt: when the next scheduled cycle is due on
    // the clock, negative when none is.
    void cycleFinished(bool fullCycle, const QList<int> &queried, const PhoneResults &results,
                       qint64 nextScheduledAt);
    // The program could not start cycles for a while (a modal window) and
    // now can: a retry that came due meanwhile starts.
    void resume();

    bool isPlanned() const { return !m_slots.isEmpty(); }
    qint64 dueAt() const { return m_dueAt; }
    QList<int> plannedSlots() const { return m_slots; }
    int attemptsMade() const { return m_attempts; }
    bool isRetryRunning() const { return m_running; }
    // The time on the scheduler's clock, for the caller's nextScheduledAt.
    qint64 now() const { return m_clock(); }

private:
    void clear();
    void arm();
    void startIfDue();

    Starter m_starter;
    Clock m_clock;
    QList<qint64> m_delays;
    bool m_enabled = true;
    QList<int> m_slots;
    qint64 m_dueAt = -1;
    int m_attempts = 0;
    bool m_running = false;
    QTimer m_timer;
};

} // namespace zelvant
