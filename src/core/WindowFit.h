#pragma once
// Where a window goes on the screen. A stored size or position may come from
// another screen, another font or a compositor's tiling (1276x743 at 0,0);
// restored as it is, the title bar can end above the screen's top edge or the
// last column past its right edge, out of reach.

#include <QMargins>
#include <QRect>

namespace zelvant {

// The window's geometry (without its frame) moved, and shrunk where it must,
// so that the frame around it (the title bar in frame.top()) lies inside the
// available area. A frame that fits stays where it is.
QRect fitFrameIntoArea(const QRect &geometry, const QMargins &frame, const QRect &available);

} // namespace zelvant
