#pragma once
// The built-in pictures (standard icon, digit strip, animation frames) and
// the drawing of a balance as digits into a 16x16 icon.

#include <QImage>
#include <QList>
#include <QString>

namespace zelvant {

QImage standardTrayIcon();       // "z_TrayIcon", 16x16, transparent ground
QImage digitStrip();             // "Digits", 58x16, dark blue on white
QList<QImage> animationFrames(); // ten 16x16 icons from "AniIcons"

QString valueIconText(float value); // "2.5", "123", "---", ...
QImage createValueIcon(float value);
// White (the bottom-left pixel's colour) becomes transparent.
QImage bitmapToIcon(const QImage &bitmap);

} // namespace zelvant
