#include "gui/PhoneRowGeometry.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include "gui/TextFit.h"

namespace zelvant {

namespace {

// Titles keep a little room from the next column.
constexpr int TitleSpare = 4;

// The room a push button keeps around its caption in this style.
QSize buttonPaddingOf(const QWidget *window)
{
    QPushButton probe;
    probe.setFont(window->font());
    probe.resize(100, 30);
    QStyleOptionButton option;
    option.initFrom(&probe);
    const QRect contents =
        probe.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &probe);
    return probe.size() - contents.size() + QSize(2, 0);
}

// The setup window's column title, in the window's own translation.
QString columnTitle(const char *text)
{
    return QCoreApplication::translate("zelvant::SetupWindow", text);
}

} // namespace

PhoneRowGeometry PhoneRowGeometry::fittedTo(const QWidget *window)
{
    const QFontMetrics metrics = window->fontMetrics();
    const QStyle *style = window->style();
    QLineEdit edit;
    edit.setFont(window->font());
    // What a line edit keeps around its text: its minimum width holds one
    // widest character.
    const int editPadding = edit.minimumSizeHint().width() - metrics.maxWidth();
    const QSize buttonPadding = buttonPaddingOf(window);

    PhoneRowGeometry g;
    g.height = std::max(
        {g.height, edit.minimumSizeHint().height(), metrics.height() + buttonPadding.height()});
    g.panelWidth = fittedWidth(g.panelWidth, metrics, {QStringLiteral("100")}, TitleSpare);
    g.monitorWidth =
        std::max(fittedWidth(g.monitorWidth, metrics, {columnTitle("вкл")}, TitleSpare),
                 style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, window));
    g.trayWidth = std::max(g.trayWidth,
                           style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, window));
    g.numberWidth = std::max(
        fittedWidth(g.numberWidth, metrics, {columnTitle("Телефон")}, TitleSpare),
        fittedWidth(g.numberWidth, metrics, {QStringLiteral("+70000000000")}, editPadding));
    g.passwordWidth = fittedWidth(g.passwordWidth, metrics, {columnTitle("Пароль")}, TitleSpare);
    g.aliasWidth = fittedWidth(g.aliasWidth, metrics, {columnTitle("Псевдоним")}, TitleSpare);
    // no tr: samples of a region's short name, which has at most three letters.
    g.regionWidth =
        std::max(fittedWidth(g.regionWidth, metrics, {columnTitle("Регион")}, TitleSpare),
                 fittedWidth(g.regionWidth, metrics, {QStringLiteral("МСК"), QStringLiteral("ЖЖЖ")},
                             buttonPadding.width()));

    g.monitorLeft = g.panelLeft + g.panelWidth + 3;
    g.trayLeft = g.monitorLeft + g.monitorWidth + 5;
    g.numberLeft = g.trayLeft + g.trayWidth + 7;
    g.passwordLeft = g.numberLeft + g.numberWidth;
    g.aliasLeft = g.passwordLeft + g.passwordWidth;
    g.regionLeft = g.aliasLeft + g.aliasWidth + 8;
    return g;
}

} // namespace zelvant
