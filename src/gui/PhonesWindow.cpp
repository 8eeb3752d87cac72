#include "gui/PhonesWindow.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QCloseEvent>
#include <QCursor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include "core/ErrorLog.h"
#include "core/config/AppContext.h"
#include "core/tray/PhonesTableModel.h"
#include "gui/ReportWindows.h"
#include "gui/TextFit.h"
#include "gui/TopmostUnlessBlocked.h"

namespace zelvant {

namespace {

// A cell's text starts two pixels in and keeps a little room before the grid
// line on its right.
constexpr int CellTextInset = 2;
constexpr int CellTextSpare = 4;
// The designed row height; a larger font gets taller rows.
constexpr int DesignedRowHeight = 17;

// Every cell is drawn here: no selection or focus marks, the colours of the
// cell's style, the text from two pixels in.
class CellDelegate : public QStyledItemDelegate
{
public:
    CellDelegate(const PhonesTable &grid, QObject *parent)
        : QStyledItemDelegate(parent)
        , m_grid(grid)
    {
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const QRect r = option.rect;
        const int row = index.row() + 1;
        QFont font = option.font;
        QColor brush;
        QColor pen = Qt::black;
        QString text;
        if (index.column() == 0) {
            brush = GridColors::Fixed;
            text = m_grid.rowNumberText(row);
            font.setBold(false);
        } else {
            const GridCell &cell = m_grid.cell(index.column(), row);
            if (m_grid.highlightedRow() == row)
                brush = GridColors::Highlight;
            else
                brush = cell.styled ? cell.style.brushColor : GridColors::Background;
            if (cell.styled) {
                pen = cell.style.fontColor;
                font.setBold(cell.style.fontBold);
            }
            text = cell.text;
        }
        painter->save();
        painter->fillRect(r, brush);
        painter->setClipRect(r);
        painter->setFont(font);
        painter->setPen(pen);
        painter->drawText(r.adjusted(CellTextInset, CellTextInset, 0, 0),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
        painter->restore();
    }

private:
    const PhonesTable &m_grid;
};

// A plain QWidget is announced as a "filler" inside some other window, even
// when it is a window of its own (a Qt::Tool window here, which is no
// QDialog): the phones window is said to be a window, by its title.
QAccessibleInterface *phonesWindowAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String(PhonesWindow::staticMetaObject.className())
        && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

PhonesWindow::PhonesWindow(AppContext &context, const PhoneResults &results, QWidget *parent)
    : QWidget(parent,
              Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint)
    , m_context(context)
    , m_results(results)
{
    setWindowTitle(tr("Информация о балансе телефонов"));
    static const bool roleKnown = [] {
        QAccessible::installFactory(phonesWindowAccessible);
        return true;
    }();
    Q_UNUSED(roleKnown);
    resize(333, 117);
    // On top of other windows, but never of the program's own modal windows.
    // Wayland compositors ignore the wish, so it is not made there.
    if (windowPlacementKnown()) {
        setWindowFlag(Qt::WindowStaysOnTopHint);
        new TopmostUnlessBlocked(this);
    }
    // The grid's content is kept from the start (it also makes the tray
    // tip); the widgets that draw it are made when the window first shows.
    buildGrid();
}

void PhonesWindow::ensureUi()
{
    if (m_table)
        return;

    m_model = new PhonesTableModel(m_grid, this);
    m_table = new QTableView(this);
    m_table->setModel(m_model);
    m_table->setAccessibleName(tr("Баланс телефонов"));
    m_table->setItemDelegate(new CellDelegate(m_grid, m_table));
    m_table->setFrameShape(QFrame::NoFrame);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The arrows move between the cells (a screen reader reads them; nothing
    // is drawn) and the menu key opens the row's menu.
    m_table->setFocusPolicy(Qt::StrongFocus);
    m_table->setShowGrid(true);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    const int rowHeight =
        std::max(DesignedRowHeight, m_table->fontMetrics().height() + CellTextInset + 1);
    m_table->verticalHeader()->setMinimumSectionSize(rowHeight);
    m_table->verticalHeader()->setDefaultSectionSize(rowHeight);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_table->horizontalHeader()->setMinimumSectionSize(0);
    m_table->horizontalHeader()->setHighlightSections(false);
    m_table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_table->horizontalHeader()->setStyleSheet(QStringLiteral(
        "QHeaderView::section { background-color: #D1D1D1; color: black; font-weight: normal;"
        " border: none; border-top: 1px solid black; border-right: 1px solid #A0A0A0;"
        " border-bottom: 1px solid #A0A0A0; padding-left: 2px; }"));
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_table, &QWidget::customContextMenuRequested, this,
            &PhonesWindow::strgrPhonesInfoContextPopup);

    m_noTrayLabel = new QLabel(m_noTrayNote, this);
    m_noTrayLabel->setObjectName(QStringLiteral("noTrayNote"));
    m_noTrayLabel->setWordWrap(true);
    m_noTrayLabel->setMargin(4);
    m_noTrayLabel->setVisible(!m_noTrayNote.isEmpty());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_noTrayLabel);
    layout->addWidget(m_table);

    m_menu = new QMenu(this);
    m_ppmRequestOnlyOne = m_menu->addAction(tr("Запрос по этому телефону"));
    m_ppmHistory = m_menu->addAction(tr("История баланса по телефону"));
    m_menu->addSeparator();
    m_ppmExcel = m_menu->addAction(tr("Информацию по всем в Excel"));
    connect(m_ppmRequestOnlyOne, &QAction::triggered, this, &PhonesWindow::ppmRequestOnlyOneClick);
    connect(m_ppmHistory, &QAction::triggered, this, &PhonesWindow::ppmHistoryClick);
    connect(m_ppmExcel, &QAction::triggered, this, &PhonesWindow::ppmExcelClick);

    applyColumnWidths();
}

void PhonesWindow::setNoTrayNote(const QString &note)
{
    m_noTrayNote = note;
    if (!m_noTrayLabel)
        return;
    m_noTrayLabel->setText(note);
    m_noTrayLabel->setVisible(!note.isEmpty());
}

void PhonesWindow::setVisible(bool visible)
{
    if (visible)
        ensureUi();
    QWidget::setVisible(visible);
}

QTableView *PhonesWindow::table()
{
    ensureUi();
    return m_table;
}

QMenu *PhonesWindow::contextMenu()
{
    ensureUi();
    return m_menu;
}

QAction *PhonesWindow::requestOnlyOneAction()
{
    ensureUi();
    return m_ppmRequestOnlyOne;
}

PhonesWindow::~PhonesWindow()
{
    // The view and its model read the grid, a member that is gone before
    // QWidget's destructor would delete the children.
    delete m_table;
    m_table = nullptr;
    delete m_model;
    m_model = nullptr;
}

void PhonesWindow::setSinglePhoneRequest(std::function<bool()> allowed,
                                         std::function<void(int)> request)
{
    m_singleAllowed = std::move(allowed);
    m_singleRequest = std::move(request);
}

void PhonesWindow::buildGrid()
{
    m_grid.buildGrid(m_context.options.values(), m_context.phones);
    if (!m_table)
        return;
    m_model->rebuilt();
    applyColumnWidths();
}

void PhonesWindow::applyColumnWidths()
{
    // The table's widths are minimums, measured in another platform's font:
    // a column is as wide as its title and its values need in this one.
    for (int column = 0; column < m_grid.columnCount(); ++column) {
        const int designed = m_grid.columnWidth(column);
        m_table->setColumnWidth(column,
                                designed == 0 ? 0 : std::max(designed, neededColumnWidth(column)));
    }
    m_table->setColumnHidden(0, m_grid.columnWidth(0) == 0);
    if (isVisible())
        fitWindowToColumns();
}

void PhonesWindow::widenColumnsToValues()
{
    // New values (a subscriber's name arrives with the first result) widen
    // their column; a column the user made wider keeps its width.
    for (int column = 0; column < m_grid.columnCount(); ++column) {
        if (m_table->isColumnHidden(column))
            continue;
        const int needed = neededColumnWidth(column);
        if (m_table->columnWidth(column) < needed)
            m_table->setColumnWidth(column, needed);
    }
    if (isVisible())
        fitWindowToColumns();
}

int PhonesWindow::neededColumnWidth(int column) const
{
    int width = m_table->horizontalHeader()->sectionSizeHint(column);
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const QModelIndex index = m_model->index(row, column);
        QFont font = m_table->font();
        font.setBold(index.data(Qt::FontRole).value<QFont>().bold());
        width = std::max(width, textWidth(QFontMetrics(font), index.data().toString())
                                    + CellTextInset + CellTextSpare);
    }
    return width;
}

int PhonesWindow::fittingWidth() const
{
    int columns = 0;
    for (int column = 0; column < m_grid.columnCount(); ++column) {
        if (!m_table->isColumnHidden(column))
            columns += m_table->columnWidth(column);
    }
    const int frame = frameGeometry().width() - width();
    return std::min(columns + PhonesTable::FitSpare, availableScreenSize(this).width() - frame);
}

void PhonesWindow::fitWindowToColumns()
{
    // Every column stays in sight, also one switched on or widened after the
    // user last sized the window (as far as the screen allows).
    if (width() < fittingWidth()) {
        resize(fittingWidth(), height());
        // Grown to the right past the screen's edge, it moves left.
        zelvant::keepOnScreen(this);
    }
}

QString PhonesWindow::fillGrid()
{
    const int rowsBefore = m_grid.rowCount();
    const QString tip =
        m_grid.fillGrid(m_results, m_context.options.values(), m_context.phones, m_spend);
    if (!m_table) {
        // Nothing drawn yet.
    } else if (m_grid.rowCount() != rowsBefore) {
        m_model->rebuilt();
        applyColumnWidths();
    } else {
        m_model->refreshed();
        widenColumnsToValues();
    }
    return tip;
}

bool PhonesWindow::prepareContextMenu(const QPoint &viewportPos)
{
    ensureUi();
    const QModelIndex index = m_table->indexAt(viewportPos);
    const int row = index.isValid() ? index.row() + 1 : -1;
    m_grid.setHighlightedRow(row);
    if (row > 0)
        m_menuPhone = m_grid.slotOfRow(row);
    m_table->viewport()->update();
    m_ppmRequestOnlyOne->setEnabled(!m_singleAllowed || m_singleAllowed());
    return row > 0;
}

void PhonesWindow::clearHighlight()
{
    m_grid.setHighlightedRow(-1);
    if (m_table)
        m_table->viewport()->update();
}

void PhonesWindow::strgrPhonesInfoContextPopup(const QPoint &pos)
{
    // From the menu key pos is the current cell, from the mouse the pointer.
    if (prepareContextMenu(pos))
        m_menu->exec(m_table->viewport()->mapToGlobal(pos));
    // The highlight shows which phone the menu acts on; it goes with the menu.
    clearHighlight();
}

void PhonesWindow::ppmRequestOnlyOneClick()
{
    // Checked again: a cycle may have started while the menu was open.
    if (m_menuPhone < 1 || (m_singleAllowed && !m_singleAllowed()))
        return;
    if (m_singleRequest)
        m_singleRequest(m_menuPhone);
}

void PhonesWindow::ppmHistoryClick()
{
    if (m_menuPhone >= 1)
        showPhoneHistory(m_context, m_menuPhone, this);
}

void PhonesWindow::ppmExcelClick()
{
    exportAllPhonesInteractive(m_context, m_results, this);
}

void PhonesWindow::loadPosition()
{
    const WindowPlacement p = readWindowPlacement(m_context.settingsFile, PhonesInfoSection);
    if (p.width == NotFoundSentinel)
        resize(fittingWidth(), height());
    else
        resize(p.width, height());
    if (p.height != NotFoundSentinel)
        resize(width(), p.height);
    if (windowPlacementKnown() && (p.left != NotFoundSentinel || p.top != NotFoundSentinel))
        move(p.left != NotFoundSentinel ? p.left : x(), p.top != NotFoundSentinel ? p.top : y());
    // Stored on another screen, in another font or by a tiling compositor.
    zelvant::keepOnScreen(this);
}

void PhonesWindow::savePosition()
{
    // Under Wayland the place is unknown and the size the compositor's.
    if (!windowPlacementKnown())
        return;
    WindowPlacement p;
    if (!isMaximized() && !isFullScreen()) {
        p.width = width();
        p.height = height();
    }
    p.left = x();
    p.top = y();
    QString error;
    if (!writeWindowPlacement(m_context.settingsFile, PhonesInfoSection, p, &error))
        writeErrorLog(error, m_context.paths.errorLogFile());
}

void PhonesWindow::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        Q_EMIT closed();
}

void PhonesWindow::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        buildGrid();
        loadPosition();
        fillGrid();
        fitWindowToColumns();
    }
    QWidget::showEvent(event);
}

void PhonesWindow::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous())
        savePosition();
    QWidget::hideEvent(event);
}

void PhonesWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close(); // only hides: the window lives as long as the program
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace zelvant
