#include "core/export/HistoryWorkbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <string>

#include "core/Parts.h"

namespace zelvant {

namespace {

constexpr double SecondsPerDay = 86400.0;
// Bold text is wider than the plain text the widths are counted in.
constexpr double BoldFactor = 1.15;
constexpr double CellPadding = 1.5;
constexpr int DateTimeChars = 19;

// Characters of a number as the "General" format shows it.
int numberChars(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return result.ec == std::errc() ? int(result.ptr - buffer) : 11;
}

// "dd.mm.yyyy" and "hh:mm:ss" without going through the locale machinery:
// a long history has one of each per row.
void putTwo(char *out, int value)
{
    out[0] = char('0' + value / 10 % 10);
    out[1] = char('0' + value % 10);
}

QString dateText(const QDate &date)
{
    if (!date.isValid())
        return {};
    int y = 0, m = 0, dd = 0;
    date.getDate(&y, &m, &dd);
    if (y < 0 || y > 9999)
        return date.toString(QStringLiteral("dd.MM.yyyy"));
    char buffer[10];
    putTwo(buffer, dd);
    buffer[2] = '.';
    putTwo(buffer + 3, m);
    buffer[5] = '.';
    putTwo(buffer + 6, y / 100);
    putTwo(buffer + 8, y % 100);
    return QString::fromLatin1(buffer, 10);
}

QString timeText(const QTime &time)
{
    if (!time.isValid())
        return {};
    char buffer[8];
    putTwo(buffer, time.hour());
    buffer[2] = ':';
    putTwo(buffer + 3, time.minute());
    buffer[5] = ':';
    putTwo(buffer + 6, time.second());
    return QString::fromLatin1(buffer, 8);
}

// The part that writes .xlsx files, opened at the first workbook.
WorkbookBackend *openWorkbook(const QByteArray &path, const WorkbookBackend::Options &options,
                              QString *error)
{
    QString reason;
    const auto open = reinterpret_cast<OpenWorkbookFunction>(
        resolvePart(QStringLiteral("xlsx"), OpenWorkbookSymbol, &reason));
    if (!open) {
        *error = QCoreApplication::translate("zelvant::WorkbookWriter",
                                             "не найдена часть программы для книг Excel (%1)")
                     .arg(reason);
        return nullptr;
    }
    return open(path, options, error);
}

} // namespace

double excelDateTime(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return 0;
    static const QDate origin(1899, 12, 30);
    const qint64 days = origin.daysTo(dateTime.date());
    const QTime t = dateTime.time();
    const double seconds = t.msecsSinceStartOfDay() / 1000.0;
    return double(days) + seconds / SecondsPerDay;
}

QString writeFailedText(const QString &path, const QString &reason)
{
    return QCoreApplication::translate("zelvant::HistoryWorkbook",
                                       "Не удалось записать файл \"%1\": %2")
        .arg(QDir::toNativeSeparators(path), reason);
}

struct WorkbookWriter::Private
{
    QSaveFile target;
    QTemporaryFile scratch;
    std::unique_ptr<WorkbookBackend> workbook;
};

WorkbookWriter::WorkbookWriter(const QString &path, int columns,
                               const WorkbookBackend::Options &options)
    : d(std::make_unique<Private>())
    , m_path(path)
    , m_widths(columns, 0.0)
{
    // Opening the target first makes a missing folder, a directory in the
    // file's place or a read-only folder fail before any work is done.
    d->target.setFileName(path);
    if (QFileInfo(path).isDir()) {
        fail(QCoreApplication::translate("zelvant::HistoryWorkbook",
                                         "на этом месте находится папка"));
        return;
    }
    if (!d->target.open(QIODevice::WriteOnly)) {
        fail(d->target.errorString());
        return;
    }
    // The library writes by file name, so the workbook is built in a scratch
    // file and copied into the target, which replaces the old file only
    // when everything has been written.
    d->scratch.setFileTemplate(QDir::tempPath() + QStringLiteral("/zelvant-XXXXXX.xlsx"));
    if (!d->scratch.open()) {
        fail(d->scratch.errorString());
        return;
    }
    d->scratch.close();
    QString error;
    d->workbook.reset(openWorkbook(QFile::encodeName(d->scratch.fileName()), options, &error));
    if (!d->workbook)
        fail(error);
}

WorkbookWriter::~WorkbookWriter()
{
    d->target.cancelWriting();
}

void WorkbookWriter::fail(const QString &reason)
{
    if (m_error.isEmpty())
        m_error = reason;
}

void WorkbookWriter::writeResult(int row, int column, const QString &failure)
{
    if (!failure.isEmpty())
        fail(QCoreApplication::translate("zelvant::HistoryWorkbook", "строка %1, столбец %2: %3")
                 .arg(row)
                 .arg(column)
                 .arg(failure));
}

void WorkbookWriter::widen(int column, double chars)
{
    if (column >= 1 && column <= m_widths.size() && chars > m_widths[column - 1])
        m_widths[column - 1] = chars;
}

void WorkbookWriter::writeTitles(const QStringList &titles)
{
    for (int i = 0; i < titles.size() && ok(); ++i) {
        writeResult(1, i + 1,
                    d->workbook->writeString(0, i, titles.at(i).toUtf8(),
                                             WorkbookBackend::CellStyle::Bold));
        widen(i + 1, titles.at(i).size() * BoldFactor);
    }
}

void WorkbookWriter::writeText(int row, int column, const QString &text)
{
    if (!ok())
        return;
    writeResult(row, column,
                d->workbook->writeString(row - 1, column - 1, text.toUtf8(),
                                         WorkbookBackend::CellStyle::Plain));
    widen(column, text.size());
}

void WorkbookWriter::writeNumber(int row, int column, double value)
{
    if (!ok())
        return;
    writeResult(
        row, column,
        d->workbook->writeNumber(row - 1, column - 1, value, WorkbookBackend::CellStyle::Plain));
    widen(column, numberChars(value));
}

void WorkbookWriter::writeDateTime(int row, int column, const QDateTime &value)
{
    if (!ok())
        return;
    writeResult(row, column,
                d->workbook->writeNumber(row - 1, column - 1, excelDateTime(value),
                                         WorkbookBackend::CellStyle::DateTime));
    widen(column, DateTimeChars);
}

void WorkbookWriter::addLineChartSheet(const LineChartSheet &spec)
{
    if (ok())
        fail(d->workbook->addLineChartSheet(spec));
}

bool WorkbookWriter::finish(QString *error)
{
    if (ok()) {
        for (int i = 0; i < m_widths.size(); ++i) {
            if (m_widths[i] > 0)
                d->workbook->setColumnWidth(i, std::ceil(m_widths[i] + CellPadding));
        }
        fail(d->workbook->close());
        d->workbook.reset();
    }
    if (ok()) {
        QFile built(d->scratch.fileName());
        if (!built.open(QIODevice::ReadOnly)) {
            fail(built.errorString());
        } else {
            QByteArray chunk;
            while (ok() && !(chunk = built.read(1 << 20)).isEmpty()) {
                if (d->target.write(chunk) != chunk.size())
                    fail(d->target.errorString());
            }
            if (ok() && built.error() != QFileDevice::NoError)
                fail(built.errorString());
        }
    }
    if (ok() && !d->target.commit())
        fail(d->target.errorString());
    if (!ok()) {
        d->target.cancelWriting();
        if (error)
            *error = writeFailedText(m_path, m_error);
        return false;
    }
    return true;
}

bool writeHistoryWorkbook(const QString &path, const QList<HistoryRow> &rows, QString *error)
{
    enum { Date = 1, Time, Balance, Average, TurnOff, Recomend, Sms, Minutes, UsdRate };
    // The rows go in top to bottom: the library streams them instead of
    // holding the whole sheet (half the memory of a long history).
    WorkbookWriter writer(path, 9, {.rowsInOrder = true});
    writer.writeTitles({QStringLiteral("Дата"), QStringLiteral("Время"), QStringLiteral("Баланс"),
                        QStringLiteral("Расход в день"), QStringLiteral("Отключение"),
                        QStringLiteral("Заплатить"), QStringLiteral("SMS"), QStringLiteral("Минут"),
                        QStringLiteral("Курс USD")});
    QString previousDate;
    int row = 1;
    for (const HistoryRow &r : rows) {
        if (!writer.ok())
            break;
        ++row;
        // The date goes only into the first (newest) row of each day.
        const QString date = dateText(r.queryDateTime.date());
        if (date != previousDate)
            writer.writeText(row, Date, date);
        previousDate = date;
        writer.writeText(row, Time, timeText(r.queryDateTime.time()));
        writer.writeNumber(row, Balance, roundHalfEven(r.balance, 2));
        writer.writeNumber(row, Average, roundHalfEven(r.averagePerDay, 2));
        if (r.turnOffDays != 0)
            writer.writeNumber(row, TurnOff, r.turnOffDays);
        const double recomend = roundHalfEven(r.recommendedPayment, 2);
        if (recomend != 0)
            writer.writeNumber(row, Recomend, recomend);
        if (r.smsLeft != 0)
            writer.writeNumber(row, Sms, r.smsLeft);
        if (r.minutes != 0)
            writer.writeNumber(row, Minutes, r.minutes);
        writer.writeNumber(row, UsdRate, roundHalfEven(r.usdRate, 4));
    }
    if (!rows.isEmpty()) {
        // A second sheet that shows the balance column as a curve; it reads
        // the first sheet's cells, so a change there redraws it.
        writer.addLineChartSheet({QStringLiteral("График"),
                                  historyHeaderText(rows.first().phoneNumber, QString()),
                                  QStringLiteral("Дата"), QStringLiteral("Баланс, у.е."), Date,
                                  Balance, 2, row, true, true});
    }
    return writer.finish(error);
}

ExportOutcome exportHistory(const QString &historyFile, const QString &path, const QString &number,
                            const HistoryRangeChoice &choice)
{
    const HistoryQueryResult query = queryHistory(historyFile, number, choice);
    switch (query.status) {
    case HistoryQueryResult::FileMissing:
        return {ExportOutcome::HistoryFileMissing, historyNotFoundText()};
    case HistoryQueryResult::Failed:
        return {ExportOutcome::Failed, query.error};
    case HistoryQueryResult::Ok:
        break;
    }
    if (query.rows.isEmpty())
        return {ExportOutcome::NoHistory, historyNotFoundText()};
    QString error;
    if (!writeHistoryWorkbook(path, query.rows, &error))
        return {ExportOutcome::Failed, error};
    return {ExportOutcome::Written, HistoryExportDoneText};
}

QString withXlsxSuffix(const QString &path)
{
    if (path.isEmpty() || path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive))
        return path;
    return path + QStringLiteral(".xlsx");
}

QString overwriteQuestionText(const QString &path)
{
    return QCoreApplication::translate("zelvant::HistoryWorkbook",
                                       "Файл \"%1\" существует! Перезаписать?")
        .arg(QDir::toNativeSeparators(path));
}

QString cannotOverwriteText(const QString &path)
{
    return QCoreApplication::translate(
               "zelvant::HistoryWorkbook",
               "Файл \"%1\" не может быть перезаписан.\nВозможно он уже открыт в Excel")
        .arg(QDir::toNativeSeparators(path));
}

bool canOverwrite(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    if (!QFileInfo(info.absolutePath()).isWritable())
        return false;
    // Opened without truncating: the old contents stay until the new
    // workbook is complete.
    QFile file(path);
    return file.open(QIODevice::ReadWrite);
}

QString historyExportFileName(const QString &number, const QString &alias)
{
    QString name = number.trimmed();
    if (!alias.trimmed().isEmpty())
        name += QStringLiteral(" (") + alias.trimmed() + QLatin1Char(')');
    // An alias is free text; characters that cannot stand in a file name
    // would turn the suggestion into a path or an invalid name.
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (QChar &c : name) {
        if (forbidden.contains(c) || c.unicode() < 32)
            c = QLatin1Char('_');
    }
    return name + QStringLiteral(".xlsx");
}

} // namespace zelvant
