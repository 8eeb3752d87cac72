// --history NUMBER: the stored rows of one number, newest first, as text
// lines or as a JSON array named after the columns of table Phones.
#include "cli/CommandLine.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

#include "core/history/HistoryStore.h"

namespace zelvant {

namespace {

QString fixed(double value, int decimals)
{
    return QString::number(roundDecimals(value, decimals), 'f', decimals);
}

QJsonValue timeValue(const QDateTime &time, const QString &format)
{
    if (!time.isValid())
        return QJsonValue(QJsonValue::Null);
    return time.toString(format);
}

} // namespace

QByteArray historyRowsText(const QList<HistoryRow> &rows)
{
    QString text = QStringLiteral(
        "NN\tPhoneNumber\tQueryDateTime\tBalance\tAverage\tTurnOff\tRecomend\tSMS\tMinutes\t"
        "USDRate\n");
    for (const HistoryRow &row : rows) {
        const QString time = row.queryDateTime.isValid()
                                 ? row.queryDateTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                 : QStringLiteral("-");
        text += QStringList{QString::number(row.rowId),
                            row.phoneNumber,
                            time,
                            fixed(row.balance, 2),
                            fixed(row.averagePerDay, 2),
                            QString::number(row.turnOffDays),
                            fixed(row.recommendedPayment, 2),
                            QString::number(row.smsLeft),
                            QString::number(row.minutes),
                            fixed(row.usdRate, 4)}
                    .join(QLatin1Char('\t'))
                + QLatin1Char('\n');
    }
    return text.toLocal8Bit();
}

QByteArray historyRowsJson(const QList<HistoryRow> &rows)
{
    QJsonArray array;
    for (const HistoryRow &row : rows) {
        QJsonObject object;
        object.insert(QStringLiteral("NN"), row.rowId);
        object.insert(QStringLiteral("PhoneNumber"), row.phoneNumber);
        object.insert(QStringLiteral("QueryDateTime"),
                      timeValue(row.queryDateTime, QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")));
        object.insert(QStringLiteral("Balance"), roundDecimals(row.balance, 2));
        object.insert(QStringLiteral("Average"), roundDecimals(row.averagePerDay, 2));
        object.insert(QStringLiteral("TurnOff"), row.turnOffDays);
        object.insert(QStringLiteral("Recomend"), roundDecimals(row.recommendedPayment, 2));
        object.insert(QStringLiteral("SMS"), row.smsLeft);
        object.insert(QStringLiteral("Minutes"), row.minutes);
        object.insert(QStringLiteral("USDRate"), roundDecimals(row.usdRate, 4));
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

int runHistoryMode(const CliRequest &request, const AppPaths &paths)
{
    const QString number = request.positional.value(0);
    HistoryReader reader(paths.historyFile());
    if (!reader.fileExists()) {
        writeTo(stderr, QStringLiteral("Zelvant: Файл истории баланса Zelvant.mdb не найден: %1\n"
                                       "(Zelvant --init-history creates an empty one.)\n")
                            .arg(paths.historyFile())
                            .toLocal8Bit());
        return 2;
    }
    QString error;
    const QList<HistoryRow> rows =
        reader.rows(number, HistoryRange(request.rangeKind), request.rangeCount, &error);
    if (!error.isEmpty()) {
        writeTo(stderr, QStringLiteral("Zelvant: cannot read the history database %1: %2\n")
                            .arg(paths.historyFile(), error)
                            .toLocal8Bit());
        return 2;
    }
    if (rows.isEmpty())
        writeTo(stderr,
                QStringLiteral("История по выбранному телефону не найдена!\n").toLocal8Bit());
    writeTo(stdout, request.json ? historyRowsJson(rows)
                                 : (rows.isEmpty() ? QByteArray() : historyRowsText(rows)));
    return 0;
}

} // namespace zelvant
