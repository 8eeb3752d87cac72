#pragma once
// "История баланса по телефону": one phone's stored results, newest first,
// as a table and, on a second tab, as a balance chart.

#include <QDialog>

#include <optional>

#include "core/history/HistoryRange.h"
#include "core/history/SpendAnalysis.h"

class QLabel;
class QPushButton;
class QTabWidget;
class QTableView;

namespace zelvant {

class BalanceChart;
class HistoryTableModel;

class PhoneHistoryWindow : public QDialog
{
    Q_OBJECT

public:
    explicit PhoneHistoryWindow(const QString &historyFile, QWidget *parent = nullptr);
    ~PhoneHistoryWindow() override;

    // The chart's red dashed line; none by default.
    void setBalanceThreshold(std::optional<double> threshold);
    // What makes a spend unusual, for the chart's mark of an unusual fall
    // (read with the rows by loadHistory).
    void setSpendLimits(const SpendLimits &limits) { m_spendLimits = limits; }

    // Sets the header and reads the rows. A missing file or an empty result
    // shows the not-found warning and leaves the grid empty (true: the window
    // still opens); a database error is shown and false returned.
    bool loadHistory(const QString &number, const QString &alias, const HistoryRangeChoice &choice);

    // Only one exists at a time; the owner of the current one, or null.
    static PhoneHistoryWindow *current();

    QLabel *plHeader = nullptr;
    QTabWidget *tabs = nullptr; // "Таблица" first, then "График"
    QTableView *sgHistory = nullptr;
    BalanceChart *balanceChart = nullptr; // from the first showing of its tab on
    QPushButton *bnClose = nullptr;
    HistoryTableModel *model() const { return m_model; }

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void centreCloseButton();
    // Sizes the columns to their titles and values; returns their total width.
    int fitColumns();
    // The chart gets the rows when its tab is first shown, so a window that
    // is only read as a table opens as fast as before.
    void fillChartIfShown();

    QString m_historyFile;
    std::optional<double> m_balanceThreshold;
    SpendLimits m_spendLimits;
    std::optional<UnusualSpend> m_unusualSpend;
    QWidget *m_chartPage = nullptr;
    bool m_chartFilled = false;
    QString m_chartDescription; // what the chart shows, for a screen reader
    HistoryTableModel *m_model = nullptr;
    QWidget *m_bottom = nullptr;
};

// Creates, loads and shows one phone's history modally, unless such a
// window is open already. balanceThreshold: the chart's threshold line;
// spendLimits: what the chart marks as an unusual fall.
void showHistoryPhoneModal(const QString &historyFile, const QString &number, const QString &alias,
                           const HistoryRangeChoice &choice, QWidget *parent,
                           std::optional<double> balanceThreshold = std::nullopt,
                           const SpendLimits &spendLimits = {});

} // namespace zelvant
