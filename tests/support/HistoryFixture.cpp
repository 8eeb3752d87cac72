#include "support/HistoryFixture.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include "core/history/HistoryStore.h"

namespace zelvant::test {

bool WriteHistoryRows(const QString &path, const QList<HistoryRow> &rows)
{
    if (!InitHistory(path))
        return false;
    const QString connection = QStringLiteral("history-fixture");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        ok = db.open();
        if (ok) {
            db.transaction();
            QSqlQuery q(db);
            ok = q.prepare(QStringLiteral(
                "INSERT INTO Phones (PhoneNumber, QueryDateTime, Balance, Average, TurnOff, "
                "Recomend, SMS, Minutes, USDRate) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
            for (const HistoryRow &r : rows) {
                if (!ok)
                    break;
                q.addBindValue(r.PhoneNumber);
                q.addBindValue(r.QueryDateTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
                q.addBindValue(r.Balance);
                q.addBindValue(r.Average);
                q.addBindValue(r.TurnOff);
                q.addBindValue(r.Recomend);
                q.addBindValue(r.SMS);
                q.addBindValue(r.Minutes);
                q.addBindValue(r.USDRate);
                ok = q.exec();
            }
            ok = db.commit() && ok;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

HistoryRow MakeHistoryRow(const QString &number, const QDateTime &time, double balance,
                          double average, int turnOff, double recomend, int sms, int minutes,
                          double usdRate)
{
    HistoryRow r;
    r.PhoneNumber = number;
    r.QueryDateTime = time;
    r.Balance = balance;
    r.Average = average;
    r.TurnOff = turnOff;
    r.Recomend = recomend;
    r.SMS = sms;
    r.Minutes = minutes;
    r.USDRate = usdRate;
    return r;
}

} // namespace zelvant::test
