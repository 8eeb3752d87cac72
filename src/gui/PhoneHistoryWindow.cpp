#include "gui/PhoneHistoryWindow.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "core/history/BalanceChartSeries.h"
#include "core/history/HistoryTableModel.h"
#include "gui/BalanceChart.h"
#include "gui/DialogSupport.h"
#include "gui/ExportDialogs.h"
#include "gui/TextFit.h"

namespace zelvant {

namespace {

PhoneHistoryWindow *g_current = nullptr;

// Draws the day separator: a navy line along the top of every cell of a row
// that begins a new day.
class HistoryCellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (index.data(HistoryTableModel::SeparatorAboveRole).toBool()) {
            painter->save();
            painter->setPen(QColor(0x00, 0x00, 0x80));
            painter->setBrush(Qt::NoBrush);
            painter->drawLine(option.rect.topLeft(), option.rect.topRight());
            painter->restore();
        }
    }
};

// The title row opens the grid like a new day does: the same navy line runs
// along its top edge.
class HistoryHeaderView : public QHeaderView
{
public:
    using QHeaderView::QHeaderView;

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        // The base class leaves the painter clipped to nothing; its state is
        // kept aside so the line can still be drawn.
        painter->save();
        QHeaderView::paintSection(painter, rect, logicalIndex);
        painter->restore();
        painter->save();
        painter->setPen(QColor(0x00, 0x00, 0x80));
        painter->setBrush(Qt::NoBrush);
        painter->drawLine(rect.topLeft(), rect.topRight());
        painter->restore();
    }
};

} // namespace

PhoneHistoryWindow::PhoneHistoryWindow(const QString &historyFile, QWidget *parent)
    : QDialog(parent)
    , m_historyFile(historyFile)
    , m_model(new HistoryTableModel(this))
{
    setObjectName(QStringLiteral("frmHistoryPhone"));
    setWindowTitle(tr("История баланса по телефону"));
    if (!g_current)
        g_current = this;

    plHeader = new QLabel(this);
    plHeader->setObjectName(QStringLiteral("plHeader"));
    plHeader->setFixedHeight(24);
    plHeader->setAlignment(Qt::AlignCenter);
    QPalette headerPalette = plHeader->palette();
    headerPalette.setColor(QPalette::WindowText, QColor(0x00, 0x40, 0x80));
    plHeader->setPalette(headerPalette);

    sgHistory = new QTableView(this);
    sgHistory->setObjectName(QStringLiteral("sgHistory"));
    sgHistory->setAccessibleName(tr("История баланса, таблица"));
    sgHistory->setHorizontalHeader(new HistoryHeaderView(Qt::Horizontal, sgHistory));
    sgHistory->setModel(m_model);
    sgHistory->setItemDelegate(new HistoryCellDelegate(sgHistory));
    sgHistory->setShowGrid(true);
    sgHistory->setSelectionMode(QAbstractItemView::ContiguousSelection);
    sgHistory->setSelectionBehavior(QAbstractItemView::SelectItems);
    sgHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sgHistory->setWordWrap(false);
    sgHistory->verticalHeader()->hide(); // no fixed column
    // Fixed row heights keep a long history fast: the view never measures
    // rows one by one.
    sgHistory->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    sgHistory->verticalHeader()->setDefaultSectionSize(
        std::max(15, sgHistory->fontMetrics().height() + 4));
    QHeaderView *header = sgHistory->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSectionsMovable(true);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setHighlightSections(false);

    bnClose = new QPushButton(tr("Закрыть"));
    bnClose->setObjectName(QStringLiteral("bnClose"));
    bnClose->setDefault(true);
    connect(bnClose, &QPushButton::clicked, this, &QDialog::reject);
    m_bottom = new QWidget(this);
    m_bottom->setFixedHeight(bnClose->sizeHint().height() + 12);
    bnClose->setParent(m_bottom);

    // The chart comes into this page when the tab is first shown.
    m_chartPage = new QWidget(this);
    auto *chartLayout = new QVBoxLayout(m_chartPage);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabHistory"));
    tabs->setAccessibleName(tr("Таблица или график"));
    tabs->addTab(sgHistory, tr("Таблица"));
    tabs->addTab(m_chartPage, tr("График"));
    connect(tabs, &QTabWidget::currentChanged, this, &PhoneHistoryWindow::fillChartIfShown);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(plHeader);
    layout->addWidget(tabs, 1);
    layout->addWidget(m_bottom);

    resize(std::min(fitColumns() + 25, availableScreenSize(this).width()), 337);
    centreCloseButton();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

PhoneHistoryWindow::~PhoneHistoryWindow()
{
    if (g_current == this)
        g_current = nullptr;
}

PhoneHistoryWindow *PhoneHistoryWindow::current()
{
    return g_current;
}

int PhoneHistoryWindow::fitColumns()
{
    // Each column as wide as its title (spaces included) in the grid's font
    // + 10, or as its values need when they are wider. Like Qt's own fitting
    // to contents, the first rows stand for all: a long history stays fast.
    constexpr int MeasuredRows = 1000;
    const QFontMetrics metrics(sgHistory->font());
    const QStringList titles = HistoryTableModel::titles();
    const int rows = std::min(m_model->rowCount(), MeasuredRows);
    int total = 0;
    for (int c = 0; c < titles.size(); ++c) {
        QStringList texts{titles.at(c)};
        for (int r = 0; r < rows; ++r)
            texts << m_model->index(r, c).data().toString();
        const int width = std::max(fittedWidth(0, metrics, texts, 10),
                                   sgHistory->horizontalHeader()->sectionSizeHint(c));
        sgHistory->horizontalHeader()->resizeSection(c, width);
        total += width + 1;
    }
    return total;
}

void PhoneHistoryWindow::setBalanceThreshold(std::optional<double> threshold)
{
    m_balanceThreshold = threshold;
    m_chartFilled = false;
    fillChartIfShown();
}

void PhoneHistoryWindow::fillChartIfShown()
{
    if (m_chartFilled || tabs->currentWidget() != m_chartPage)
        return;
    if (!balanceChart) {
        QString error;
        balanceChart = BalanceChart::create(m_chartPage, &error);
        if (!balanceChart) {
            // The rest of the window works without it.
            auto *label = new QLabel(tr("График недоступен: %1").arg(error), m_chartPage);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignCenter);
            m_chartPage->layout()->addWidget(label);
            m_chartFilled = true;
            return;
        }
        m_chartPage->layout()->addWidget(balanceChart->widget());
    }
    balanceChart->setRows(m_model->rows(), m_balanceThreshold, m_unusualSpend);
    // A screen reader cannot read the picture: the chart, and the picture
    // inside it that takes the focus too, are named and say what they show.
    QWidget *chart = balanceChart->widget();
    QList<QWidget *> named{chart};
    if (auto *view = qobject_cast<QAbstractScrollArea *>(chart))
        named << view->viewport();
    for (QWidget *widget : named) {
        widget->setAccessibleName(tr("График баланса"));
        widget->setAccessibleDescription(m_chartDescription);
    }
    m_chartFilled = true;
}

void PhoneHistoryWindow::centreCloseButton()
{
    const int w = bnClose->sizeHint().width();
    bnClose->setGeometry(m_bottom->width() / 2 - w / 2, 6, w, bnClose->sizeHint().height());
}

void PhoneHistoryWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Its frame fits on the screen too, and it opens in the middle of it.
    const int room = availableScreenSize(this).width() - (frameGeometry().width() - width());
    if (width() > room)
        resize(room, height());
    centerOnScreen(this);
}

void PhoneHistoryWindow::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    m_bottom->resize(width(), m_bottom->height());
    centreCloseButton();
}

bool PhoneHistoryWindow::loadHistory(const QString &number, const QString &alias,
                                     const HistoryRangeChoice &choice)
{
    plHeader->setText(historyHeaderText(number, alias));
    const HistoryQueryResult result = queryHistory(m_historyFile, number, choice);
    if (result.status == HistoryQueryResult::Failed) {
        showMessage(this, MessageKind::Error, result.error);
        return false;
    }
    m_model->setRows(result.rows);
    // The unusual fall is judged on the recent history, whatever range the
    // window shows; a history that cannot be read for it marks nothing.
    m_unusualSpend = readSpendState(HistoryReader(m_historyFile), number, m_spendLimits).unusual;
    m_chartDescription = BalanceChartSeries::description(plHeader->text(), result.rows);
    const int width = std::min(fitColumns() + 25, availableScreenSize(this).width());
    if (width > this->width())
        resize(width, height());
    m_chartFilled = false;
    fillChartIfShown();
    if (result.rows.isEmpty())
        showMessage(this, MessageKind::Warning, historyNotFoundText());
    return true;
}

void showHistoryPhoneModal(const QString &historyFile, const QString &number, const QString &alias,
                           const HistoryRangeChoice &choice, QWidget *parent,
                           std::optional<double> balanceThreshold, const SpendLimits &spendLimits)
{
    if (PhoneHistoryWindow::current())
        return;
    PhoneHistoryWindow window(historyFile, parent);
    window.setBalanceThreshold(balanceThreshold);
    window.setSpendLimits(spendLimits);
    if (window.loadHistory(number, alias, choice))
        window.exec();
}

} // namespace zelvant
