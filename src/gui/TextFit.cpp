#include "gui/TextFit.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include "core/WindowFit.h"

namespace zelvant {

int textWidth(const QFontMetrics &metrics, const QString &text)
{
    int width = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        width = std::max(width, metrics.horizontalAdvance(line));
    return width;
}

int fittedWidth(int designed, const QFontMetrics &metrics, const QStringList &texts, int padding)
{
    int width = designed;
    for (const QString &text : texts)
        width = std::max(width, textWidth(metrics, text) + padding);
    return width;
}

QSize availableScreenSize(const QWidget *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().size() : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void fixWindowSize(QWidget *window, const QSize &designed)
{
    QSize needed = designed.expandedTo(window->minimumSizeHint());
    if (QLayout *layout = window->layout()) {
        needed = needed.expandedTo(layout->totalMinimumSize());
        if (layout->hasHeightForWidth())
            needed.setHeight(
                std::max(needed.height(), layout->totalHeightForWidth(needed.width())));
    }
    window->setFixedSize(needed.boundedTo(availableScreenSize(window)));
}

bool windowPlacementKnown()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void keepOnScreen(QWidget *window)
{
    if (!windowPlacementKnown())
        return;
    const QRect geometry = window->geometry();
    const QScreen *screen = QGuiApplication::screenAt(geometry.center());
    if (!screen)
        screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QMargins frame(window->geometry().left() - window->frameGeometry().left(),
                   window->geometry().top() - window->frameGeometry().top(),
                   window->frameGeometry().right() - window->geometry().right(),
                   window->frameGeometry().bottom() - window->geometry().bottom());
    if (frame.isNull()) {
        // Not shown yet, so the window manager's frame is not known: room for
        // a title bar and a border.
        const int title = window->style()->pixelMetric(QStyle::PM_TitleBarHeight);
        frame = QMargins(4, std::max(title, 24) + 4, 4, 4);
    }
    const QRect fitted = fitFrameIntoArea(geometry, frame, screen->availableGeometry());
    if (fitted.size() != geometry.size())
        window->resize(fitted.size());
    // move() places the frame, geometry() is inside it.
    if (fitted.topLeft() != geometry.topLeft())
        window->move(window->pos() + (fitted.topLeft() - geometry.topLeft()));
}

} // namespace zelvant
