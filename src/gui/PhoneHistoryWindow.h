#pragma once
// "История баланса по телефону": one phone's stored results, newest first.

#include <QDialog>

#include "core/history/HistoryRange.h"

class QLabel;
class QPushButton;
class QTableView;

namespace zelvant {

class HistoryTableModel;

class PhoneHistoryWindow : public QDialog
{
    Q_OBJECT

public:
    explicit PhoneHistoryWindow(const QString &historyFile, QWidget *parent = nullptr);
    ~PhoneHistoryWindow() override;

    // Sets the header and reads the rows. A missing file or an empty result
    // shows the not-found warning and leaves the grid empty (true: the window
    // still opens); a database error is shown and false returned.
    bool loadHistory(const QString &number, const QString &alias, const HistoryRangeChoice &choice);

    // Only one exists at a time; the owner of the current one, or null.
    static PhoneHistoryWindow *current();

    QLabel *plHeader = nullptr;
    QTableView *sgHistory = nullptr;
    QPushButton *bnClose = nullptr;
    HistoryTableModel *model() const { return m_model; }

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void centreCloseButton();
    // Sizes the columns to their titles and values; returns their total width.
    int fitColumns();

    QString m_historyFile;
    HistoryTableModel *m_model = nullptr;
    QWidget *m_bottom = nullptr;
};

// Creates, loads and shows one phone's history modally, unless such a
// window is open already.
void showHistoryPhoneModal(const QString &historyFile, const QString &number, const QString &alias,
                           const HistoryRangeChoice &choice, QWidget *parent);

} // namespace zelvant
