#pragma once
// How the tray drawing is coloured. Stored as its number under "cbTrayIcon"
// in the settings file, in the order the setup window offers the choices.

namespace zelvant {

enum class TrayIconStyle {
    DarkOutlined = 0, // "тёмный с контуром": the drawing, a light outline from 22 px up
    Dark = 1,         // "тёмный": the drawing exactly
    Light = 2,        // "светлый": light ink with a dark outline
};

inline constexpr int TrayIconStyleCount = 3;

} // namespace zelvant
