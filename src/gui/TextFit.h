#pragma once
// Sizes that follow the font actually used. The designed pixel sizes of the
// windows were measured in another platform's fonts, so here they are
// minimums: a caption or value that needs more room gets it.

#include <QSize>
#include <QStringList>

class QFontMetrics;
class QWidget;

namespace zelvant {

// The width of the widest line of text.
int textWidth(const QFontMetrics &metrics, const QString &text);

// designed, or the widest of texts plus padding when that is more.
int fittedWidth(int designed, const QFontMetrics &metrics, const QStringList &texts, int padding);

// Fixes a window's size at designed or at what its layout needs, whichever
// is larger in each direction, but never larger than the screen it is on.
void fixWindowSize(QWidget *window, const QSize &designed = QSize());

// The largest size a window may take on the screen it is on.
QSize availableScreenSize(const QWidget *window);

// False under Wayland: there a window neither knows nor chooses its place,
// and its size may be the compositor's tiling, so neither is worth keeping.
bool windowPlacementKnown();

// Moves a top-level window, and shrinks it where it must, so that its frame
// (title bar included) lies inside the available area of the screen it
// lands on; nothing under Wayland, where the compositor places it.
void keepOnScreen(QWidget *window);

} // namespace zelvant
