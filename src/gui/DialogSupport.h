#pragma once
// The placement shared by the configuration dialogs; their message boxes
// come from app/MessageBoxes.h.

#include "gui/MessageBoxes.h"

class QWidget;

namespace zelvant {

// Moves a top-level window to the middle of the screen it is on.
void centerOnScreen(QWidget *window);

} // namespace zelvant
