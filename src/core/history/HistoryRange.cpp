#include "core/history/HistoryRange.h"

#include <QCoreApplication>

#include <QFileInfo>
#include <QLocale>

#include <cmath>

#include "core/AppPaths.h"
#include "core/Logging.h"

namespace zelvant {

QString storedRangeText(const QString &stored, const QString &fallback)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(stored, &ok);
    if (!ok || !std::isfinite(value) || value == double(NotFoundSentinel))
        return fallback;
    return stored;
}

int rangeCount(const QString &text, int fallback)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < 0)
        return fallback;
    return value;
}

HistoryRangeChoice chooseHistoryRange(bool lastRequestsChosen, bool lastDaysChosen,
                                      const QString &lastRequestText, const QString &lastDaysText)
{
    if (lastRequestsChosen)
        return {HistoryRange::LastRequests, rangeCount(lastRequestText, DefaultLastRequests)};
    if (lastDaysChosen)
        return {HistoryRange::LastDays, rangeCount(lastDaysText, DefaultLastDays)};
    return {HistoryRange::All, 0};
}

std::optional<QChar> filterRangeKey(QChar typed)
{
    if (typed == QLatin1Char(','))
        return QChar(QLatin1Char('.'));
    if (typed == QLatin1Char('.') || (typed >= QLatin1Char('0') && typed <= QLatin1Char('9')))
        return typed;
    return std::nullopt;
}

HistoryQueryResult queryHistory(const QString &historyFile, const QString &number,
                                const HistoryRangeChoice &choice)
{
    HistoryQueryResult result;
    // Opening a missing SQLite file would create an empty one; the program
    // never creates the history database behind the user's back.
    if (!QFileInfo(historyFile).isFile()) {
        qCDebug(lcHistory).noquote() << "no history file" << historyFile;
        result.status = HistoryQueryResult::FileMissing;
        return result;
    }
    HistoryReader reader(historyFile);
    QString error;
    result.rows = reader.rows(number, choice.range, choice.count, &error);
    if (!error.isEmpty()) {
        qCInfo(lcHistory).noquote() << "history of" << number << "not read:" << error;
        result.status = HistoryQueryResult::Failed;
        result.error = error;
        result.rows.clear();
    } else {
        qCDebug(lcHistory).noquote()
            << "history of" << number << "read:" << result.rows.size() << "rows";
    }
    return result;
}

QString historyHeaderText(const QString &number, const QString &alias)
{
    QString text =
        QCoreApplication::translate("zelvant::HistoryRange", "Телефон %1").arg(number.trimmed());
    if (!alias.trimmed().isEmpty())
        text += QStringLiteral(" (") + alias.trimmed() + QLatin1Char(')');
    return text;
}

} // namespace zelvant
