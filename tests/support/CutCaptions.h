#pragma once
// Finds the texts of a window that do not fit the room their widget gives
// them in the font actually used: captions of labels, buttons, check boxes,
// group boxes, tabs and column titles, and the values in table cells.

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStringList>
#include <QStyleOption>
#include <QTabBar>
#include <QTableView>
#include <QToolButton>

namespace zelvant::test {

namespace cutcaptions {

inline QString where(const QWidget *w)
{
    QString name = w->objectName();
    if (name.isEmpty())
        name = QString::fromLatin1(w->metaObject()->className());
    return name;
}

inline int widthOf(const QFontMetrics &metrics, QString text)
{
    text.remove(QLatin1Char('&'));
    int width = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        width = std::max(width, metrics.horizontalAdvance(line));
    return width;
}

inline void label(const QLabel *l, QStringList &cut)
{
    if (l->text().isEmpty() || l->textFormat() == Qt::RichText)
        return;
    const QRect room = l->contentsRect();
    if (l->wordWrap()) {
        if (l->heightForWidth(l->width()) > l->height())
            cut << QStringLiteral("%1 \"%2\": wrapped text needs %3 px height, has %4")
                       .arg(where(l), l->text())
                       .arg(l->heightForWidth(l->width()))
                       .arg(l->height());
        return;
    }
    const int needed =
        widthOf(l->fontMetrics(), l->text()) + 2 * l->margin() + std::max(0, l->indent());
    if (needed > room.width() || l->fontMetrics().height() > room.height())
        cut << QStringLiteral("%1 \"%2\": needs %3x%4, has %5x%6")
                   .arg(where(l), l->text())
                   .arg(needed)
                   .arg(l->fontMetrics().height())
                   .arg(room.width())
                   .arg(room.height());
}

inline void button(const QAbstractButton *b, QStringList &cut)
{
    if (b->text().isEmpty())
        return;
    QStyleOptionButton option;
    option.initFrom(b);
    option.text = b->text();
    option.icon = b->icon();
    option.iconSize = b->iconSize();
    QStyle::SubElement element;
    if (qobject_cast<const QCheckBox *>(b))
        element = QStyle::SE_CheckBoxContents;
    else if (qobject_cast<const QRadioButton *>(b))
        element = QStyle::SE_RadioButtonContents;
    else if (qobject_cast<const QPushButton *>(b))
        element = QStyle::SE_PushButtonContents;
    else {
        if (b->sizeHint().width() > b->width())
            cut << QStringLiteral("%1 \"%2\": needs %3 px, has %4")
                       .arg(where(b), b->text())
                       .arg(b->sizeHint().width())
                       .arg(b->width());
        return;
    }
    const QRect room = b->style()->subElementRect(element, &option, b);
    int needed = widthOf(b->fontMetrics(), b->text());
    if (!b->icon().isNull())
        needed += b->iconSize().width() + 4;
    if (needed > room.width() || b->fontMetrics().height() > room.height())
        cut << QStringLiteral("%1 \"%2\": needs %3x%4, has %5x%6")
                   .arg(where(b), b->text())
                   .arg(needed)
                   .arg(b->fontMetrics().height())
                   .arg(room.width())
                   .arg(room.height());
}

inline void groupBox(const QGroupBox *g, QStringList &cut)
{
    if (g->title().isEmpty())
        return;
    if (g->minimumSizeHint().width() > g->width())
        cut << QStringLiteral("%1 \"%2\": needs %3 px, has %4")
                   .arg(where(g), g->title())
                   .arg(g->minimumSizeHint().width())
                   .arg(g->width());
}

inline void tabBar(const QTabBar *bar, QStringList &cut)
{
    for (int i = 0; i < bar->count(); ++i) {
        const QRect tab = bar->tabRect(i);
        const int needed = widthOf(bar->fontMetrics(), bar->tabText(i))
                           + bar->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, bar);
        if (tab.width() < needed || !bar->rect().contains(tab))
            cut << QStringLiteral("tab \"%1\": needs %2 px, has %3")
                       .arg(bar->tabText(i))
                       .arg(needed)
                       .arg(tab.width());
    }
}

inline void lineEdit(const QLineEdit *e, QStringList &cut)
{
    if (e->minimumSizeHint().height() > e->height())
        cut << QStringLiteral("%1: needs %2 px height, has %3")
                   .arg(where(e))
                   .arg(e->minimumSizeHint().height())
                   .arg(e->height());
}

// The title row and the cells; cellPadding is the room a cell's drawing
// keeps beside its text.
inline void table(const QTableView *view, int cellPadding, QStringList &cut)
{
    const QAbstractItemModel *model = view->model();
    const QHeaderView *header = view->horizontalHeader();
    for (int c = 0; c < model->columnCount(); ++c) {
        if (view->isColumnHidden(c) || view->columnWidth(c) == 0)
            continue;
        const QString title = model->headerData(c, Qt::Horizontal).toString();
        if (header->isVisible() && header->sectionSize(c) < header->sectionSizeHint(c))
            cut << QStringLiteral("column title \"%1\": needs %2 px, has %3")
                       .arg(title)
                       .arg(header->sectionSizeHint(c))
                       .arg(header->sectionSize(c));
        for (int r = 0; r < model->rowCount(); ++r) {
            const QModelIndex index = model->index(r, c);
            const QString text = index.data().toString();
            const QVariant fontData = index.data(Qt::FontRole);
            const QFont font = fontData.isValid() ? fontData.value<QFont>() : view->font();
            const int needed = widthOf(QFontMetrics(font), text) + cellPadding;
            if (needed > view->columnWidth(c))
                cut << QStringLiteral("cell \"%1\" under \"%2\": needs %3 px, has %4")
                           .arg(text, title)
                           .arg(needed)
                           .arg(view->columnWidth(c));
            if (QFontMetrics(font).height() > view->rowHeight(r))
                cut << QStringLiteral("row %1: needs %2 px height, has %3")
                           .arg(r)
                           .arg(QFontMetrics(font).height())
                           .arg(view->rowHeight(r));
        }
    }
}

// A scrolling area that cannot scroll sideways must show its rows whole.
inline void scrollArea(const QScrollArea *area, QStringList &cut)
{
    if (area->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff && area->widget()
        && area->widget()->width() > area->viewport()->width())
        cut << QStringLiteral("%1: rows need %2 px, has %3")
                   .arg(where(area))
                   .arg(area->widget()->width())
                   .arg(area->viewport()->width());
}

} // namespace cutcaptions

// Every text of the visible widgets of window that is cut, one line each.
inline QStringList cutCaptions(const QWidget *window, int cellPadding = 2)
{
    QStringList cut;
    const auto visible = [window](const QWidget *w) { return w->isVisibleTo(window); };
    for (const QLabel *l : window->findChildren<QLabel *>())
        if (visible(l))
            cutcaptions::label(l, cut);
    for (const QAbstractButton *b : window->findChildren<QAbstractButton *>())
        if (visible(b) && !qobject_cast<const QTabBar *>(b->parentWidget()))
            cutcaptions::button(b, cut);
    for (const QGroupBox *g : window->findChildren<QGroupBox *>())
        if (visible(g))
            cutcaptions::groupBox(g, cut);
    for (const QTabBar *bar : window->findChildren<QTabBar *>())
        if (visible(bar))
            cutcaptions::tabBar(bar, cut);
    for (const QLineEdit *e : window->findChildren<QLineEdit *>())
        if (visible(e))
            cutcaptions::lineEdit(e, cut);
    for (const QTableView *t : window->findChildren<QTableView *>())
        if (visible(t))
            cutcaptions::table(t, cellPadding, cut);
    for (const QScrollArea *a : window->findChildren<QScrollArea *>())
        if (visible(a))
            cutcaptions::scrollArea(a, cut);
    return cut;
}

} // namespace zelvant::test
