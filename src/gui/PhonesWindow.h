#pragma once
// The phones balance window: one row per monitored phone with the columns the
// user chose, warning colours, and a context menu per row. The content lives
// in PhonesTable; this window draws it.

#include <QWidget>

#include <functional>

#include "core/tray/PhonesTable.h"

class QAction;
class QLabel;
class QMenu;
class QTableView;

namespace zelvant {

class AppContext;
class PhoneResults;
class PhonesTableModel;

inline const QString PhonesInfoSection = QStringLiteral("PhonesInfo Form");

class PhonesWindow : public QWidget
{
    Q_OBJECT
public:
    // results: the slots' results the window shows, as they are kept.
    PhonesWindow(AppContext &context, const PhoneResults &results, QWidget *parent = nullptr);
    ~PhonesWindow() override;

    void buildGrid();
    // Shows the results as they are now; returns the tray tip made from
    // them (null when no phone is shown).
    QString fillGrid();
    // The spend states the window shows ("Расход в день", the marked rows),
    // kept by the caller; none shows "-" and marks nothing.
    void setSpendStates(const SpendStates *spend) { m_spend = spend; }

    // The single-phone command: whether it may run now, and how it runs.
    void setSinglePhoneRequest(std::function<bool()> allowed, std::function<void(int)> request);

    // The context-menu rule for a right click at a point of the grid's
    // viewport: highlights the row and returns true when the menu is to open
    // (a data row), with its commands' states set.
    bool prepareContextMenu(const QPoint &viewportPos);
    void clearHighlight();

    const PhonesTable &grid() const { return m_grid; }
    // The widgets are made on first use.
    QTableView *table();
    QMenu *contextMenu();
    QAction *requestOnlyOneAction();
    void setVisible(bool visible) override;
    int menuPhone() const { return m_menuPhone; }
    // A line above the table (empty: none), for the desktop without a
    // notification area.
    void setNoTrayNote(const QString &note);
    QString noTrayNote() const { return m_noTrayNote; }

Q_SIGNALS:
    // The user closed the window (it is only hidden).
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void ensureUi();
    void loadPosition();
    void savePosition();
    void applyColumnWidths();
    void widenColumnsToValues();
    int neededColumnWidth(int column) const;
    int fittingWidth() const;
    void fitWindowToColumns();
    void strgrPhonesInfoContextPopup(const QPoint &pos);
    void ppmRequestOnlyOneClick();
    void ppmHistoryClick();
    void ppmExcelClick();

    AppContext &m_context;
    const PhoneResults &m_results;
    const SpendStates *m_spend = nullptr;
    PhonesTable m_grid;
    PhonesTableModel *m_model = nullptr;
    QTableView *m_table = nullptr;
    QLabel *m_noTrayLabel = nullptr;
    QString m_noTrayNote;
    QMenu *m_menu = nullptr;
    QAction *m_ppmRequestOnlyOne = nullptr;
    QAction *m_ppmHistory = nullptr;
    QAction *m_ppmExcel = nullptr;
    int m_menuPhone = 0;
    std::function<bool()> m_singleAllowed;
    std::function<void(int)> m_singleRequest;
};

} // namespace zelvant
