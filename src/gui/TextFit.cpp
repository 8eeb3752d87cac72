#include "gui/TextFit.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>

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

} // namespace zelvant
