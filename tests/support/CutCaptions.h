#pragma once
// Finds the texts of a window that do not fit the room their widget gives
// them in the font actually used: captions of labels, buttons, check boxes,
// group boxes, tabs and column titles, the values in table cells, fields too
// low for their text, and rows wider than a box that cannot scroll sideways.

#include <QAbstractButton>
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

namespace zelvant::test {

namespace cutcaptions {

inline int widthOf(const QFontMetrics &metrics, QString text)
{
    text.remove(QLatin1Char('&'));
    int width = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        width = std::max(width, metrics.horizontalAdvance(line));
    return width;
}

// Adds a line when needed does not fit into room.
inline void check(QStringList &cut, const QObject *where, const QString &text, QSize needed,
                  QSize room)
{
    if (needed.width() <= room.width() && needed.height() <= room.height())
        return;
    const QString name = where->objectName().isEmpty()
                             ? QString::fromLatin1(where->metaObject()->className())
                             : where->objectName();
    cut << QStringLiteral("%1 \"%2\": needs %3x%4, has %5x%6")
               .arg(name, text)
               .arg(needed.width())
               .arg(needed.height())
               .arg(room.width())
               .arg(room.height());
}

inline void label(const QLabel *l, QStringList &cut)
{
    if (l->text().isEmpty() || l->textFormat() == Qt::RichText)
        return;
    const QRect room = l->contentsRect();
    if (l->wordWrap()) {
        check(cut, l, l->text(), QSize(0, l->heightForWidth(l->width())), l->size());
        return;
    }
    const int inset = 2 * l->margin() + std::max(0, l->indent());
    check(cut, l, l->text(),
          QSize(widthOf(l->fontMetrics(), l->text()) + inset, l->fontMetrics().height()),
          room.size());
}

inline void button(const QAbstractButton *b, QStringList &cut)
{
    if (b->text().isEmpty())
        return;
    QStyleOptionButton option;
    option.initFrom(b);
    option.text = b->text();
    QStyle::SubElement element = QStyle::SE_PushButtonContents;
    if (qobject_cast<const QCheckBox *>(b))
        element = QStyle::SE_CheckBoxContents;
    else if (qobject_cast<const QRadioButton *>(b))
        element = QStyle::SE_RadioButtonContents;
    else if (!qobject_cast<const QPushButton *>(b)) {
        check(cut, b, b->text(), b->sizeHint(), b->size()); // tool buttons
        return;
    }
    const QRect room = b->style()->subElementRect(element, &option, b);
    const int icon = b->icon().isNull() ? 0 : b->iconSize().width() + 4;
    check(cut, b, b->text(),
          QSize(widthOf(b->fontMetrics(), b->text()) + icon, b->fontMetrics().height()),
          room.size());
}

inline void tabBar(const QTabBar *bar, QStringList &cut)
{
    const int space = bar->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, bar);
    for (int i = 0; i < bar->count(); ++i) {
        const QRect tab = bar->tabRect(i);
        check(cut, bar, bar->tabText(i),
              QSize(widthOf(bar->fontMetrics(), bar->tabText(i)) + space, 0),
              bar->rect().contains(tab) ? tab.size() : QSize());
    }
}

// The title row and the cells; cellPadding is the room a cell's drawing
// keeps beside its text. Model fonts give only the weight.
inline void table(const QTableView *view, int cellPadding, QStringList &cut)
{
    const QAbstractItemModel *model = view->model();
    const QHeaderView *header = view->horizontalHeader();
    for (int c = 0; c < model->columnCount(); ++c) {
        if (view->isColumnHidden(c) || view->columnWidth(c) == 0)
            continue;
        const QString title = model->headerData(c, Qt::Horizontal).toString();
        if (header->isVisible())
            check(cut, header, title, QSize(header->sectionSizeHint(c), 0),
                  QSize(header->sectionSize(c), 0));
        for (int r = 0; r < model->rowCount(); ++r) {
            const QModelIndex index = model->index(r, c);
            QFont font = view->font();
            font.setBold(index.data(Qt::FontRole).value<QFont>().bold());
            const QFontMetrics metrics(font);
            check(cut, view, index.data().toString(),
                  QSize(widthOf(metrics, index.data().toString()) + cellPadding, metrics.height()),
                  QSize(view->columnWidth(c), view->rowHeight(r)));
        }
    }
}

} // namespace cutcaptions

// Every text of the visible widgets of window that is cut, one line each.
inline QStringList cutCaptions(const QWidget *window, int cellPadding = 2)
{
    using namespace cutcaptions;
    QStringList cut;
    for (const QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window))
            continue;
        if (auto *l = qobject_cast<const QLabel *>(w))
            label(l, cut);
        else if (auto *b = qobject_cast<const QAbstractButton *>(w))
            button(b, cut);
        else if (auto *g = qobject_cast<const QGroupBox *>(w))
            check(cut, g, g->title(), g->minimumSizeHint(), g->size());
        else if (auto *bar = qobject_cast<const QTabBar *>(w))
            tabBar(bar, cut);
        else if (auto *e = qobject_cast<const QLineEdit *>(w))
            check(cut, e, e->text(), QSize(0, e->minimumSizeHint().height()), e->size());
        else if (auto *t = qobject_cast<const QTableView *>(w))
            table(t, cellPadding, cut);
        else if (auto *a = qobject_cast<const QScrollArea *>(w);
                 a && a->widget() && a->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff)
            check(cut, a, QString(), QSize(a->widget()->width(), 0), a->viewport()->size());
    }
    return cut;
}

} // namespace zelvant::test
