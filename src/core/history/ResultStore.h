#pragma once
// The phone results of the running program: the last result of each of the
// 100 slots, kept in one place and appended to the history as they come.
// Whoever shows them (the tray program's windows and icon, the command line)
// listens to its signals; it never waits on anyone.

#include <QObject>
#include <QString>

#include <memory>

#include "core/CycleMode.h"
#include "core/PhoneResult.h"
#include "core/history/HistoryStore.h"

namespace zelvant {

class PhoneList;

class ResultStore : public QObject
{
    Q_OBJECT
public:
    explicit ResultStore(const AppPaths &paths, QObject *parent = nullptr);
    ~ResultStore() override;

    const PhoneResults &results() const { return m_results; }
    const PhoneResult &operator[](int slot) const { return m_results[slot]; }

    // A request cycle begins: the slots that mode asks again lose their fresh
    // flag. With keepHistory each fresh result of the cycle is appended to
    // the history file until endCycle().
    void beginCycle(CycleMode mode, int slot, bool keepHistory);
    void endCycle();
    // A fresh result read from the slot's page: kept, and written to the
    // history while the cycle keeps it.
    void keepResult(int slot, const PhoneResult &record);
    // Why the slot has no fresh balance. A fresh result the slot already
    // holds keeps its values and its flag.
    void keepFailure(int slot, const PhoneFailure &failure);
    // A result as it is, written nowhere (the start-up preload, tests).
    void setResult(int slot, const PhoneResult &record);

    // Fills the monitored slots from their newest history rows (nothing when
    // the file is missing). Returns the number filled, -1 with *error when
    // the history could not be read.
    int loadLatest(const PhoneList &phones, QString *error = nullptr);

    // How long a history write waits for another process's lock.
    void setBusyTimeout(int milliseconds) { m_busyTimeoutMs = milliseconds; }

Q_SIGNALS:
    void resultChanged(int slot);
    // A fresh result of the slot was (stored) or was not written to the
    // history; failure is the message "История не записана: …" (also in the
    // error log). Not emitted while history is not kept, nor for a missing
    // file, which is told by historyFileMissing() instead.
    void historyWritten(int slot, bool stored, const QString &failure);
    // The history file is missing (message is the warning of the error log):
    // nothing more is written in this cycle, and whoever owns the options
    // switches history keeping off. Emitted once per cycle at most.
    void historyFileMissing(const QString &message);

private:
    void setSlot(int slot, const PhoneResult &record);

    const QString m_historyFile;
    const QString m_errorLogFile;
    PhoneResults m_results;
    std::unique_ptr<HistoryStore> m_writer; // during a cycle that keeps history
    int m_busyTimeoutMs = DefaultHistoryBusyTimeoutMs;
};

} // namespace zelvant
