#include "support/HistoryFixture.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include "core/history/HistoryStore.h"

namespace zelvant::test {

bool WriteHistoryRows(const QString &path, const QList<HistoryRow> &rows)
{
    if (!initHistory(path))
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
                q.addBindValue(r.phoneNumber);
                q.addBindValue(r.queryDateTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
                q.addBindValue(r.balance);
                q.addBindValue(r.averagePerDay);
                q.addBindValue(r.turnOffDays);
                q.addBindValue(r.recommendedPayment);
                q.addBindValue(r.smsLeft);
                q.addBindValue(r.minutes);
                q.addBindValue(r.usdRate);
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
    r.phoneNumber = number;
    r.queryDateTime = time;
    r.balance = balance;
    r.averagePerDay = average;
    r.turnOffDays = turnOff;
    r.recommendedPayment = recomend;
    r.smsLeft = sms;
    r.minutes = minutes;
    r.usdRate = usdRate;
    return r;
}

} // namespace zelvant::test
