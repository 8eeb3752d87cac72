#pragma once
// The 16x16 tray drawing (standard letter, balance digits, animation frames)
// as the set of sizes trays ask for. A tray handed one small picture scales
// it and blurs digits this small; handed the set, it takes a size it can show
// pixel for pixel:
//   16       the drawing exactly;
//   20/22/24 the drawing centred, unscaled;
//   32/48/64 the drawing scaled 2x/3x/4x, nearest neighbour.
// Every pixel is fully opaque or fully transparent. Dark digits vanish on a
// dark panel, so the outlined styles put a one-icon-pixel outline in the
// transparent pixels around the ink.

#include <QIcon>
#include <QImage>
#include <QList>

#include "core/config/TrayIconStyle.h"

namespace zelvant {

inline constexpr int TrayDrawingSize = 16;
inline constexpr int TrayIconSizes[] = {16, 20, 22, 24, 32, 48, 64};

// The drawing at one of TrayIconSizes (other sizes: the largest that fits,
// centred). The drawing is expected to be 16x16 with transparent ground.
QImage trayIconImage(const QImage &drawing, int size, TrayIconStyle style);
// One image per TrayIconSizes entry, in that order.
QList<QImage> trayIconSet(const QImage &drawing, TrayIconStyle style);
// The set size to show in a square of so many device pixels: the largest that
// fits, so nothing is ever scaled; 16 when even that does not fit.
int trayIconSizeFor(int devicePixels);
// The set as an icon that picks by trayIconSizeFor and pads instead of
// scaling, for whatever size and device pixel ratio a tray paints.
QIcon trayIcon(const QImage &drawing, TrayIconStyle style);

} // namespace zelvant
