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
    return QString::number(RoundDecimals(value, decimals), 'f', decimals);
}

QJsonValue timeValue(const QDateTime &time, const QString &format)
{
    if (!time.isValid())
        return QJsonValue(QJsonValue::Null);
    return time.toString(format);
}

} // namespace

QByteArray HistoryRowsText(const QList<HistoryRow> &rows)
{
    QString text = QStringLiteral(
        "NN\tPhoneNumber\tQueryDateTime\tBalance\tAverage\tTurnOff\tRecomend\tSMS\tMinutes\t"
        "USDRate\n");
    for (const HistoryRow &row : rows) {
        const QString time = row.QueryDateTime.isValid()
            ? row.QueryDateTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
            : QStringLiteral("-");
        text += QStringList{QString::number(row.NN), row.PhoneNumber, time,
                            fixed(row.Balance, 2), fixed(row.Average, 2),
                            QString::number(row.TurnOff), fixed(row.Recomend, 2),
                            QString::number(row.SMS), QString::number(row.Minutes),
                            fixed(row.USDRate, 4)}
                    .join(QLatin1Char('\t'))
            + QLatin1Char('\n');
    }
    return text.toLocal8Bit();
}

QByteArray HistoryRowsJson(const QList<HistoryRow> &rows)
{
    QJsonArray array;
    for (const HistoryRow &row : rows) {
        QJsonObject object;
        object.insert(QStringLiteral("NN"), row.NN);
        object.insert(QStringLiteral("PhoneNumber"), row.PhoneNumber);
        object.insert(QStringLiteral("QueryDateTime"),
                      timeValue(row.QueryDateTime, QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")));
        object.insert(QStringLiteral("Balance"), RoundDecimals(row.Balance, 2));
        object.insert(QStringLiteral("Average"), RoundDecimals(row.Average, 2));
        object.insert(QStringLiteral("TurnOff"), row.TurnOff);
        object.insert(QStringLiteral("Recomend"), RoundDecimals(row.Recomend, 2));
        object.insert(QStringLiteral("SMS"), row.SMS);
        object.insert(QStringLiteral("Minutes"), row.Minutes);
        object.insert(QStringLiteral("USDRate"), RoundDecimals(row.USDRate, 4));
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

int RunHistoryMode(const CliRequest &request, const AppPaths &paths)
{
    const QString number = request.positional.value(0);
    HistoryReader reader(paths.historyFile());
    if (!reader.fileExists()) {
        WriteTo(stderr, QStringLiteral("Zelvant: Файл истории баланса Zelvant.mdb не найден: %1\n"
                                     "(Zelvant --init-history creates an empty one.)\n")
                          .arg(paths.historyFile())
                          .toLocal8Bit());
        return 2;
    }
    QString error;
    const QList<HistoryRow> rows =
        reader.rows(number, HistoryRange(request.rangeKind), request.rangeCount, &error);
    if (!error.isEmpty()) {
        WriteTo(stderr, QStringLiteral("Zelvant: cannot read the history database %1: %2\n")
                          .arg(paths.historyFile(), error)
                          .toLocal8Bit());
        return 2;
    }
    if (rows.isEmpty())
        WriteTo(stderr, QStringLiteral("История по выбранному телефону не найдена!\n").toLocal8Bit());
    WriteTo(stdout, request.json ? HistoryRowsJson(rows) : (rows.isEmpty() ? QByteArray()
                                                                          : HistoryRowsText(rows)));
    return 0;
}

} // namespace zelvant
