#pragma once
// The window's font and icon.
#include <QFont>
#include <QIcon>

namespace ui {

// "MS Sans Serif" 8 pt (11 pixels) from the look-alike that fonts-wine ships,
// else a sans font of the same 13-pixel text height.
QFont windowFont();
// Our own picture of the module, 16 x 16 and 32 x 32.
QIcon windowIcon();

}  // namespace ui
