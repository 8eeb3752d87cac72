#pragma once
// "История баланса": choose a monitored phone and a range, then show that
// history in a grid or export it to a workbook.

#include <QDialog>
#include <QList>

#include "core/history/HistoryRange.h"

class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;

namespace zelvant {

class AppContext;

inline const QString HistoryFormSection = QStringLiteral("History Form");

// The key filter of the two range fields.
class RangeKeyFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

class HistoryWindow : public QDialog
{
    Q_OBJECT

public:
    explicit HistoryWindow(AppContext &context, QWidget *parent = nullptr);
    // Stores the range fields and the window's height and position.
    ~HistoryWindow() override;

    QString selectedNumber() const { return m_number; }
    QString selectedAlias() const { return m_alias; }
    HistoryRangeChoice rangeChoice() const;
    // The phone buttons, in slot order; their "slot" property is the slot.
    QList<QRadioButton *> phoneButtons() const { return m_phoneButtons; }

    void bnShowClick();
    void bnExcelClick();

    QRadioButton *rbShowLastRequest = nullptr;
    QRadioButton *rbShowLastDays = nullptr;
    QRadioButton *rbShowAll = nullptr;
    QLineEdit *edLastRequest = nullptr;
    QLineEdit *edLastDays = nullptr;
    QPushButton *bnShow = nullptr;
    QPushButton *bnExcel = nullptr;
    QScrollArea *scrbxPhones = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildPhoneList();
    void setTabOrderOfReading();
    void rbPhoneClick(int slot);
    void loadPlacement();
    void savePlacement();

    AppContext &m_context;
    QString m_number;
    QString m_alias;
    QList<QRadioButton *> m_phoneButtons;
    int m_width = 0;
};

} // namespace zelvant
