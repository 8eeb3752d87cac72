#include "core/tray/PhonesTable.h"

#include <QCoreApplication>
#include <QLocale>

#include "core/AppPaths.h"
#include "core/ErrorLog.h"
#include "core/PhoneResult.h"
#include "core/config/PhoneList.h"
#include "core/config/Settings.h"
#include "core/tray/AlertRules.h"
#include "core/tray/TrayService.h"

namespace zelvant {

namespace {

struct ColumnDef
{
    const char *key;
    const char *title;
    int width;
    bool Options::*option; // null: always shown
};

// The order of the grid; note that "BalExpired" comes before "Min".
const ColumnDef Columns[] = {
    {"Alias", QT_TRANSLATE_NOOP("zelvant::PhonesTable", "Псевдоним"), 120, &Options::cbAlias},
    {"UserName", QT_TRANSLATE_NOOP("zelvant::PhonesTable", "Имя"), 170, &Options::cbUserName},
    {"PhoneNum", QT_TRANSLATE_NOOP("zelvant::PhonesTable", "Номер"), 80, &Options::cbPhoneNum},
    {"Balance", QT_TRANSLATE_NOOP("zelvant::PhonesTable", "Баланс"), 70, nullptr},
    {"Average", QT_TRANSLATE_NOOP("zelvant::PhonesTable", "Ср.расход"), 60, &Options::cbAverage},
    {"DailySpend", QT_TRANSLATE_NOOP("zelvant::PhonesTable", "Расход в день"), 80,
     &Options::cbDailySpend},
    {"TurnOff", QT_TRANSLATE_NOOP("zelvant::PhonesTable", "Откл."), 50, &Options::cbTurnOff},
    {"Recomend", QT_TRANSLATE_NOOP("zelvant::PhonesTable", "Рекоменд."), 60, &Options::cbRecomend},
    {"SMS", "SMS", 50, &Options::cbSMS},
    {"BalExpired", QT_TRANSLATE_NOOP("zelvant::PhonesTable", "Истекает"), 60,
     &Options::cbJeansBalExpired},
    {"Min", QT_TRANSLATE_NOOP("zelvant::PhonesTable", "Минут"), 50, &Options::cbMin},
    {"LastQueryTime", QT_TRANSLATE_NOOP("zelvant::PhonesTable", "Посл.запрос"), 130,
     &Options::cbLastQueryTime},
    {"FailReason", QT_TRANSLATE_NOOP("zelvant::PhonesTable", "Причина"), 160,
     &Options::cbFailReason},
};

QString fixed2(double value)
{
    // Always a point, whatever the user's locale.
    return QString::asprintf("%.2f", value);
}

const GridCell EmptyCell;

} // namespace

float balanceThresholdOf(const QString &text)
{
    // "." is the separator; "1,000" is not a thousand but not a number.
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const float value = c.toFloat(text.trimmed(), &ok);
    return ok ? value : 2.5f;
}

int turnOffThresholdOf(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? value : 2;
}

QString composeTrayTip(const QStringList &lines, int maxLength)
{
    QString tip;
    for (const QString &line : lines) {
        const QString candidate = tip.isEmpty() ? line : tip + QStringLiteral("\r\n") + line;
        // A line that does not fit is left out whole; a shorter later line
        // may still fit.
        if (candidate.size() <= maxLength)
            tip = candidate;
    }
    return tip;
}

void PhonesTable::buildGrid(const Options &options, const PhoneList &phones)
{
    m_keys.clear();
    m_widths.clear();
    m_showNN = options.cbNN;
    for (const ColumnDef &column : Columns) {
        if (column.option && !(options.*column.option))
            continue;
        m_keys << QString::fromUtf8(column.key);
        m_widths << column.width;
    }
    const int shown = phones.monitoredCount();
    m_rowMap = QList<int>(shown + 1, 0);
    m_cells = QList<QList<GridCell>>(shown + 1, QList<GridCell>(m_keys.size()));
    m_toolTips = QStringList(shown + 1);
    m_highlightedRow = -1;
}

int PhonesTable::columnOf(const QString &key) const
{
    const int index = m_keys.indexOf(key);
    return index < 0 ? -1 : index + 1;
}

QString PhonesTable::title(int column) const
{
    if (column == 0)
        return m_showNN ? QStringLiteral("NN") : QString();
    if (column < 1 || column > m_keys.size())
        return QString();
    const QString &key = m_keys.at(column - 1);
    for (const ColumnDef &def : Columns) {
        if (key == QLatin1String(def.key))
            return QCoreApplication::translate("zelvant::PhonesTable", def.title);
    }
    return QString();
}

int PhonesTable::columnWidth(int column) const
{
    if (column == 0)
        return m_showNN ? RowNumberWidth : 0;
    if (column < 1 || column > m_widths.size())
        return 0;
    return m_widths.at(column - 1);
}

int PhonesTable::slotOfRow(int row) const
{
    if (row < 1 || row >= m_rowMap.size())
        return 0;
    return m_rowMap.at(row);
}

int PhonesTable::rowOfSlot(int slot) const
{
    const int row = m_rowMap.indexOf(slot, 1);
    return row < 1 ? 0 : row;
}

QString PhonesTable::rowToolTip(int row) const
{
    return row >= 1 && row < m_toolTips.size() ? m_toolTips.at(row) : QString();
}

QString PhonesTable::rowNumberText(int row) const
{
    if (row < 1 || row >= m_rowMap.size())
        return QString();
    return QString::number(row);
}

const GridCell &PhonesTable::cell(int column, int row) const
{
    if (row < 1 || row >= m_cells.size() || column < 1 || column > m_keys.size())
        return EmptyCell;
    return m_cells.at(row).at(column - 1);
}

int PhonesTable::fitWidth() const
{
    int width = columnWidth(0);
    for (int w : m_widths)
        width += w;
    return width + FitSpare;
}

void PhonesTable::setCell(const QString &key, int row, bool bold, const QColor &font,
                          const QColor &brush, const QString &text)
{
    const int index = m_keys.indexOf(key);
    if (index < 0 || row < 1 || row >= m_cells.size())
        return;
    GridCell &target = m_cells[row][index];
    target.text = text;
    target.style = CellStyle{font, brush, bold};
    target.styled = true;
}

QString PhonesTable::fillGrid(const PhoneResults &results, const Options &options,
                              const PhoneList &phones, const SpendStates *spend)
{
    // The phone list may have changed since the last buildGrid (the cycle
    // fills without rebuilding): keep the columns, fit the rows.
    const int shown = phones.monitoredCount();
    if (m_rowMap.size() != shown + 1) {
        m_rowMap = QList<int>(shown + 1, 0);
        m_cells = QList<QList<GridCell>>(shown + 1, QList<GridCell>(m_keys.size()));
        m_toolTips = QStringList(shown + 1);
        if (m_highlightedRow > shown)
            m_highlightedRow = -1;
    }

    const float balanceThreshold = balanceThresholdOf(options.edBalanceLessThen);
    const int turnOffDays = turnOffThresholdOf(options.edTurnOffLessThen);
    QStringList tipLines;
    int row = 1;
    for (int slot = 1; slot <= PhoneSlotCount; ++slot) {
        if (!phones.isMonitored(slot))
            continue;
        const PhoneResult &record = results[slot];
        m_rowMap[row] = slot;
        const SpendState noSpend;
        const SpendState &spent = spend ? spend->at(slot - 1) : noSpend;
        const QColor brush = spent.unusual ? GridColors::UnusualSpend : GridColors::Background;

        const QColor normal = record.queryOk ? GridColors::FreshText : GridColors::StaleText;
        const QColor mark = record.queryOk ? GridColors::FreshMark : GridColors::StaleMark;
        const bool hasData = record.hasValues();
        const QString dash = QStringLiteral("-");
        auto text = [&](const QString &value) { return hasData ? value : dash; };

        // Alias and number are configuration, known before any result.
        const QString alias = phones.aliasOf(slot);
        setCell(QStringLiteral("Alias"), row, false, normal, brush, alias);
        setCell(QStringLiteral("UserName"), row, false, normal, brush, text(record.userName));
        setCell(QStringLiteral("PhoneNum"), row, false, normal, brush, phones.numberOf(slot));

        // A record without values has a balance of 0, so it is marked as
        // well when the threshold is 0 or more: "no value" deserves a look.
        const bool markBalance = options.cbMarkIfBalance && record.balance <= balanceThreshold;
        setCell(QStringLiteral("Balance"), row, true, markBalance ? mark : normal, brush,
                text(fixed2(record.balance)));

        const bool markTurnOff =
            options.cbMarkIfTurnOff && record.turnOffDays != 0 && record.turnOffDays <= turnOffDays;
        setCell(QStringLiteral("TurnOff"), row, false, markTurnOff ? mark : normal, brush,
                record.turnOffDays == 0 ? QString() : text(QString::number(record.turnOffDays)));

        auto decimalOrEmpty = [&](float value) {
            return value == 0 ? QString() : text(fixed2(value));
        };
        auto integerOrEmpty = [&](int value) {
            return value == 0 ? QString() : text(QString::number(value));
        };
        setCell(QStringLiteral("Average"), row, false, normal, brush,
                decimalOrEmpty(record.averagePerDay));
        setCell(QStringLiteral("Recomend"), row, false, normal, brush,
                decimalOrEmpty(record.recommendedPayment));
        setCell(QStringLiteral("SMS"), row, false, normal, brush, integerOrEmpty(record.smsLeft));
        setCell(QStringLiteral("Min"), row, false, normal, brush,
                integerOrEmpty(record.minutesLeft));
        setCell(QStringLiteral("BalExpired"), row, false, normal, brush,
                integerOrEmpty(record.balanceExpiresDays));
        setCell(QStringLiteral("LastQueryTime"), row, false, normal, brush,
                hasData ? interfaceDateTimeText(record.lastQueryTime) : dash);
        // Only a phone without a fresh balance has a reason.
        const QString reason = record.queryOk ? QString() : record.failure.text();
        setCell(QStringLiteral("FailReason"), row, false, normal, brush, reason);
        setCell(QStringLiteral("DailySpend"), row, false, normal, brush,
                spent.usualDaily ? fixed2(*spent.usualDaily) : dash);
        QStringList tip;
        if (!reason.isEmpty())
            tip << reason;
        if (spent.unusual) {
            tip << QCoreApplication::translate("zelvant::PhonesTable", "Необычный расход: ")
                       + AlertRules::unusualSpendText(spent);
        }
        m_toolTips[row] = tip.join(QLatin1Char('\n'));

        // A phone without a result has no balance, not a balance of 0; one
        // without an alias is named by its number.
        const QString name = alias.trimmed().isEmpty() ? phones.numberOf(slot) : alias;
        tipLines << name + QStringLiteral(": ") + text(fixed2(record.balance));
        ++row;
    }
    if (tipLines.isEmpty())
        return QString();
    // The tray shows at most 63 characters; a tip cut there could turn
    // "1.05" into "1.0", so a line is only added when it fits whole.
    const QString tip = composeTrayTip(tipLines, TrayTipMaxLength);
    // Even a single line too long for the tray: better its start than nothing.
    return tip.isNull() ? tipLines.first().left(TrayTipMaxLength) : tip;
}

} // namespace zelvant
