#include "core/retrieval/RetryScheduler.h"

#include <QElapsedTimer>

#include <limits>

#include "core/PhoneResult.h"

namespace zelvant {

namespace {

bool failedOnTheWay(const PhoneResult &record)
{
    return !record.queryOk && record.failure.isNetworkFault();
}

} // namespace

QList<qint64> RetryScheduler::defaultDelaysMs()
{
    constexpr qint64 Minute = 60 * 1000;
    return {10 * Minute, 30 * Minute, 60 * Minute};
}

RetryScheduler::RetryScheduler(Starter starter, QObject *parent)
    : QObject(parent)
    , m_starter(std::move(starter))
    , m_delays(defaultDelaysMs())
{
    m_clock = [] {
        static QElapsedTimer steady;
        if (!steady.isValid())
            steady.start();
        return steady.elapsed();
    };
    m_timer.setSingleShot(true);
    // Minutes ahead: a coarse timer is precise enough and lets the system
    // bundle wake-ups.
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RetryScheduler::startIfDue);
}

void RetryScheduler::setDelays(const QList<qint64> &delaysMs)
{
    m_delays = delaysMs;
}

void RetryScheduler::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

void RetryScheduler::setEnabled(bool on)
{
    m_enabled = on;
    if (!on)
        clear();
}

void RetryScheduler::clear()
{
    m_timer.stop();
    m_slots.clear();
    m_dueAt = -1;
    m_attempts = 0;
}

void RetryScheduler::cycleFinished(bool fullCycle, const QList<int> &queried,
                                   const PhoneResults &results, qint64 nextScheduledAt)
{
    const bool ownCycle = m_running;
    m_running = false;
    if (!m_enabled) {
        clear();
        return;
    }
    const qint64 now = m_clock();
    if (fullCycle && !ownCycle) {
        // Every phone was asked again: the plan starts afresh from this.
        clear();
        for (int slot : queried) {
            if (failedOnTheWay(results[slot]))
                m_slots << slot;
        }
        if (!m_slots.isEmpty() && !m_delays.isEmpty())
            m_dueAt = now + m_delays.first();
    } else {
        // A retry, or a phone the user asked for: what came back (or failed
        // in a way a retry cannot mend) leaves the plan.
        QList<int> still;
        for (int slot : std::as_const(m_slots)) {
            if (ownCycle && !queried.contains(slot))
                continue; // the cycle left it out (a changed phone list)
            if (failedOnTheWay(results[slot]))
                still << slot;
        }
        m_slots = still;
        if (ownCycle) {
            ++m_attempts;
            if (m_attempts < m_delays.size())
                m_dueAt = now + m_delays.at(m_attempts);
            else
                m_slots.clear();
        }
    }
    // The next scheduled cycle asks these phones anyway.
    if (nextScheduledAt >= 0 && m_dueAt >= nextScheduledAt)
        m_slots.clear();
    if (m_slots.isEmpty()) {
        clear();
        return;
    }
    arm();
}

void RetryScheduler::resume()
{
    if (isPlanned() && !m_running && m_dueAt <= m_clock())
        startIfDue();
}

void RetryScheduler::arm()
{
    const qint64 wait = m_dueAt - m_clock();
    // A retry that came due while another cycle ran follows it, but from the
    // event loop: the cycle's end is still being handled.
    m_timer.start(int(qBound(qint64(0), wait, qint64(std::numeric_limits<int>::max()))));
}

void RetryScheduler::startIfDue()
{
    if (!isPlanned() || m_running || !m_enabled)
        return;
    const qint64 wait = m_dueAt - m_clock();
    if (wait > 0) {
        arm();
        return;
    }
    m_timer.stop();
    // Running before the start: a cycle that ends at once reports back
    // from inside the starter.
    m_running = true;
    if (!m_starter || !m_starter(m_slots)) {
        // Refused: another cycle runs or a window is open; cycleFinished()
        // or resume() tries again.
        m_running = false;
    }
}

} // namespace zelvant
