#include "core/history/ResultStore.h"

#include "core/Logging.h"

namespace zelvant {

ResultStore::ResultStore(const AppPaths &paths, QObject *parent)
    : QObject(parent)
    , m_historyFile(paths.historyFile())
    , m_errorLogFile(paths.errorLogFile())
{
}

ResultStore::~ResultStore() = default;

void ResultStore::beginCycle(CycleMode mode, int slot, bool keepHistory)
{
    m_writer.reset();
    if (keepHistory) {
        m_writer = std::make_unique<HistoryStore>(m_historyFile, m_errorLogFile);
        m_writer->setBusyTimeout(m_busyTimeoutMs);
    }
    const PhoneResults before = m_results;
    m_results.clearQueryOk(mode, slot);
    for (int s = 1; s <= PhoneSlotCount; ++s) {
        if (!(m_results[s] == before[s]))
            Q_EMIT resultChanged(s);
    }
}

void ResultStore::endCycle()
{
    m_writer.reset();
}

void ResultStore::keepResult(int slot, const PhoneResult &record)
{
    if (slot < 1 || slot > PhoneSlotCount)
        return;
    // Kept first: whatever the history says, the balance came.
    setSlot(slot, record);
    if (!m_writer || m_writer->fileMissing())
        return;
    QString failure;
    const bool stored = m_writer->storeResult(record, &failure);
    if (m_writer->fileMissing()) {
        qCInfo(lcHistory) << "history file missing; not kept for the rest of the cycle";
        Q_EMIT historyFileMissing(HistoryFileMissingMessage);
        return;
    }
    Q_EMIT historyWritten(slot, stored, failure);
}

void ResultStore::keepFailure(int slot, const PhoneFailure &failure)
{
    if (slot < 1 || slot > PhoneSlotCount || m_results[slot].queryOk)
        return;
    PhoneResult record = m_results[slot];
    record.failure = failure;
    setSlot(slot, record);
}

void ResultStore::setResult(int slot, const PhoneResult &record)
{
    if (slot >= 1 && slot <= PhoneSlotCount)
        setSlot(slot, record);
}

int ResultStore::loadLatest(const PhoneList &phones, QString *error)
{
    PhoneResults loaded = m_results;
    const int filled = loadLatestResults(m_historyFile, phones, loaded, error);
    if (filled <= 0)
        return filled;
    for (int slot = 1; slot <= PhoneSlotCount; ++slot)
        setSlot(slot, loaded[slot]);
    return filled;
}

void ResultStore::setSlot(int slot, const PhoneResult &record)
{
    if (m_results[slot] == record)
        return;
    m_results[slot] = record;
    Q_EMIT resultChanged(slot);
}

} // namespace zelvant
